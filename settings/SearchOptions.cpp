#include "SearchOptions.h"

#include "SettingsStore.h"

#include <iterator>
#include <limits>

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
};
constexpr const char* kFileViewerKey = "File Viewer";

}  // namespace

#ifdef _WIN32
const char* const SearchOptions::kDefaultFileViewer = "notepad.exe";
#else
const char* const SearchOptions::kDefaultFileViewer = "xdg-open";
#endif

SearchOptions::SearchOptions(SettingsStore& store) : m_store(store) {
    // No one stores this value: reading it back means that nothing was stored.
    constexpr std::int32_t kAbsent = std::numeric_limits<std::int32_t>::min();
    for (std::size_t index = 0; index < std::size(kIntegerOptions); ++index) {
        const IntegerOption& option = kIntegerOptions[index];
        const std::int32_t stored = m_store.GetProfileInt(kSection, option.key, kAbsent);
        this->*option.field = stored == kAbsent ? option.nDefault : stored;
        if (stored != kAbsent)
            m_nStored |= 1u << index;
    }
    m_strFileViewer = m_store.GetProfileString(kSection, kFileViewerKey, kDefaultFileViewer);
}

bool SearchOptions::WasStored(std::int32_t SearchOptions::*field) const {
    for (std::size_t index = 0; index < std::size(kIntegerOptions); ++index) {
        if (kIntegerOptions[index].field == field)
            return (m_nStored & (1u << index)) != 0;
    }
    return false;
}

SearchOptions::~SearchOptions() {
    for (const IntegerOption& option : kIntegerOptions)
        m_store.WriteProfileInt(kSection, option.key, this->*option.field);
    m_store.WriteProfileString(kSection, kFileViewerKey, m_strFileViewer.c_str());
}

}  // namespace pellumar
