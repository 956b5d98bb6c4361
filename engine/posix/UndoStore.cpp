// Taking back a replacement: each file is put back as it was replaced, the old content taking
// the new file's place in one step once it is on the disk, and only while the new file is
// exactly what the run wrote.
#include "UndoStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "FileSystem.h"
#include "TempFile.h"
#include "TempRecord.h"
#include "UndoFolder.h"
#include "UniqueFile.h"

namespace pellumar {

namespace {

constexpr const char* kChangedSince = "it changed since the replacement";
constexpr const char* kGone = "it is no longer there";

// A descriptor of the undo's own, closed when it goes.
class OwnedFd {
  public:
    OwnedFd(Sys& sys, int fd) : m_sys(sys), m_fd(fd) {}
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    ~OwnedFd() {
        if (m_fd >= 0) {
            m_sys.Close(m_fd);
        }
    }
    int Get() const { return m_fd; }

  private:
    Sys& m_sys;
    int m_fd;
};

// One undo of one run: the run's folder, the log of what it put back, and the file system.
class RunUndo {
  public:
    RunUndo(Sys& sys, UndoFolder& store, int run, int log, UndoLog done,
            const std::function<bool()>& stop, TempRecord& record)
        : m_sys(sys),
          m_fs(sys),
          m_store(store),
          m_touched(store.Touched()),
          m_run(run),
          m_log(log),
          m_done(std::move(done)),
          m_stop(stop) {
        m_fs.RecordTemporariesIn(&record);
    }

    // Puts one file back, or says why it stays: empty when it is back.
    std::string Restore(const UndoFileRecord& record);

  private:
    bool IsBack(const UndoFileRecord& record, const FileStatus& now) const;
    bool AsPlaced(const UndoFileRecord& record, const FileStatus& now) const;
    void Release(const UndoFileRecord& record, int folder, const char* name);
    std::string PutBack(const UndoFileRecord& record, NativeHandle file, const FileStatus& now,
                        const RewriteTarget& target);
    int LinkBack(const UndoFileRecord& record, NativeHandle file, const FileStatus& now,
                 const RewriteTarget& target);
    int CopyBack(const UndoFileRecord& record, NativeHandle file, const FileStatus& now,
                 const RewriteTarget& target);
    int Log(const UndoFileRecord& record, const FileStatus& placed);
    bool Stopped() const { return m_stop && m_stop(); }

    Sys& m_sys;
    FileSystem m_fs;
    UndoFolder& m_store;
    const std::map<UndoIdentity, UndoPlaced> m_touched;  // as this program left files since
    int m_run;
    int m_log;
    UndoLog m_done;
    const std::function<bool()>& m_stop;
    std::vector<char> m_buffer;
};

// Still exactly what the run put in place: a file whose access rights, owner or links changed
// since, or that was edited with its time put back, stays as it is. Where this program's own
// later run or undo moved its status, as it left it then.
bool RunUndo::AsPlaced(const UndoFileRecord& record, const FileStatus& now) const {
    if (!now.IsRegular() || IdentityOf(now) != record.after || !record.placed) {
        return now.IsRegular() && IdentityOf(now) == record.after;
    }
    const UndoPlaced status = PlacedOf(now);
    const auto touched = m_touched.find(record.after);
    return status == *record.placed || (touched != m_touched.end() && touched->second == status);
}

// The store's entry goes, which moves the status of the file it is a name of: the status the
// file is left in (`name` in `folder`, or the file open as `folder` when it is empty) is noted,
// so that an undo of an earlier run knows the file for what that run placed.
void RunUndo::Release(const UndoFileRecord& record, int folder, const char* name) {
    m_sys.UnlinkAt(m_run, UndoEntryName(record.index).c_str());
    FileStatus now;
    const int flags = *name == '\0' ? AT_EMPTY_PATH : AT_SYMLINK_NOFOLLOW;
    if (m_sys.FstatAt(folder, name, &now.st, flags) == 0 && now.IsRegular()) {
        m_store.NoteTouched(now);
    }
}

bool RunUndo::IsBack(const UndoFileRecord& record, const FileStatus& now) const {
    const UndoIdentity identity = IdentityOf(now);
    const auto restoring = m_done.restoring.find(record.index);
    return identity == record.before ||
           (restoring != m_done.restoring.end() && restoring->second == identity);
}

// The file is locked as a replacement locks it, so that a run replacing it now waits, then
// finds it changed and reads it again.
std::string RunUndo::Restore(const UndoFileRecord& record) {
    UniqueFile file(m_fs);
    int error = m_fs.Open(nullptr, record.path.c_str(), record.path, *file.Receive());
    FileStatus now;
    if (error == 0) {
        error = m_fs.Status(file.Get(), now);
    }
    if (error != 0) {
        return FileSystem::IsMissing(error) ? kGone : FileSystem::ErrorText(error);
    }
    if (now.IsRegular() && IsBack(record, now)) {
        Release(record, file.Get(), "");
        return {};
    }
    if (!AsPlaced(record, now)) {
        return kChangedSince;
    }
    error = m_fs.Lock(file.Get(), [this] { return Stopped(); });
    if (error == 0) {
        error = m_fs.Status(file.Get(), now);
    }
    if (error == 0 && !AsPlaced(record, now)) {
        return kChangedSince;
    }
    RewriteTarget target;
    if (error == 0) {
        error = m_fs.ResolveTarget(nullptr, record.path.c_str(), record.path, now, target);
    }
    std::string reason = error == 0 ? PutBack(record, file.Get(), now, target)
                         : error == FileSystem::kChangedMeanwhile ? kChangedSince
                                                                  : FileSystem::ErrorText(error);
    m_fs.ReleaseTarget(target);
    return reason;
}

std::string RunUndo::PutBack(const UndoFileRecord& record, NativeHandle file, const FileStatus& now,
                             const RewriteTarget& target) {
    int error = record.copied ? ENOTSUP : LinkBack(record, file, now, target);
    if (error == ENOTSUP || error == EXDEV) {
        error = CopyBack(record, file, now, target);
    }
    if (error == 0) {
        Release(record, target.folder, target.name.c_str());
        return {};
    }
    // Saved over by another program right after it went back: its store entry stays, as the
    // only copy of the old content.
    return error == FileSystem::kChangedMeanwhile || error == FileSystem::kSavedOver
               ? kChangedSince
               : FileSystem::ErrorText(error);
}

// The old file itself goes back, with its own access rights, owner and attributes.
int RunUndo::LinkBack(const UndoFileRecord& record, NativeHandle file, const FileStatus& now,
                      const RewriteTarget& target) {
    std::string name;
    const std::string entry = UndoEntryName(record.index);
    if (const int error = m_fs.LinkTemporary(target, m_run, entry.c_str(), name)) {
        return error == EXDEV || error == EPERM ? ENOTSUP : error;
    }
    // Known at once, so that whatever fails next, the new name is deleted as this undo's own.
    FileStatus placed;
    int error = m_sys.FstatAt(target.folder, name.c_str(), &placed.st, AT_SYMLINK_NOFOLLOW) == 0
                    ? 0
                    : ErrnoOr(EIO);
    OwnedFd old(m_sys, error != 0 ? -1
                                  : m_sys.OpenAt(target.folder, name.c_str(),
                                                 O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (error == 0 && old.Get() < 0) {
        error = ErrnoOr(EIO);
    }
    if (error == 0) {
        error = m_fs.Lock(old.Get(), [] { return false; });  // another run passes over it
    }
    if (error == 0) {
        error = m_fs.Flush(old.Get());
    }
    if (error == 0) {
        error = m_fs.Status(old.Get(), placed);
    }
    if (error == 0) {
        error = Log(record, placed);
    }
    bool kept = false;
    if (error == 0) {
        error = m_fs.Replace(target, name, placed, file, now, kept);
    }
    if (error != 0 && !kept) {
        m_fs.Delete(target, name, placed.st.st_ino != 0 ? &placed : nullptr);
    }
    return error;
}

// A copy goes back as a new file with the access rights, owner and attributes of the file it
// replaces, which had them from the old one.
int RunUndo::CopyBack(const UndoFileRecord& record, NativeHandle file, const FileStatus& now,
                      const RewriteTarget& target) {
    OwnedFd copy(m_sys, m_sys.OpenAt(m_run, UndoEntryName(record.index).c_str(),
                                     O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (copy.Get() < 0) {
        return ErrnoOr(EIO);
    }
    TempFile temp(m_fs, m_buffer);
    int error = temp.Create(target, file, now, false, [this] { return Stopped(); });
    std::vector<char> chunk(1 << 20);
    for (uint64_t at = 0; error == 0;) {
        size_t got = 0;
        error = m_fs.ReadAt(copy.Get(), chunk.data(), chunk.size(), at, got);
        if (error != 0 || got == 0) {
            break;
        }
        for (size_t done = 0; done < got && error == 0;) {
            done += temp.Write(chunk.data() + done, got - done, &error);
        }
        at += got;
    }
    if (error == 0) {
        error = temp.Complete();
    }
    if (error == 0) {
        error = Log(record, temp.Written());
    }
    return error == 0 ? temp.RenameOver(file, now) : error;
}

// The file that goes back is named before it goes, so that an undo killed after it went still
// knows it for its own.
int RunUndo::Log(const UndoFileRecord& record, const FileStatus& placed) {
    int error = WriteWhole(m_sys, m_log, UndoRestoringLine(record.index, IdentityOf(placed)));
    if (error == 0 && m_sys.Fsync(m_log) != 0) {
        error = ErrnoOr(EIO);
    }
    return error;
}

// A stop is seen between two files; a file that a stop kept from going back is not counted as
// left: the run is simply not done.
void PutBackEach(RunUndo& undo, const std::vector<UndoFileRecord>& files,
                 const std::function<bool()>& stop, UndoOutcome& outcome) {
    for (const UndoFileRecord& record : files) {
        if (stop && stop()) {
            outcome.stopped = true;
            return;
        }
        std::string reason = undo.Restore(record);
        if (!reason.empty() && stop && stop()) {
            outcome.stopped = true;
            return;
        }
        if (reason.empty()) {
            ++outcome.restored;
        } else {
            outcome.left.push_back({record.path, std::move(reason)});
        }
    }
}

}  // namespace

UndoStore::UndoStore(std::string folder, Sys& sys) : m_sys(sys), m_strFolder(std::move(folder)) {}

void UndoStore::CleanUpLeftovers() {
    TempRecord::CleanUp(m_sys, m_strFolder, TempRecord::MemoryFolder());
}

bool UndoStore::Available() {
    return true;
}

// A folder of the environment that belongs to someone else (sudo keeps the caller's HOME) is
// not used: the store would be made in another user's home.
std::string UndoStore::DefaultFolder() {
    const auto ours = [](const char* folder) {
        struct stat st;
        return folder != nullptr && folder[0] == '/' &&
               (::stat(folder, &st) != 0 || st.st_uid == ::geteuid());
    };
    const char* state = std::getenv("XDG_STATE_HOME");
    if (ours(state)) {
        return std::string(state) + "/pellumar/undo";
    }
    const char* home = std::getenv("HOME");
    if (!ours(home)) {
        const struct passwd* user = ::getpwuid(::geteuid());
        home = user != nullptr ? user->pw_dir : "/";
    }
    return std::string(home) + "/.local/state/pellumar/undo";
}

std::vector<UndoRunSummary> UndoStore::History() {
    std::vector<UndoRunSummary> runs;
    UndoFolder store(m_sys, m_strFolder);
    if (store.Open(false) != 0) {
        return runs;
    }
    const std::vector<uint64_t> ids = store.Runs();
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        OwnedFd run(m_sys, store.OpenRun(*id));
        std::string text, log;
        if (run.Get() < 0 || ReadJournal(m_sys, run.Get(), text) != 0) {
            continue;
        }
        const auto journal = ParseJournal(text);
        if (!journal || journal->files.empty()) {
            continue;  // not a run's, or a run that changed nothing
        }
        ReadWhole(m_sys, run.Get(), UndoFolder::kUndoLog, log);
        runs.push_back({*id, journal->header, journal->files.size(), ParseUndoLog(log).done});
    }
    return runs;
}

std::optional<UndoRunSummary> UndoStore::LastToUndo() {
    for (UndoRunSummary& run : History()) {
        if (!run.undone && run.files > 0) {
            return std::move(run);
        }
    }
    return std::nullopt;
}

// The run's journal is held for the whole undo: a second undo of the same run waits for this
// one, then finds every file back already.
UndoOutcome UndoStore::Undo(uint64_t id, const std::function<bool()>& stop) {
    UndoOutcome outcome;
    UndoFolder store(m_sys, m_strFolder);
    outcome.where = m_strFolder;
    if ((outcome.error = store.Open(false)) != 0) {
        return outcome;
    }
    outcome.where = store.RunPath(id);
    OwnedFd run(m_sys, store.OpenRun(id));
    OwnedFd journal(m_sys, run.Get() < 0 ? -1
                                         : m_sys.OpenAt(run.Get(), UndoFolder::kJournal,
                                                        O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    OwnedFd log(m_sys, run.Get() < 0
                           ? -1
                           : m_sys.OpenAt(run.Get(), UndoFolder::kUndoLog,
                                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (journal.Get() < 0 || log.Get() < 0) {
        outcome.error = ErrnoOr(EIO);
        return outcome;
    }
    std::string text, done;
    if ((outcome.error = LockWaiting(m_sys, journal.Get(), stop)) != 0 ||
        (outcome.error = ReadJournal(m_sys, run.Get(), text)) != 0 ||
        (outcome.error = ReadWhole(m_sys, run.Get(), UndoFolder::kUndoLog, done)) != 0) {
        outcome.stopped = outcome.error == EINTR;
        return outcome;
    }
    const auto parsed = ParseJournal(text);
    if (!parsed) {
        outcome.error = EINVAL;
        return outcome;
    }
    CleanUpLeftovers();
    TempRecord record(m_sys, m_strFolder, TempRecord::MemoryFolder());
    record.Begin();
    RunUndo undo(m_sys, store, run.Get(), log.Get(), ParseUndoLog(done), stop, record);
    PutBackEach(undo, parsed->files, stop, outcome);
    if (!outcome.stopped) {
        WriteWhole(m_sys, log.Get(), UndoDoneLine());
        m_sys.Fsync(log.Get());
    }
    return outcome;
}

}  // namespace pellumar
