#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>

#include "Sys.h"

namespace pellumar::test {

// The system calls the tests can make fail. Temporary-file calls are told apart from those on
// the files searched: a create is an open with O_CREAT, and a write or close is one on a
// descriptor that such a create returned.
enum class Op {
    Open,
    CreateTemp,
    Write,
    Fsync,
    CloseTemp,
    Fchmod,
    Rename,
    Unlink,
    Access,
    Stat,
    Fstat,
    Mmap,
    Pread,
    Chdir,
    Opendir,
};

class FaultySys : public Sys {
  public:
    // The next `times` calls of `op` fail with `error`; a negative count fails every call. With
    // `where`, only calls on a path that contains it count.
    void Fail(Op op, int error, int times = 1, std::string where = "") {
        m_faults[op] = {error, times, std::move(where)};
    }
    // Each write takes at most this many bytes.
    void LimitWrites(size_t most) { m_nWriteLimit = most; }
    // Runs before every call of `op`.
    void Before(Op op, std::function<void()> hook) { m_hooks[op] = std::move(hook); }
    int Calls(Op op) const;

    int Open(const char* path, int flags, mode_t mode) override;
    int Close(int fd) override;
    int Fstat(int fd, struct stat* st) override;
    int Stat(const char* path, struct stat* st) override;
    ssize_t Pread(int fd, void* buffer, size_t size, off_t offset) override;
    ssize_t Write(int fd, const void* data, size_t size) override;
    int Fsync(int fd) override;
    int Fchmod(int fd, mode_t mode) override;
    int Rename(const char* from, const char* to) override;
    int Unlink(const char* path) override;
    int Access(const char* path, int mode) override;
    void* Mmap(size_t length, int fd) override;
    int Chdir(const char* path) override;
    DIR* Opendir(const char* path) override;

  private:
    struct Fault {
        int error;
        int times;
        std::string where;
    };
    // Counts the call, runs its hook; true (errno set) when it is to fail.
    bool Enter(Op op, const char* path = nullptr);

    std::map<Op, Fault> m_faults;
    std::map<Op, std::function<void()>> m_hooks;
    std::map<Op, int> m_calls;
    std::set<int> m_tempFds;
    size_t m_nWriteLimit = 0;
};

}  // namespace pellumar::test
