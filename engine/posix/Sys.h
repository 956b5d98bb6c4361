#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace pellumar {

// Every system call the engine makes goes through this layer, so that tests can make any one
// of them fail. Each call follows the POSIX convention: -1 (or nullptr) with errno set.
class Sys {
  public:
    virtual ~Sys() = default;

    virtual int Open(const char* path, int flags, mode_t mode = 0);
    virtual int OpenAt(int dirfd, const char* name, int flags);
    virtual int Close(int fd);
    virtual int Fstat(int fd, struct stat* st);
    virtual int Stat(const char* path, struct stat* st);
    virtual int Lstat(const char* path, struct stat* st);
    virtual int FstatAt(int dirfd, const char* name, struct stat* st, int flags);
    virtual ssize_t Pread(int fd, void* buffer, size_t size, off_t offset);
    virtual ssize_t Write(int fd, const void* data, size_t size);
    virtual int Fsync(int fd);
    virtual int Fchmod(int fd, mode_t mode);
    virtual int Fchown(int fd, uid_t owner, gid_t group);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);
    virtual int Access(const char* path, int mode);
    virtual int FaccessAt(int dirfd, const char* name, int mode, int flags);
    virtual uid_t Geteuid();
    virtual gid_t Getegid();
    virtual void* Mmap(size_t length, int fd);  // read-only, private, whole length from 0
    virtual int Munmap(void* address, size_t length);
    virtual int Madvise(void* address, size_t length, int advice);
    virtual int Chdir(const char* path);
    virtual char* Getcwd(char* buffer, size_t size);
    virtual char* Realpath(const char* path, char* resolved);
    virtual DIR* Opendir(const char* path);
    virtual struct dirent* Readdir(DIR* dir);
    virtual int Closedir(DIR* dir);
};

// An interrupted call is made again, but not forever: interruptions that never end are reported
// as the error they are rather than hanging the search.
constexpr int kInterruptedRetries = 100;

// The process-wide layer that calls the system directly.
Sys& DefaultSys();

}  // namespace pellumar
