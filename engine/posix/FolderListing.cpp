#include "FolderListing.h"

#include "WildcardFilter.h"

namespace pellumar {

FolderListing::FolderListing(FileSystem& fs, const WildcardFilter* pFilter, bool bFolders)
    : m_sys(fs.GetSys()), m_pFilter(pFilter), m_bFolders(bFolders) {
    const bool inFilterFolder = pFilter != nullptr && !pFilter->Folder().empty();
    m_state.dir = m_sys.Opendir(inFilterFolder ? pFilter->Folder().c_str() : ".");
}

FolderListing::~FolderListing() {
    if (IsOpen()) {
        m_sys.Closedir(m_state.dir);
    }
}

bool FolderListing::IsOpen() const {
    return m_state.dir != nullptr;
}

bool FolderListing::Next(FolderEntry& entry) {
    while ((m_state.current = m_sys.Readdir(m_state.dir)) != nullptr) {
        if (!IsDots(m_state.current->d_name) && Describe(entry)) {
            return true;
        }
    }
    return false;
}

// Fills in the entry; false when it is of no use. The type is asked of the system only when
// the listing does not tell it, and only for entries that may be used.
bool FolderListing::Describe(FolderEntry& entry) {
    const struct dirent& raw = *m_state.current;
    const char* name = raw.d_name;
    const bool matches = m_pFilter != nullptr && m_pFilter->Matches(name);
    if (!matches && !m_bFolders) {
        return false;
    }
    unsigned char type = raw.d_type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
        struct stat st;
        if (m_sys.FstatAt(dirfd(m_state.dir), name, &st, 0) != 0) {
            return false;  // a dangling link, or gone
        }
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    const bool folder = type == DT_DIR;
    if (!matches && !folder) {
        return false;
    }
    // Anything that is not a regular file (FIFO, socket, device) is never opened.
    entry.attributes = 0;
    if (folder) {
        entry.attributes = FILE_ATTRIBUTE_DIRECTORY;
    } else if (type != DT_REG) {
        entry.attributes = FILE_ATTRIBUTE_DEVICE;
    }
    if (name[0] == '.') {
        entry.attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    entry.name = name;
    entry.matches = matches;
    return true;
}

}  // namespace pellumar
