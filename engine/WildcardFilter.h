#pragma once

#include <string>
#include <string_view>

namespace pellumar {

// One file-name pattern: '*' any run of characters, '?' any one, ASCII letters without regard
// to case, every other byte literal. A pattern ending in ".*" also matches names with no dot.
// A folder part ("sub/*.c") names files in that folder below the walked one.
class WildcardFilter {
  public:
    // Patterns longer than this find nothing.
    static constexpr size_t kMaxLength = 259;

    explicit WildcardFilter(std::string_view filter);

    // Whether the filter's folder part would lead outside the walked folder: it is absolute, or
    // one of its parts is "..". Such a filter finds nothing.
    static bool LeavesFolder(std::string_view filter);

    // Whether the filter can find anything at all.
    bool IsUsable() const { return m_bUsable; }
    // The folder part, relative to the walked folder; empty when there is none.
    const std::string& Folder() const { return m_strFolder; }
    bool Matches(std::string_view name) const;
    // The filter as it was given.
    const std::string& Text() const { return m_strText; }

    // The matcher on its own.
    static bool Match(std::string_view pattern, std::string_view name);

  private:
    std::string m_strText;
    std::string m_strFolder;
    std::string m_strPattern;
    bool m_bUsable = true;
};

}  // namespace pellumar
