#include "FolderListing.h"

#include <fcntl.h>

#include <cerrno>

#include "WildcardFilter.h"

namespace pellumar {

namespace {

// The type of the listing's current entry, what a link leads to included; sets the entry's link and
// error (DT_UNKNOWN when what it leads to cannot be told). Some file systems do not tell types
// in their listings: for those, whether the entry is a link is asked first.
unsigned char TypeOf(Sys& sys, const ListingState& listing, FolderEntry& entry) {
    const char* name = listing.current->d_name;
    const unsigned char type = listing.current->d_type;
    entry.link = type == DT_LNK;
    entry.error = 0;
    struct stat st {};
    if (type == DT_UNKNOWN &&
        sys.FstatAt(dirfd(listing.dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        entry.link = S_ISLNK(st.st_mode);
    }
    if (!entry.link && type != DT_UNKNOWN) {
        return type;
    }
    if (sys.FstatAt(dirfd(listing.dir), name, &st, 0) != 0) {
        entry.error = errno ? errno : EIO;
        return DT_UNKNOWN;
    }
    return S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
}

}  // namespace

FolderListing::FolderListing(FileSystem& fs, const FolderState& folder,
                             const WildcardFilter* pFilter, bool bFolders)
    : m_sys(fs.GetSys()), m_pFilter(pFilter), m_bFolders(bFolders) {
    const bool inFilterFolder = pFilter != nullptr && !pFilter->Folder().empty();
    const int fd = m_sys.OpenAt(folder.fd, inFilterFolder ? pFilter->Folder().c_str() : ".",
                                O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        m_nError = errno ? errno : EIO;
        return;
    }
    m_state.dir = m_sys.Fdopendir(fd);
    if (m_state.dir == nullptr) {
        m_nError = errno ? errno : EIO;
        m_sys.Close(fd);
    }
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
    for (;;) {
        errno = 0;  // the end of the listing and a failure to read it look alike but for this
        m_state.current = m_sys.Readdir(m_state.dir);
        if (m_state.current == nullptr) {
            m_nError = errno;
            return false;
        }
        if (!IsDots(m_state.current->d_name) && Describe(entry)) {
            return true;
        }
    }
}

// Fills in the entry; false when it is of no use. The type is asked of the system only when
// the listing does not tell it, and only for entries that may be used. An entry whose type
// cannot be told (a dangling link) is handed on with the reason when its name passes the filter.
bool FolderListing::Describe(FolderEntry& entry) {
    const char* name = m_state.current->d_name;
    const bool matches = m_pFilter != nullptr && m_pFilter->Matches(name);
    if (!matches && !m_bFolders) {
        return false;
    }
    const unsigned char type = TypeOf(m_sys, m_state, entry);
    const bool folder = type == DT_DIR;
    if (!matches && !folder) {
        return false;
    }
    // Anything that is not a regular file (FIFO, socket, device) is never opened.
    entry.attributes = 0;
    if (folder) {
        entry.attributes = FILE_ATTRIBUTE_DIRECTORY;
    } else if (type != DT_REG && entry.error == 0) {
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
