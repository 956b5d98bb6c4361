#pragma once

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "Sys.h"

namespace pellumar::test {

// The system calls tests make fail. Temporary-file calls are told apart from those on the
// searched files: a create is an open with O_CREAT, and a close is on a descriptor it returned.
enum class Op {
    Open,
    CreateTemp,
    Write,
    Fsync,
    CloseTemp,
    Fchmod,
    Rename,
    Access,
    Mmap,
    Pread,
    Fstat,
    Chdir,
    Opendir,
    Unlink,
    Madvise
};

class FaultySys : public Sys {
  public:
    // The next `times` calls of `op` (every call when negative) fail with `error`; with
    // `where`, only calls on a path containing it.
    void Fail(Op op, int error, int times = 1, std::string where = "") {
        m_faults[op] = {error, times, std::move(where)};
    }
    // The call of `op` after the next `pass` calls fails once with `error`.
    void FailLater(Op op, int pass, int error) { m_faults[op] = {error, 1, "", pass}; }
    // Runs `hook` just before the next call of `op`.
    void Before(Op op, std::function<void()> hook) { m_hooks[op] = std::move(hook); }
    void LimitWrites(size_t most) { m_nWriteLimit = most; }  // each write takes at most this
    int Calls(Op op) { return m_calls[op]; }

    int Open(const char* path, int flags, mode_t mode) override {
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
    int OpenAt(int dirfd, const char* name, int flags) override {
        return Enter(Op::Open, name) ? -1 : Sys::OpenAt(dirfd, name, flags);
    }
    int Close(int fd) override {
        const bool fail = m_tempFds.erase(fd) != 0 && Enter(Op::CloseTemp);
        const int error = errno;
        const int result = Sys::Close(fd);  // the descriptor is gone either way
        errno = error;
        return fail ? -1 : result;
    }
    ssize_t Write(int fd, const void* data, size_t size) override {
        size = m_nWriteLimit ? std::min(size, m_nWriteLimit) : size;
        return Enter(Op::Write) ? -1 : Sys::Write(fd, data, size);
    }
    int Fsync(int fd) override { return Enter(Op::Fsync) ? -1 : Sys::Fsync(fd); }
    int Fchmod(int fd, mode_t m) override { return Enter(Op::Fchmod) ? -1 : Sys::Fchmod(fd, m); }
    int Rename(const char* a, const char* b) override {
        return Enter(Op::Rename, b) ? -1 : Sys::Rename(a, b);
    }
    int Access(const char* p, int m) override {
        return Enter(Op::Access, p) ? -1 : Sys::Access(p, m);
    }
    int FaccessAt(int dirfd, const char* name, int mode, int flags) override {
        return Enter(Op::Access, name) ? -1 : Sys::FaccessAt(dirfd, name, mode, flags);
    }
    void ActAs(uid_t user) { m_user = user; }
    uid_t Geteuid() override { return m_user ? *m_user : Sys::Geteuid(); }
    void* Mmap(size_t n, int fd) override { return Enter(Op::Mmap) ? nullptr : Sys::Mmap(n, fd); }
    ssize_t Pread(int fd, void* b, size_t n, off_t o) override {
        return Enter(Op::Pread) ? -1 : Sys::Pread(fd, b, n, o);
    }
    int Fstat(int fd, struct stat* st) override {
        return Enter(Op::Fstat) ? -1 : Sys::Fstat(fd, st);
    }
    int Madvise(void* a, size_t n, int advice) override {
        return Enter(Op::Madvise) ? -1 : Sys::Madvise(a, n, advice);
    }
    int Unlink(const char* p) override { return Enter(Op::Unlink, p) ? -1 : Sys::Unlink(p); }
    int Chdir(const char* p) override { return Enter(Op::Chdir, p) ? -1 : Sys::Chdir(p); }
    DIR* Opendir(const char* p) override {
        return Enter(Op::Opendir, p) ? nullptr : Sys::Opendir(p);
    }

  private:
    struct Fault {
        int error;
        int times;
        std::string where;
        int pass = 0;  // calls that succeed before the fault takes effect
    };

    // Counts the call and runs its hook; true, with errno set, when the call is to fail.
    bool Enter(Op op, const std::string& path = "") {
        ++m_calls[op];
        if (auto hook = m_hooks.extract(op)) {
            hook.mapped()();
        }
        const auto it = m_faults.find(op);
        if (it == m_faults.end() || it->second.times == 0 ||
            path.find(it->second.where) == std::string::npos) {
            return false;
        }
        if (it->second.pass > 0) {
            --it->second.pass;
            return false;
        }
        it->second.times -= it->second.times > 0;
        errno = it->second.error;
        return true;
    }

    std::map<Op, Fault> m_faults;
    std::map<Op, std::function<void()>> m_hooks;
    std::map<Op, int> m_calls;
    std::set<int> m_tempFds;
    size_t m_nWriteLimit = 0;
    std::optional<uid_t> m_user;
};

}  // namespace pellumar::test
