#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "RecordingSink.h"
#include "Sys.h"
#include "TempTree.h"

namespace pellumar::test {

// The system calls tests make fail. Temporary-file calls are told apart from those on the
// searched files: a create is an open with O_CREAT. Folders are opened with O_DIRECTORY.
enum class Op {
    Open,
    OpenFolder,
    CreateTemp,
    Write,
    Fsync,
    Fchmod,
    Rename,
    Access,
    Mmap,
    Pread,
    Fstat,
    List,
    Unlink,
    Madvise,
    Lock,
    PermCopy,
    AttrCopy,
    Readlink,
    Link,
    StatAt,          // the status of a name in a folder
    SyncFileSystem,  // one flush of a whole file system
};

class FaultySys : public Sys {
  public:
    // The next `times` calls of `op` (every call when negative) fail with `error`; with
    // `where`, only calls on a path containing it.
    void Fail(Op op, int error, int times = 1, std::string where = "") {
        const std::lock_guard lock(m_mutex);
        m_faults[op] = {error, times, std::move(where)};
    }
    // The call of `op` after the next `pass` calls fails once with `error`.
    void FailLater(Op op, int pass, int error, std::string where = "") {
        const std::lock_guard lock(m_mutex);
        m_faults[op] = {error, 1, std::move(where), pass};
    }
    // The file system type the system is to tell for every file.
    void SayFileSystem(long type) { m_fileSystem = type; }
    // The kernel release the system is to tell. Unless told otherwise it tells one whose
    // flush of a whole file system tells no failure, so that each new file is flushed on its
    // own, at the moment the tests' flush faults and hooks stand for.
    void SayKernel(std::string release) { m_kernel = std::move(release); }
    // Runs `hook` just before the next call of `op`.
    void Before(Op op, std::function<void()> hook) {
        const std::lock_guard lock(m_mutex);
        m_hooks[op] = std::move(hook);
    }
    // Runs `hook` just after the next rename has been made: another program's move at the
    // worst moment.
    void AfterRename(std::function<void()> hook) {
        const std::lock_guard lock(m_mutex);
        m_afterRename = std::move(hook);
    }
    // Runs `hook` with the name before every call of `op` that has one, from now on. A flush's
    // is how and what it flushes: "fsync PATH", "fdatasync PATH" or "write out PATH".
    void BeforeEach(Op op, std::function<void(const std::string&)> hook) {
        const std::lock_guard lock(m_mutex);
        m_eachHooks[op] = std::move(hook);
    }
    // From now on every status of the file numbered `real` tells `shown` as its number, as when
    // the system gives a new file the number of one that has gone.
    void Renumber(ino_t real, ino_t shown) {
        const std::lock_guard lock(m_mutex);
        m_numbers[real] = shown;
    }
    void LimitWrites(size_t most) { m_nWriteLimit = most; }  // each write takes at most this
    int Calls(Op op) {
        const std::lock_guard lock(m_mutex);
        return m_calls[op];
    }

    int OpenAt(int dirfd, const char* name, int flags, mode_t mode) override {
        const bool create = (flags & O_CREAT) != 0;
        const Op op = create ? Op::CreateTemp : (flags & O_DIRECTORY) ? Op::OpenFolder : Op::Open;
        if (Enter(op, name)) {
            return -1;
        }
        return Sys::OpenAt(dirfd, name, flags, mode);
    }
    ssize_t Write(int fd, const void* data, size_t size) override {
        size = m_nWriteLimit ? std::min(size, m_nWriteLimit) : size;
        return Enter(Op::Write) ? -1 : Sys::Write(fd, data, size);
    }
    int Fsync(int fd) override { return Flushing("fsync", fd) ? -1 : Sys::Fsync(fd); }
    int Fdatasync(int fd) override { return Flushing("fdatasync", fd) ? -1 : Sys::Fdatasync(fd); }
    int SyncFileSystem(int fd) override {
        return Enter(Op::SyncFileSystem) ? -1 : Sys::SyncFileSystem(fd);
    }
    int WriteRangeOut(int fd, off_t at, off_t n) override {
        return Flushing("write out", fd) ? -1 : Sys::WriteRangeOut(fd, at, n);
    }
    int FileSystemType(int fd, long* type) override {
        if (m_fileSystem) {
            *type = *m_fileSystem;
            return 0;
        }
        return Sys::FileSystemType(fd, type);
    }
    int KernelRelease(char* buffer, size_t size) override {
        std::snprintf(buffer, size, "%s", m_kernel.c_str());
        return 0;
    }
    ssize_t Pwrite(int fd, const void* data, size_t size, off_t offset) override {
        return Enter(Op::Write) ? -1 : Sys::Pwrite(fd, data, size, offset);
    }
    int Fchmod(int fd, mode_t m) override { return Enter(Op::Fchmod) ? -1 : Sys::Fchmod(fd, m); }
    int RenameAt(int fromDir, const char* a, int toDir, const char* b, unsigned flags) override {
        if (Enter(Op::Rename, b)) {
            return -1;
        }
        const int result = Sys::RenameAt(fromDir, a, toDir, b, flags);
        const int error = errno;
        std::unique_lock lock(m_mutex);
        if (auto after = std::exchange(m_afterRename, nullptr)) {
            lock.unlock();
            after();
        }
        errno = error;
        return result;
    }
    int PermCopy(int from, int to) override {
        return Enter(Op::PermCopy) ? -1 : Sys::PermCopy(from, to);
    }
    int AttrCopy(int from, int to) override {
        return Enter(Op::AttrCopy) ? -1 : Sys::AttrCopy(from, to);
    }
    int Flock(int fd, int how) override { return Enter(Op::Lock) ? -1 : Sys::Flock(fd, how); }
    ssize_t ReadlinkAt(int dirfd, const char* name, char* buffer, size_t size) override {
        return Enter(Op::Readlink, name) ? -1 : Sys::ReadlinkAt(dirfd, name, buffer, size);
    }
    int FaccessAt(int dirfd, const char* name, int mode, int flags) override {
        return Enter(Op::Access, name) ? -1 : Sys::FaccessAt(dirfd, name, mode, flags);
    }
    int FstatAt(int dirfd, const char* name, struct stat* st, int flags) override {
        return Enter(Op::StatAt, name) ? -1 : Numbered(Sys::FstatAt(dirfd, name, st, flags), st);
    }
    void ActAs(uid_t user) { m_user = user; }
    uid_t Geteuid() override { return m_user ? *m_user : Sys::Geteuid(); }
    void* Mmap(size_t n, int fd) override { return Enter(Op::Mmap) ? nullptr : Sys::Mmap(n, fd); }
    ssize_t Pread(int fd, void* b, size_t n, off_t o) override {
        return Enter(Op::Pread) ? -1 : Sys::Pread(fd, b, n, o);
    }
    int Fstat(int fd, struct stat* st) override {
        return Enter(Op::Fstat) ? -1 : Numbered(Sys::Fstat(fd, st), st);
    }
    int Madvise(void* a, size_t n, int advice) override {
        return Enter(Op::Madvise) ? -1 : Sys::Madvise(a, n, advice);
    }
    int UnlinkAt(int dirfd, const char* name) override {
        return Enter(Op::Unlink, name) ? -1 : Sys::UnlinkAt(dirfd, name);
    }
    ssize_t Getdents(int fd, void* buffer, size_t size) override {
        return Enter(Op::List) ? -1 : Sys::Getdents(fd, buffer, size);
    }

    int LinkAt(int fromDir, const char* a, int toDir, const char* b, int flags) override {
        return Enter(Op::Link, b) ? -1 : Sys::LinkAt(fromDir, a, toDir, b, flags);
    }

  private:
    struct Fault {
        int error;
        int times;
        std::string where;
        int pass = 0;  // calls that succeed before the fault takes effect
    };

    // A status read, with the number Renumber gives its file.
    int Numbered(int result, struct stat* st) {
        const std::lock_guard lock(m_mutex);
        if (const auto it = m_numbers.find(st->st_ino); result == 0 && it != m_numbers.end()) {
            st->st_ino = it->second;
        }
        return result;
    }
    // A flush is told apart by the path of the file it flushes.
    bool Flushing(const char* how, int fd) {
        char path[4096] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t n = ::readlink(link.c_str(), path, sizeof path - 1);
        return Enter(Op::Fsync,
                     how + (" " + std::string(path, n > 0 ? static_cast<size_t>(n) : 0)));
    }
    // Counts the call and runs its hook; true, with errno set, when the call is to fail.
    bool Enter(Op op, const std::string& path = "") {
        // Undo's journal is flushed from a thread of its own; a hook may wait for another thread.
        std::unique_lock lock(m_mutex);
        ++m_calls[op];
        if (auto hook = m_hooks.extract(op)) {
            lock.unlock();
            hook.mapped()();
            lock.lock();
        }
        if (const auto each = m_eachHooks.find(op); each != m_eachHooks.end() && !path.empty()) {
            const auto hook = each->second;
            lock.unlock();
            hook(path);
            lock.lock();
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

    std::mutex m_mutex;  // guards the maps below
    std::map<Op, Fault> m_faults;
    std::map<Op, std::function<void()>> m_hooks;
    std::function<void()> m_afterRename;
    std::map<Op, std::function<void(const std::string&)>> m_eachHooks;
    std::map<Op, int> m_calls;
    std::map<ino_t, ino_t> m_numbers;  // real to shown; written by the test's thread or a hook
    size_t m_nWriteLimit = 0;
    std::optional<uid_t> m_user;
    std::optional<long> m_fileSystem;
    std::string m_kernel = "5.4.0";
};

struct Scene;
// What a test sets up before a scene's run: failures, answers, stops.
using Arrange = std::function<void(Scene&, SearchStopHandle)>;

// A tree, a store for undo beside it, a system to make fail and a sink: what most tests of the
// engine start from.
struct Scene {
    Scene() = default;
    explicit Scene(const std::string& content) { tree.Write("a", content); }
    // Runs the search in the tree, or in its folder the request names, by default replacing "old"
    // by "new" in every file; `arrange` is given the scene and the worker's stop handle first.
    int Run(Request request = {"", "*.*", "old", "new"}, const Arrange& arrange = {}) {
        request.folder = request.folder.empty() ? tree.Root() : tree.Path(request.folder);
        request.searchAhead = request.searchAhead && searchAhead;
        CSearchThread worker(&sink, request, sys);
        if (arrange) {
            arrange(*this, worker.GetStopHandle());
        }
        return worker.Run();
    }
    // The request, keeping undo in the scene's store.
    Request KeepingUndo(Request request) const {
        request.undoFolder = store;
        request.keepUndo = true;
        return request;
    }

    // Off: the files are read only as the one thread reads them, whatever a test counts.
    bool searchAhead = true;
    TempTree tree;
    TempTree state;
    std::string store = state.Path("pellumar/undo");
    FaultySys sys;
    RecordingSink sink{tree.Root()};
};

}  // namespace pellumar::test
