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
    if (type == DT_UNKNOWN && sys.FstatAt(listing.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        entry.link = S_ISLNK(st.st_mode);
    }
    if (!entry.link && type != DT_UNKNOWN) {
        return type;
    }
    if (sys.FstatAt(listing.fd, name, &st, 0) != 0) {
        entry.error = errno ? errno : EIO;
        return DT_UNKNOWN;
    }
    return S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
}

}  // namespace

FolderListing::FolderListing(FileSystem& fs, const FolderState& folder,
                             const WildcardFilter* pFilter, bool bFolders)
    : m_sys(fs.GetSys()), m_pFilter(pFilter), m_bFolders(bFolders) {
    Open(folder);
}

// The folder's own descriptor is read, unless the filter names a folder below it. A folder that
// could be entered but not read cannot be listed.
void FolderListing::Open(const FolderState& folder) {
    if (m_pFilter != nullptr && !m_pFilter->Folder().empty()) {
        m_state.ownedFd = m_sys.OpenAt(folder.fd, m_pFilter->Folder().c_str(),
                                       O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        m_state.fd = m_state.ownedFd;
        m_nError = m_state.fd < 0 ? (errno ? errno : EIO) : 0;
    } else {
        m_state.fd = folder.readError == 0 ? folder.fd : -1;
        m_nError = folder.readError;
    }
    if (m_state.fd >= 0) {
        m_state.entries = std::make_unique_for_overwrite<char[]>(kBatch);
        m_state.capacity = kBatch;
    }
}

// Entries read ahead are taken only from the folder's own descriptor: a folder entered but not
// readable now is told as such, whatever was read of it before.
FolderListing::FolderListing(FileSystem& fs, const FolderState& folder,
                             const WildcardFilter* pFilter, bool bFolders,
                             std::unique_ptr<FolderRead> read)
    : m_sys(fs.GetSys()), m_pFilter(pFilter), m_bFolders(bFolders) {
    if (read == nullptr || (pFilter != nullptr && !pFilter->Folder().empty()) ||
        folder.readError != 0) {
        Open(folder);
        return;
    }
    m_state.fd = folder.fd;
    m_pRead = std::move(read);
    m_bReadAhead = true;
}

FolderListing::~FolderListing() {
    if (m_state.ownedFd >= 0) {
        m_sys.Close(m_state.ownedFd);
    }
}

bool FolderListing::IsOpen() const {
    return m_state.fd >= 0;
}

bool FolderListing::Next(FolderEntry& entry) {
    while (m_nError == 0) {
        if (m_state.at == m_state.end && !ReadBatch()) {
            return false;
        }
        m_state.current =
            reinterpret_cast<const struct dirent64*>(m_state.entries.get() + m_state.at);
        m_state.at += m_state.current->d_reclen;
        if (!IsDots(m_state.current->d_name) && Describe(entry)) {
            return true;
        }
    }
    return false;
}

// The next batch of entries; false at the end of the folder, or when it cannot be read.
bool FolderListing::ReadBatch() {
    if (m_bReadAhead) {
        if (m_pRead == nullptr) {
            return false;  // all of them were handed out
        }
        m_state.capacity = m_pRead->size;
        m_state.end = m_pRead->size;
        m_state.at = 0;
        m_state.entries = std::move(m_pRead->entries);
        m_pRead.reset();
        return m_state.end > 0;
    }
    const ssize_t got = m_sys.Getdents(m_state.fd, m_state.entries.get(), m_state.capacity);
    if (got <= 0) {
        m_nError = got < 0 ? (errno ? errno : EIO) : 0;
        return false;
    }
    m_state.at = 0;
    m_state.end = static_cast<size_t>(got);
    return true;
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
    entry.listedPlain = m_state.current->d_type == DT_REG;
    return true;
}

}  // namespace pellumar
