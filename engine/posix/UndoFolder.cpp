#include "UndoFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <thread>

#include "UndoJournal.h"

namespace pellumar {

namespace {

constexpr size_t kKeptRuns = 20;
constexpr uint64_t kMostCopied = uint64_t{2} << 30;
constexpr auto kLockPoll = std::chrono::milliseconds(20);

bool RunNumber(const std::string& name, uint64_t& id) {
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), id);
    return error == std::errc() && end == name.data() + name.size() && !name.empty() &&
           name[0] != '0';
}

}  // namespace

UndoFolder::~UndoFolder() {
    FinishPruning();
    if (m_fd >= 0) {
        m_sys.Close(m_fd);
    }
}

// Each missing folder on the way is made for this user alone; the store itself must be a folder
// of this user's, not a link, and is made private should it not be.
int UndoFolder::Open(bool create) {
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = m_sys.OpenAt(AT_FDCWD, m_strPath.c_str(), flags);
    if (fd < 0 && errno == ENOENT && create) {
        for (size_t at = 1; at < m_strPath.size(); ++at) {
            at = std::min(m_strPath.find('/', at), m_strPath.size());
            const std::string part = m_strPath.substr(0, at);
            if (m_sys.MkdirAt(AT_FDCWD, part.c_str(), 0700) != 0 && errno != EEXIST) {
                return ErrnoOr(EIO);
            }
        }
        fd = m_sys.OpenAt(AT_FDCWD, m_strPath.c_str(), flags);
    }
    if (fd < 0) {
        return errno == ELOOP ? EPERM : ErrnoOr(EIO);
    }
    struct stat st;
    if (m_sys.Fstat(fd, &st) != 0 || st.st_uid != m_sys.Geteuid() ||
        ((st.st_mode & 077) != 0 && m_sys.Fchmod(fd, 0700) != 0)) {
        m_sys.Close(fd);
        return EPERM;
    }
    m_fd = fd;
    return 0;
}

std::vector<uint64_t> UndoFolder::Runs() {
    std::vector<uint64_t> runs;
    for (const std::string& name : FolderNames(m_sys, m_fd)) {
        uint64_t id = 0;
        if (RunNumber(name, id)) {
            runs.push_back(id);
        }
    }
    std::sort(runs.begin(), runs.end());
    return runs;
}

// Two runs that start at once each get a number of their own: the folder is made exclusively.
int UndoFolder::NewRun(uint64_t& id) {
    const std::vector<uint64_t> runs = Runs();
    id = runs.empty() ? 1 : runs.back() + 1;
    for (int attempt = 0; attempt < 1000; ++attempt, ++id) {
        const std::string name = std::to_string(id);
        if (m_sys.MkdirAt(m_fd, name.c_str(), 0700) == 0) {
            return OpenRun(id);
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

int UndoFolder::OpenRun(uint64_t id) {
    return m_sys.OpenAt(m_fd, std::to_string(id).c_str(),
                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// A run's journal is locked while the run or an undo of it goes on. It is opened for writing,
// as a network file system takes a lock only on such a file.
void UndoFolder::Remove(uint64_t id) {
    const int run = OpenRun(id);
    if (run < 0) {
        return;
    }
    const int journal = m_sys.OpenAt(run, kJournal, O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (journal < 0 || m_sys.Flock(journal, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
        for (const std::string& name : FolderNames(m_sys, run)) {
            m_sys.UnlinkAt(run, name.c_str());
        }
        m_sys.RemoveFolderAt(m_fd, std::to_string(id).c_str());
    }
    if (journal >= 0) {
        m_sys.Close(journal);
    }
    m_sys.Close(run);
}

uint64_t UndoFolder::CopiedBytes(uint64_t id) {
    const int run = OpenRun(id);
    std::string text;
    uint64_t bytes = 0;
    if (run >= 0 && ReadJournal(m_sys, run, text) == 0) {
        const auto journal = ParseJournal(text);
        for (const UndoFileRecord& file :
             journal ? journal->files : std::vector<UndoFileRecord>()) {
            bytes += file.copied ? static_cast<uint64_t>(file.before.size) : 0;
        }
    }
    if (run >= 0) {
        m_sys.Close(run);
    }
    return bytes;
}

void UndoFolder::Prune() {
    const std::vector<uint64_t> runs = Runs();
    std::vector<uint64_t> copied;
    for (const uint64_t id : runs) {
        copied.push_back(CopiedBytes(id));
    }
    const size_t pruned = RunsToPrune(copied, kKeptRuns, kMostCopied);
    if (pruned == 0 || m_pruning.joinable()) {
        return;
    }
    m_pruning = std::thread([this, outgrown = std::vector(runs.begin(), runs.begin() + pruned)] {
        for (const uint64_t id : outgrown) {
            Remove(id);
        }
    });
}

void UndoFolder::FinishPruning() {
    if (m_pruning.joinable()) {
        m_pruning.join();
    }
}

std::string UndoFolder::RunPath(uint64_t id, std::string_view name) const {
    std::string path = m_strPath + "/" + std::to_string(id);
    return name.empty() ? path : path + "/" + std::string(name);
}

UndoIdentity IdentityOf(const FileStatus& status) {
    const FileVersion version = status.Version();
    return {status.Id().volume, status.Id().index, version.size, version.modified};
}

namespace {
constexpr const char* kTouched = "touched";
// Past this, the notes are written again with the last one of each file only.
constexpr off_t kMostTouched = 8 << 20;
}  // namespace

// Appended in one write, so that notes of two runs at once never mix.
void UndoFolder::NoteTouched(const FileStatus& status) {
    if (m_fd < 0) {
        return;
    }
    struct stat st;
    if (m_sys.FstatAt(m_fd, kTouched, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_size > kMostTouched) {
        CompactTouched();
    }
    const int fd =
        m_sys.OpenAt(m_fd, kTouched, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        WriteWhole(m_sys, fd, TouchedLine(IdentityOf(status), PlacedOf(status)));
        m_sys.Close(fd);
    }
}

// A note another run appends meanwhile may be lost: an undo then leaves that file and names it.
void UndoFolder::CompactTouched() {
    std::string text, compact;
    if (ReadWhole(m_sys, m_fd, kTouched, text) != 0) {
        return;
    }
    for (const auto& [identity, placed] : ParseTouched(text)) {
        compact += TouchedLine(identity, placed);
    }
    const std::string name = std::string(kTouched) + "." + std::to_string(::getpid());
    const int fd = m_sys.OpenAt(m_fd, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    const bool written = WriteWhole(m_sys, fd, compact) == 0 && m_sys.Fsync(fd) == 0;
    m_sys.Close(fd);
    if (!written || m_sys.RenameAt(m_fd, name.c_str(), m_fd, kTouched, 0) != 0) {
        m_sys.UnlinkAt(m_fd, name.c_str());
    }
}

std::map<UndoIdentity, UndoPlaced> UndoFolder::Touched() {
    std::string text;
    return m_fd >= 0 && ReadWhole(m_sys, m_fd, kTouched, text) == 0
               ? ParseTouched(text)
               : std::map<UndoIdentity, UndoPlaced>{};
}

UndoPlaced PlacedOf(const FileStatus& status) {
    const struct stat& st = status.st;
    return {st.st_ctim.tv_sec * 1'000'000'000LL + st.st_ctim.tv_nsec, st.st_mode, st.st_uid,
            st.st_gid, static_cast<uint32_t>(st.st_nlink)};
}

namespace {

// Reads a file whole, or up to the end of the first block that holds a zero byte.
int ReadUpTo(Sys& sys, int folder, const char* name, std::string& text, bool toZero) {
    text.clear();
    const int fd = sys.OpenAt(folder, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return ErrnoOr(EIO);
    }
    char buffer[65536];
    int error = 0;
    for (off_t at = 0;;) {
        const ssize_t got = Uninterrupted([&] { return sys.Pread(fd, buffer, sizeof buffer, at); });
        if (got <= 0) {
            error = got < 0 ? ErrnoOr(EIO) : 0;
            break;
        }
        text.append(buffer, static_cast<size_t>(got));
        at += got;
        if (toZero && std::memchr(buffer, 0, static_cast<size_t>(got)) != nullptr) {
            break;
        }
    }
    sys.Close(fd);
    return error;
}

}  // namespace

int ReadJournal(Sys& sys, int folder, std::string& text) {
    return ReadUpTo(sys, folder, UndoFolder::kJournal, text, true);
}

int ReadWhole(Sys& sys, int folder, const char* name, std::string& text) {
    return ReadUpTo(sys, folder, name, text, false);
}

int WriteWhole(Sys& sys, int fd, std::string_view text, off_t at) {
    while (!text.empty()) {
        const ssize_t done = Uninterrupted([&] {
            return at < 0 ? sys.Write(fd, text.data(), text.size())
                          : sys.Pwrite(fd, text.data(), text.size(), at);
        });
        if (done <= 0) {
            return done < 0 ? ErrnoOr(EIO) : EIO;
        }
        text.remove_prefix(static_cast<size_t>(done));
        at += at < 0 ? 0 : done;
    }
    return 0;
}

std::vector<std::string> FolderNames(Sys& sys, int folder) {
    std::vector<std::string> names;
    const int fd = sys.OpenAt(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return names;
    }
    alignas(8) char buffer[32768];
    for (ssize_t got; (got = sys.Getdents(fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..") {
                names.emplace_back(name);
            }
            at += entry->d_reclen;
        }
    }
    sys.Close(fd);
    return names;
}

// Where the system has no such locks, there is nothing to wait for.
int LockWaiting(Sys& sys, int fd, const std::function<bool()>& giveUp) {
    for (;;) {
        if (sys.Flock(fd, LOCK_EX | LOCK_NB) == 0 || errno == ENOLCK || errno == EOPNOTSUPP ||
            errno == EBADF) {
            return 0;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return ErrnoOr(EIO);
        }
        if (giveUp && giveUp()) {
            return EINTR;
        }
        std::this_thread::sleep_for(kLockPoll);
    }
}

}  // namespace pellumar
