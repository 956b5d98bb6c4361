#include "FolderListing.h"

#include <cstring>

#include "WildcardFilter.h"

namespace pellumar {

namespace {

bool IsDots(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

FolderListing::FolderListing(FileSystem& fs, const WildcardFilter* pFilter, bool bFolders)
    : m_sys(fs.GetSys()), m_bFiles(pFilter != nullptr), m_bFolders(bFolders) {
    // The filter goes to the system as it was typed: the matching is the system's own.
    m_find = m_sys.FindFirstFileA(pFilter ? pFilter->Text().c_str() : "*.*", &m_data);
    m_bPending = IsOpen();
}

FolderListing::~FolderListing() {
    if (IsOpen()) {
        m_sys.FindClose(m_find);
    }
}

bool FolderListing::Next(FolderEntry& entry) {
    while (m_bPending || (IsOpen() && m_sys.FindNextFileA(m_find, &m_data))) {
        m_bPending = false;
        if (Describe(entry)) {
            return true;
        }
    }
    return false;
}

bool FolderListing::Describe(FolderEntry& entry) {
    const bool folder = (m_data.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (IsDots(m_data.name) || (folder ? !m_bFolders : !m_bFiles)) {
        return false;
    }
    entry.name = m_data.name;
    entry.attributes = m_data.attributes;
    entry.matches = m_bFiles;
    return true;
}

}  // namespace pellumar
