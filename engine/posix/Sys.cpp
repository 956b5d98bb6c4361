#include "Sys.h"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace pellumar {

int Sys::OpenAt(int dirfd, const char* name, int flags, mode_t mode) {
    return ::openat(dirfd, name, flags, mode);
}
int Sys::Close(int fd) {
    return ::close(fd);
}
size_t Sys::OpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return SIZE_MAX;
    }
    return static_cast<size_t>(limit.rlim_cur);
}
int Sys::Fstat(int fd, struct stat* st) {
    return ::fstat(fd, st);
}
int Sys::FstatAt(int dirfd, const char* name, struct stat* st, int flags) {
    return ::fstatat(dirfd, name, st, flags);
}
ssize_t Sys::ReadlinkAt(int dirfd, const char* name, char* buffer, size_t size) {
    return ::readlinkat(dirfd, name, buffer, size);
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
int Sys::Fdatasync(int fd) {
    return ::fdatasync(fd);
}
int Sys::SyncFileSystem(int fd) {
    return ::syncfs(fd);
}
int Sys::WriteRangeOut(int fd, off_t offset, off_t size) {
    return ::sync_file_range(
        fd, offset, size,
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
}
int Sys::FileSystemType(int fd, long* type) {
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0) {
        return -1;
    }
    *type = static_cast<long>(fs.f_type);
    return 0;
}
int Sys::KernelRelease(char* buffer, size_t size) {
    struct utsname name;
    if (::uname(&name) != 0 || size == 0) {
        return -1;
    }
    std::snprintf(buffer, size, "%s", name.release);
    return 0;
}
ssize_t Sys::Pwrite(int fd, const void* data, size_t size, off_t offset) {
    return ::pwrite(fd, data, size, offset);
}
int Sys::Fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}
int Sys::Fchown(int fd, uid_t owner, gid_t group) {
    return ::fchown(fd, owner, group);
}
int Sys::PermCopy(int from, int to) {
    return ::perm_copy_fd(nullptr, from, nullptr, to, nullptr);
}
int Sys::AttrCopy(int from, int to) {
    // The attributes that carry permissions are copied with them; every other one is here.
    return ::attr_copy_fd(nullptr, from, nullptr, to, attr_copy_check_permissions, nullptr);
}
int Sys::Flock(int fd, int operation) {
    return ::flock(fd, operation);
}
int Sys::Generation(int fd, uint32_t* generation) {
    int value = 0;
    const int result = ::ioctl(fd, FS_IOC_GETVERSION, &value);
    *generation = static_cast<uint32_t>(value);
    return result;
}
int Sys::RenameAt(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    return flags == 0 ? ::renameat(fromDir, from, toDir, to)
                      : ::renameat2(fromDir, from, toDir, to, flags);
}
int Sys::UnlinkAt(int dirfd, const char* name) {
    return ::unlinkat(dirfd, name, 0);
}
int Sys::RemoveFolderAt(int dirfd, const char* name) {
    return ::unlinkat(dirfd, name, AT_REMOVEDIR);
}
int Sys::MkdirAt(int dirfd, const char* name, mode_t mode) {
    return ::mkdirat(dirfd, name, mode);
}
int Sys::LinkAt(int fromDir, const char* from, int toDir, const char* to, int flags) {
    return ::linkat(fromDir, from, toDir, to, flags);
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

void* Sys::Mmap(size_t length, int fd) {
    void* address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    return address == MAP_FAILED ? nullptr : address;
}

int Sys::Munmap(void* address, size_t length) {
    return ::munmap(address, length);
}
int Sys::Madvise(void* address, size_t length, int advice) {
    return ::madvise(address, length, advice);
}
int Sys::Chdir(const char* path) {
    return ::chdir(path);
}
int Sys::Fchdir(int fd) {
    return ::fchdir(fd);
}
char* Sys::Getcwd(char* buffer, size_t size) {
    return ::getcwd(buffer, size);
}
ssize_t Sys::Getdents(int fd, void* buffer, size_t size) {
    return ::getdents64(fd, buffer, size);
}
void Sys::RaiseOpenFileLimit() {
    constexpr rlim_t kEnough = 1 << 16;
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < kEnough) {
        limit.rlim_cur =
            limit.rlim_max == RLIM_INFINITY ? kEnough : std::min(limit.rlim_max, kEnough);
        ::setrlimit(RLIMIT_NOFILE, &limit);  // should it fail, the limit simply stays
    }
}

Sys& DefaultSys() {
    static Sys sys;
    return sys;
}

}  // namespace pellumar
