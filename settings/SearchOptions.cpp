#include "SearchOptions.h"

#include "SettingsStore.h"

namespace pellumar {
namespace {

struct IntegerOption {
    const char* key;
    std::int32_t SearchOptions::*field;
    std::int32_t nDefault;
};

// The integers in the order they are read and written; "File Viewer" comes after them.
constexpr IntegerOption kIntegerOptions[] = {
    {"Include Subdirs", &SearchOptions::m_bIncludeSubdirs, 1},
    {"Search Only", &SearchOptions::m_bSearchOnly, 0},
    {"Search Confirmation", &SearchOptions::m_bSearchConfirmation, 1},
    {"Hidden Files", &SearchOptions::m_bHiddenFiles, 1},
    {"Want Tab", &SearchOptions::m_bWantTab, 0},
    {"Column One", &SearchOptions::m_nColumnOne, 120},
    {"Column Two", &SearchOptions::m_nColumnTwo, 160},
    {"Column Three", &SearchOptions::m_nColumnThree, 42},
    {"Column Four", &SearchOptions::m_nColumnFour, 90},
    {"Column Five", &SearchOptions::m_nColumnFive, 120},
    {"Ignore Case", &SearchOptions::m_bIgnoreCase, 1},
    {"Double-Click Action", &SearchOptions::m_nDoubleClickAction, 1},
    {"Keep Undo Copies", &SearchOptions::m_bKeepUndo, 1},
    {"Regular Expressions", &SearchOptions::m_bRegex, 0},
};
constexpr const char* kFileViewerKey = "File Viewer";

}  // namespace

#ifdef _WIN32
const char* const SearchOptions::kDefaultFileViewer = "notepad.exe";
#else
const char* const SearchOptions::kDefaultFileViewer = "xdg-open";
#endif

SearchOptions::SearchOptions(SettingsStore& store) : m_store(store) {
    for (const IntegerOption& option : kIntegerOptions)
        this->*option.field = m_store.GetProfileInt(kSection, option.key, option.nDefault);
    m_strFileViewer = m_store.GetProfileString(kSection, kFileViewerKey, kDefaultFileViewer);
}

std::int32_t SearchOptions::DefaultOf(std::int32_t SearchOptions::*field) {
    for (const IntegerOption& option : kIntegerOptions) {
        if (option.field == field)
            return option.nDefault;
    }
    return 0;
}

SearchOptions::~SearchOptions() {
    for (const IntegerOption& option : kIntegerOptions)
        m_store.WriteProfileInt(kSection, option.key, this->*option.field);
    m_store.WriteProfileString(kSection, kFileViewerKey, m_strFileViewer.c_str());
}

}  // namespace pellumar
