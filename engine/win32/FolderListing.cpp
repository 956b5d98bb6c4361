#include "FolderListing.h"

#include "WildcardFilter.h"

namespace pellumar {

// The folder listed is the current one. A listing that cannot start finds nothing, as it does
// when nothing matches.
FolderListing::FolderListing(FileSystem& fs, const FolderState& /*folder*/,
                             const WildcardFilter* pFilter, bool bFolders)
    : m_sys(fs.GetSys()), m_pFilter(pFilter), m_bFolders(bFolders) {
    // The filter goes to the system as it was typed: the matching is the system's own.
    m_state.find = m_sys.FindFirstFileA(pFilter ? pFilter->Text().c_str() : "*.*", &m_state.data);
    m_state.pending = IsOpen();
}

FolderListing::FolderListing(FileSystem& fs, const FolderState& folder,
                             const WildcardFilter* pFilter, bool bFolders,
                             std::unique_ptr<FolderRead> /*read*/)
    : FolderListing(fs, folder, pFilter, bFolders) {}

FolderListing::~FolderListing() {
    if (IsOpen()) {
        m_sys.FindClose(m_state.find);
    }
}

bool FolderListing::IsOpen() const {
    return m_state.find != Sys::InvalidHandle();
}

bool FolderListing::Next(FolderEntry& entry) {
    while (m_state.pending || (IsOpen() && m_sys.FindNextFileA(m_state.find, &m_state.data))) {
        m_state.pending = false;
        if (Describe(entry)) {
            return true;
        }
    }
    return false;
}

// The system has matched the name already: every file it lists passes the filter.
bool FolderListing::Describe(FolderEntry& entry) {
    const Sys::FindData& data = m_state.data;
    const bool files = m_pFilter != nullptr;
    const bool folder = (data.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (IsDots(data.name) || (folder ? !m_bFolders : !files)) {
        return false;
    }
    entry.name = data.name;
    entry.attributes = data.attributes;
    entry.matches = files;
    return true;
}

}  // namespace pellumar
