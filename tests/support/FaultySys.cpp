#include "FaultySys.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

namespace pellumar::test {

int FaultySys::Calls(Op op) const {
    const auto it = m_calls.find(op);
    return it == m_calls.end() ? 0 : it->second;
}

bool FaultySys::Enter(Op op, const char* path) {
    ++m_calls[op];
    if (const auto hook = m_hooks.find(op); hook != m_hooks.end()) {
        hook->second();
    }
    const auto it = m_faults.find(op);
    if (it == m_faults.end() || it->second.times == 0) {
        return false;
    }
    if (!it->second.where.empty() &&
        (path == nullptr || std::string(path).find(it->second.where) == std::string::npos)) {
        return false;
    }
    if (it->second.times > 0) {
        --it->second.times;
    }
    errno = it->second.error;
    return true;
}

int FaultySys::Open(const char* path, int flags, mode_t mode) {
    const bool create = (flags & O_CREAT) != 0;
    if (Enter(create ? Op::CreateTemp : Op::Open, path)) {
        return -1;
    }
    const int fd = Sys::Open(path, flags, mode);
    if (create && fd >= 0) {
        m_tempFds.insert(fd);
    }
    return fd;
}

int FaultySys::Close(int fd) {
    if (m_tempFds.erase(fd) != 0 && Enter(Op::CloseTemp)) {
        const int error = errno;
        Sys::Close(fd);  // the descriptor is gone either way, as with a real failed close
        errno = error;
        return -1;
    }
    return Sys::Close(fd);
}

int FaultySys::Fstat(int fd, struct stat* st) {
    return Enter(Op::Fstat) ? -1 : Sys::Fstat(fd, st);
}

int FaultySys::Stat(const char* path, struct stat* st) {
    return Enter(Op::Stat, path) ? -1 : Sys::Stat(path, st);
}

ssize_t FaultySys::Pread(int fd, void* buffer, size_t size, off_t offset) {
    return Enter(Op::Pread) ? -1 : Sys::Pread(fd, buffer, size, offset);
}

ssize_t FaultySys::Write(int fd, const void* data, size_t size) {
    if (Enter(Op::Write)) {
        return -1;
    }
    if (m_nWriteLimit > 0) {
        size = std::min(size, m_nWriteLimit);
    }
    return Sys::Write(fd, data, size);
}

int FaultySys::Fsync(int fd) {
    return Enter(Op::Fsync) ? -1 : Sys::Fsync(fd);
}

int FaultySys::Fchmod(int fd, mode_t mode) {
    return Enter(Op::Fchmod) ? -1 : Sys::Fchmod(fd, mode);
}

int FaultySys::Rename(const char* from, const char* to) {
    return Enter(Op::Rename, to) ? -1 : Sys::Rename(from, to);
}

int FaultySys::Unlink(const char* path) {
    return Enter(Op::Unlink, path) ? -1 : Sys::Unlink(path);
}

int FaultySys::Access(const char* path, int mode) {
    return Enter(Op::Access, path) ? -1 : Sys::Access(path, mode);
}

void* FaultySys::Mmap(size_t length, int fd) {
    return Enter(Op::Mmap) ? nullptr : Sys::Mmap(length, fd);
}

int FaultySys::Chdir(const char* path) {
    return Enter(Op::Chdir, path) ? -1 : Sys::Chdir(path);
}

DIR* FaultySys::Opendir(const char* path) {
    return Enter(Op::Opendir, path) ? nullptr : Sys::Opendir(path);
}

}  // namespace pellumar::test
