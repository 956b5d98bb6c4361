// The platform's file system: folders, opening, reading and the status of files. Rewriting
// them is in FileSystemReplace.cpp.
#include "FileSystem.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <vector>

#include "CFileException.h"
#include "FileIdentity.h"
#include "FolderListing.h"
#include "FolderPath.h"
#include "SearchQuery.h"

namespace pellumar {

namespace {

// The owner's read bit decides for the owner, whatever the access lists say; the system is asked
// only about the files of others. The superuser reads every file.
bool MayRead(Sys& sys, uid_t user, int dirfd, const char* name, const struct stat& st) {
    if (user == 0) {
        return true;
    }
    if (st.st_uid == user) {
        return (st.st_mode & S_IRUSR) != 0;
    }
    return sys.FaccessAt(dirfd, name, R_OK, AT_EACCESS) == 0;
}

}  // namespace

FileSystem::FileSystem(Sys& sys) : m_sys(sys), m_state{sys.Geteuid(), {}} {
    static std::once_flag raised;
    std::call_once(raised, [&sys] { sys.RaiseOpenFileLimit(); });
}

// Opened for reading its entries; a folder that may be entered but not read is opened only as a
// place, so that the folders the filter names below it are still reached.
int FileSystem::OpenFolder(const FolderState* parent, const std::string& name,
                           const std::string& path, FolderState& folder, FileId& id) {
    const int at = parent ? parent->fd : AT_FDCWD;
    const char* relative = parent ? name.c_str() : path.c_str();
    int fd = m_sys.OpenAt(at, relative, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    folder.readError = 0;
    if (fd < 0 && errno == EACCES) {
        folder.readError = EACCES;
        fd = m_sys.OpenAt(at, relative, O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) {
        return ErrnoOr(EIO);
    }
    struct stat st;
    if (m_sys.Fstat(fd, &st) != 0) {
        const int error = ErrnoOr(EIO);
        m_sys.Close(fd);
        return error;
    }
    folder.fd = fd;
    id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return 0;
}

int FileSystem::MakeCurrent(const FolderState& folder) {
    return m_sys.Fchdir(folder.fd) == 0 ? 0 : ErrnoOr(EIO);
}

void FileSystem::CloseFolder(FolderState& folder) {
    if (folder.fd >= 0) {
        m_sys.Close(folder.fd);
        folder.fd = -1;
    }
}

// The walk opens each file by its name in the folder it lists, which spares the system the
// lookup of every folder on the path. A FIFO is opened without waiting for a writer.
int FileSystem::Open(const FolderListing* where, const char* name, const std::string& path,
                     NativeHandle& handle) {
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (where == nullptr && path.size() >= PATH_MAX) {
        return OpenLong(path, kFlags, handle);
    }
    handle = m_sys.OpenAt(FolderFd(where), where ? name : path.c_str(), kFlags);
    return handle < 0 ? ErrnoOr(EIO) : 0;
}

// A path longer than the system takes, as an undo meets one, is followed folder by folder.
int FileSystem::OpenLong(const std::string& path, int flags, NativeHandle& handle) {
    const size_t slash = path.find_last_of('/');
    const int folder =
        OpenFolderPath(m_sys, FolderPart(path, slash), O_PATH | O_DIRECTORY | O_CLOEXEC);
    handle = folder < 0 ? -1 : m_sys.OpenAt(folder, path.c_str() + slash + 1, flags);
    const int error = handle < 0 ? ErrnoOr(EIO) : 0;
    if (folder >= 0) {
        m_sys.Close(folder);
    }
    return error;
}

int FileSystem::Status(NativeHandle handle, FileStatus& status) {
    return m_sys.Fstat(handle, &status.st) == 0 ? 0 : ErrnoOr(EIO);
}

int FileSystem::StatusAndGeneration(NativeHandle handle, FileStatus& status) {
    status.generation = 0;
    if (m_sys.Fstat(handle, &status.st) != 0) {
        return ErrnoOr(EIO);
    }
    if (S_ISREG(status.st.st_mode) && m_sys.Generation(handle, &status.generation) != 0) {
        status.generation = 0;  // not told here: size and times must do
    }
    return 0;
}

// A listed file is never read, so it is not opened either: its status and whether it could be
// opened are told by the system without one, at a third of the cost.
int FileSystem::StatusUnopened(const FolderListing* where, const char* name,
                               const std::string& path, FileStatus& status) {
    const int dirfd = FolderFd(where);
    const char* relative = where ? name : path.c_str();
    if (m_sys.FstatAt(dirfd, relative, &status.st, 0) != 0) {
        return ErrnoOr(EIO);
    }
    if (status.IsRegular() && !MayRead(m_sys, m_state.user, dirfd, relative, status.st)) {
        return EACCES;
    }
    return 0;
}

// Only the superuser's opens are sure: anyone else's depend on the file's owner and rights.
bool FileSystem::SurelyReadable(bool listedPlain) const {
    return listedPlain && m_state.user == 0;
}

int FileSystem::Close(NativeHandle handle) {
    return m_sys.Close(handle) == 0 ? 0 : ErrnoOr(EIO);
}

int FileSystem::ReadAt(NativeHandle handle, void* buffer, size_t size, uint64_t offset,
                       size_t& got) {
    const ssize_t result = Uninterrupted(
        [&] { return m_sys.Pread(handle, buffer, size, static_cast<off_t>(offset)); });
    if (result < 0) {
        return ErrnoOr(EIO);
    }
    got = static_cast<size_t>(result);
    return 0;
}

int FileSystem::Map(NativeHandle handle, uint64_t size, const unsigned char*& data) {
    void* address = m_sys.Mmap(static_cast<size_t>(size), handle);
    if (address == nullptr) {
        return ErrnoOr(ENOMEM);
    }
    data = static_cast<const unsigned char*>(address);
    return 0;
}

void FileSystem::Unmap(const unsigned char* data, uint64_t size) {
    m_sys.Munmap(const_cast<unsigned char*>(data), static_cast<size_t>(size));
}

uint64_t FileSystem::Release(const unsigned char* data, uint64_t from, uint64_t to) {
    static const auto page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    const uint64_t end = to / page * page;
    if (end <= from) {
        return from;
    }
    // Should it fail, the pages simply stay.
    m_sys.Madvise(const_cast<unsigned char*>(data) + from, static_cast<size_t>(end - from),
                  MADV_DONTNEED);
    return end;
}

FileCause FileSystem::CauseOfSystemError(int error) {
    return CauseFromErrno(error);
}

bool FileSystem::IsMissing(int error) {
    return error == ENOENT || error == ENOTDIR;
}

bool FileSystem::IsOutOfHandles(int error) {
    return error == EMFILE || error == ENFILE;
}

size_t FileSystem::HandleLimit() {
    return m_sys.OpenFileLimit();
}

std::string FileSystem::SystemErrorText(int error) {
    return std::strerror(error);
}

bool MakeCurrentFolder(const std::string& strFolder, Sys& sys) {
    return sys.Chdir(strFolder.c_str()) == 0;
}

// The folder as its text reads, as a shell's cd takes it: "." and ".." parts and repeated
// separators are gone, so that every path reported is plain.
std::string AbsoluteFolder(const std::string& strFolder, Sys& sys) {
    if (strFolder.empty()) {
        return strFolder;
    }
    std::string path = strFolder;
    if (path.front() != '/') {
        char cwd[PATH_MAX];
        if (sys.Getcwd(cwd, sizeof cwd) == nullptr) {
            return strFolder;
        }
        path = std::string(cwd) + "/" + strFolder;
    }
    std::vector<std::string> parts;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('/', start);
        end = end == std::string::npos ? path.size() : end;
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts) {
        result += "/" + part;
    }
    return result.empty() ? std::string("/") : result;
}

}  // namespace pellumar
