#include "FileSystem.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>

#include "CFileException.h"
#include "FolderListing.h"
#include "SearchQuery.h"

namespace pellumar {

namespace {

constexpr unsigned kNameCount = 0x10000;

// The next number to try for a temporary name; shared by all searches of the process.
std::atomic<unsigned> g_nextName{static_cast<unsigned>(
    std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid())};

std::string TemporaryName(const std::string& folder, unsigned number) {
    char name[16];
    std::snprintf(name, sizeof name, "pel%04X.tmp", number & 0xFFFF);
    return (!folder.empty() && folder.back() == '/') ? folder + name : folder + "/" + name;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// The folder that a name of a listing is relative to: the listed one, or else the current one.
int FolderFd(const FolderListing* where) {
    return where ? dirfd(where->State().dir) : AT_FDCWD;
}

int ErrnoOr(int fallback) {
    return errno ? errno : fallback;
}

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

// The temporary file takes the access rights of the file it replaces, and its owner and group
// where the program may set them.
int SetPermissions(Sys& sys, int fd, const struct stat& like) {
    mode_t mode = like.st_mode & 07777;
    if (like.st_uid != sys.Geteuid() || like.st_gid != sys.Getegid()) {
        if (sys.Fchown(fd, like.st_uid, like.st_gid) != 0) {
            // Never hand set-id bits to a file that another owner now holds.
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        }
    }
    return sys.Fchmod(fd, mode) == 0 ? 0 : ErrnoOr(EIO);
}

}  // namespace

FileSystem::FileSystem(Sys& sys) : m_sys(sys), m_state{sys.Geteuid()} {}

bool FileSystem::EnterFolder(const std::string& path, FolderId& id) {
    struct stat st;
    if (m_sys.Chdir(path.c_str()) != 0 || m_sys.Stat(".", &st) != 0) {
        return false;
    }
    id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return true;
}

// The walk opens each file by its name in the folder it lists, which spares the system the
// lookup of every folder on the path. A FIFO is opened without waiting for a writer.
int FileSystem::Open(const FolderListing* where, const char* name, const std::string& path,
                     NativeHandle& handle) {
    handle = m_sys.OpenAt(FolderFd(where), where ? name : path.c_str(),
                          O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    return handle < 0 ? ErrnoOr(EIO) : 0;
}

int FileSystem::Status(NativeHandle handle, FileStatus& status) {
    return m_sys.Fstat(handle, &status.st) == 0 ? 0 : ErrnoOr(EIO);
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

int FileSystem::Close(NativeHandle handle) {
    return m_sys.Close(handle) == 0 ? 0 : ErrnoOr(EIO);
}

// An interrupted read is made again, a bounded number of times.
int FileSystem::ReadAt(NativeHandle handle, void* buffer, size_t size, uint64_t offset,
                       size_t& got) {
    for (int interrupted = 0;;) {
        const ssize_t result = m_sys.Pread(handle, buffer, size, static_cast<off_t>(offset));
        if (result >= 0) {
            got = static_cast<size_t>(result);
            return 0;
        }
        if (errno != EINTR || ++interrupted >= kInterruptedRetries) {
            return ErrnoOr(EIO);
        }
    }
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

// A link stays a link: its target is rewritten, beside the target.
std::string FileSystem::TargetOf(const std::string& path) {
    struct stat link;
    if (m_sys.Lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (m_sys.Realpath(path.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return path;
}

// Names are "pel", four hexadecimal digits and ".tmp", created exclusively.
int FileSystem::CreateTemporary(const std::string& folder, const FileStatus& like, bool bRetry,
                                std::string& path, NativeHandle& handle, bool& bCreated) {
    bCreated = false;
    int error = EEXIST;
    for (unsigned attempt = 0; attempt < kNameCount && error == EEXIST; ++attempt) {
        if (!bRetry || attempt > 0 || path.empty()) {
            path = TemporaryName(folder, g_nextName.fetch_add(1, std::memory_order_relaxed));
        }
        handle =
            m_sys.Open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        error = handle < 0 ? ErrnoOr(EIO) : 0;
    }
    if (error != 0) {
        handle = kNoHandle;
        return error;
    }
    bCreated = true;
    return SetPermissions(m_sys, handle, like.st);
}

int FileSystem::WriteSome(NativeHandle handle, const void* data, size_t size, size_t& written) {
    for (int interrupted = 0;;) {
        const ssize_t result = m_sys.Write(handle, data, size);
        if (result > 0) {
            written = static_cast<size_t>(result);
            return 0;
        }
        if (result == 0) {
            return EIO;
        }
        if (errno != EINTR || ++interrupted >= kInterruptedRetries) {
            return ErrnoOr(EIO);
        }
    }
}

int FileSystem::FlushAndClose(NativeHandle handle) {
    int error = m_sys.Fsync(handle) == 0 ? 0 : ErrnoOr(EIO);
    if (m_sys.Close(handle) != 0 && error == 0) {
        error = ErrnoOr(EIO);
    }
    return error;
}

int FileSystem::CheckReplaceable(const std::string& target, const FileStatus& opened) {
    if (m_sys.Access(target.c_str(), W_OK) != 0) {
        return ErrnoOr(EACCES);
    }
    struct stat now;
    if (m_sys.Stat(target.c_str(), &now) != 0) {
        return ErrnoOr(EIO);
    }
    return SameFile(now, opened.st) ? 0 : kChangedMeanwhile;
}

// One rename: at every moment the target holds either its old or its new content.
int FileSystem::Replace(const std::string& temporary, const std::string& target, bool& bKept) {
    bKept = false;
    return m_sys.Rename(temporary.c_str(), target.c_str()) == 0 ? 0 : ErrnoOr(EIO);
}

int FileSystem::Delete(const std::string& path) {
    if (m_sys.Unlink(path.c_str()) == 0 || errno == ENOENT) {
        return 0;
    }
    return ErrnoOr(EIO);
}

int FileSystem::Cause(int error) {
    return CauseFromErrno(error);
}

bool MakeCurrentFolder(const std::string& strFolder, Sys& sys) {
    return sys.Chdir(strFolder.c_str()) == 0;
}

std::string AbsoluteFolder(const std::string& strFolder, Sys& sys) {
    if (strFolder.empty() || strFolder.front() == '/') {
        return strFolder;
    }
    char cwd[PATH_MAX];
    if (sys.Getcwd(cwd, sizeof cwd) == nullptr) {
        return strFolder;
    }
    std::string path = cwd;
    if (path.back() != '/') {
        path += '/';
    }
    return path + strFolder;
}

}  // namespace pellumar
