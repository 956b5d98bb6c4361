#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace pellumar {

// Every system call the engine makes goes through this layer, so that tests can make any one
// of them fail. Each call follows the POSIX convention: -1 (or nullptr) with errno set.
class Sys {
  public:
    virtual ~Sys() = default;

    virtual int OpenAt(int dirfd, const char* name, int flags, mode_t mode = 0);
    virtual int Close(int fd);
    // How many files the process may hold open at once.
    virtual size_t OpenFileLimit();
    virtual int Fstat(int fd, struct stat* st);
    virtual int FstatAt(int dirfd, const char* name, struct stat* st, int flags);
    virtual ssize_t ReadlinkAt(int dirfd, const char* name, char* buffer, size_t size);
    virtual ssize_t Pread(int fd, void* buffer, size_t size, off_t offset);
    virtual ssize_t Write(int fd, const void* data, size_t size);
    virtual int Fsync(int fd);
    // Flushes the file's data, and its size only where that changed.
    virtual int Fdatasync(int fd);
    // syncfs: everything written on the file system that holds `fd`.
    virtual int SyncFileSystem(int fd);
    virtual ssize_t Pwrite(int fd, const void* data, size_t size, off_t offset);
    // Writes the range's data to the device and waits until it is written; the device's cache
    // is not flushed, nor anything but the data written.
    virtual int WriteRangeOut(int fd, off_t offset, off_t size);
    // The type of the file system the file is on (statfs(2)'s f_type): kExtType and so on.
    virtual int FileSystemType(int fd, long* type);
    // The running kernel's release, as uname(2) tells it ("6.1.0-18-amd64").
    virtual int KernelRelease(char* buffer, size_t size);
    virtual int Fchmod(int fd, mode_t mode);
    virtual int Fchown(int fd, uid_t owner, gid_t group);
    // The access lists of `from`, or its permission bits where it has none, given to `to`.
    virtual int PermCopy(int from, int to);
    // The extended attributes of `from` that are not permissions, given to `to`.
    virtual int AttrCopy(int from, int to);
    virtual int Flock(int fd, int operation);
    // The file's generation, which a new file given a deleted one's number does not share.
    virtual int Generation(int fd, uint32_t* generation);
    // rename(2) relative to folders; `flags` as renameat2(2) takes them.
    virtual int RenameAt(int fromDir, const char* from, int toDir, const char* to, unsigned flags);
    virtual int UnlinkAt(int dirfd, const char* name);
    virtual int RemoveFolderAt(int dirfd, const char* name);
    virtual int MkdirAt(int dirfd, const char* name, mode_t mode);
    // link(2) relative to folders; `flags` as linkat(2) takes them.
    virtual int LinkAt(int fromDir, const char* from, int toDir, const char* to, int flags);
    virtual int FaccessAt(int dirfd, const char* name, int mode, int flags);
    virtual uid_t Geteuid();
    virtual gid_t Getegid();
    virtual void* Mmap(size_t length, int fd);  // read-only, private, whole length from 0
    virtual int Munmap(void* address, size_t length);
    virtual int Madvise(void* address, size_t length, int advice);
    virtual int Chdir(const char* path);
    virtual int Fchdir(int fd);
    virtual char* Getcwd(char* buffer, size_t size);
    // Reads entries of the folder open at `fd`, as struct dirent64 records: the bytes read, 0 at
    // the end.
    virtual ssize_t Getdents(int fd, void* buffer, size_t size);
    // Lets the process open as many files as it may: the walk holds one per folder level.
    virtual void RaiseOpenFileLimit();
};

// The file system types the engine tells apart (statfs(2)'s f_type): ext2, 3 and 4 share one.
constexpr long kExtType = 0xEF53, kXfsType = 0x58465342, kBtrfsType = 0x9123683E;

// The error a failed call left in errno, or `fallback` where it left none.
inline int ErrnoOr(int fallback) {
    return errno ? errno : fallback;
}

// An interrupted call is made again, but not forever: interruptions that never end are reported
// as the error they are rather than hanging the search.
constexpr int kInterruptedRetries = 100;

// Makes a call again while a signal interrupts it, at most kInterruptedRetries times; returns
// what the last one returned, errno as it left it.
template <typename Call>
auto Uninterrupted(Call call) -> decltype(call()) {
    for (int interrupted = 0;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR || ++interrupted >= kInterruptedRetries) {
            return result;
        }
    }
}

// The process-wide layer that calls the system directly.
Sys& DefaultSys();

}  // namespace pellumar
