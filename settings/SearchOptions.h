#pragma once

#include <cstdint>
#include <string>

namespace pellumar {

class SettingsStore;

// The fourteen options the program keeps from one run to the next, in section "Options".
// Constructing loads every one; destroying writes every one back, changed or not.
class SearchOptions {
  public:
    explicit SearchOptions(SettingsStore& store);
    ~SearchOptions();
    SearchOptions(const SearchOptions&) = delete;
    SearchOptions& operator=(const SearchOptions&) = delete;

    static constexpr const char* kSection = "Options";
    static const char* const kDefaultFileViewer;

    // Flags are off at 0 and on at any other value.
    std::int32_t m_bIgnoreCase;
    std::int32_t m_bHiddenFiles;
    std::int32_t m_bWantTab;
    std::int32_t m_bSearchConfirmation;
    std::int32_t m_bIncludeSubdirs;
    std::int32_t m_bSearchOnly;
    // A replacement keeps the old content of the files it changes, for Undo Last Replacement.
    std::int32_t m_bKeepUndo;
    // The search text is a regular expression, whose groups the replacement may name.
    std::int32_t m_bRegex;
    // 0 nothing, 1 the file's default viewer, any other value the program in m_strFileViewer.
    std::int32_t m_nDoubleClickAction;
    // Widths in pixels of the results columns Name, Location, Size, Type and Modified.
    std::int32_t m_nColumnOne;
    std::int32_t m_nColumnTwo;
    std::int32_t m_nColumnThree;
    std::int32_t m_nColumnFour;
    std::int32_t m_nColumnFive;
    std::string m_strFileViewer;

    // The value an integer option takes when the store holds none.
    static std::int32_t DefaultOf(std::int32_t SearchOptions::*field);

  private:
    SettingsStore& m_store;
};

}  // namespace pellumar
