#include "Sys.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace pellumar {

int Sys::Open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}
int Sys::OpenAt(int dirfd, const char* name, int flags) {
    return ::openat(dirfd, name, flags);
}
int Sys::Close(int fd) {
    return ::close(fd);
}
int Sys::Fstat(int fd, struct stat* st) {
    return ::fstat(fd, st);
}
int Sys::Stat(const char* path, struct stat* st) {
    return ::stat(path, st);
}
int Sys::Lstat(const char* path, struct stat* st) {
    return ::lstat(path, st);
}
int Sys::FstatAt(int dirfd, const char* name, struct stat* st, int flags) {
    return ::fstatat(dirfd, name, st, flags);
}
ssize_t Sys::Pread(int fd, void* buffer, size_t size, off_t offset) {
    return ::pread(fd, buffer, size, offset);
}
ssize_t Sys::Write(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}
int Sys::Fsync(int fd) {
    return ::fsync(fd);
}
int Sys::Fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}
int Sys::Fchown(int fd, uid_t owner, gid_t group) {
    return ::fchown(fd, owner, group);
}
int Sys::Rename(const char* from, const char* to) {
    return ::rename(from, to);
}
int Sys::Unlink(const char* path) {
    return ::unlink(path);
}
int Sys::Access(const char* path, int mode) {
    return ::access(path, mode);
}

void* Sys::Mmap(size_t length, int fd) {
    void* address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    return address == MAP_FAILED ? nullptr : address;
}

int Sys::Munmap(void* address, size_t length) {
    return ::munmap(address, length);
}
int Sys::FaccessAt(int dirfd, const char* name, int mode, int flags) {
    return ::faccessat(dirfd, name, mode, flags);
}
uid_t Sys::Geteuid() {
    return ::geteuid();
}
gid_t Sys::Getegid() {
    return ::getegid();
}
int Sys::Madvise(void* address, size_t length, int advice) {
    return ::madvise(address, length, advice);
}
int Sys::Chdir(const char* path) {
    return ::chdir(path);
}
char* Sys::Getcwd(char* buffer, size_t size) {
    return ::getcwd(buffer, size);
}
char* Sys::Realpath(const char* path, char* resolved) {
    return ::realpath(path, resolved);
}
DIR* Sys::Opendir(const char* path) {
    return ::opendir(path);
}
struct dirent* Sys::Readdir(DIR* dir) {
    return ::readdir(dir);
}
int Sys::Closedir(DIR* dir) {
    return ::closedir(dir);
}

Sys& DefaultSys() {
    static Sys sys;
    return sys;
}

}  // namespace pellumar
