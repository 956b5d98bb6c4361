#include "UndoRecorder.h"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <utility>

#include "BackgroundSync.h"
#include "UndoFolder.h"

namespace pellumar {

namespace {

constexpr size_t kCopyChunk = 1 << 20;
// The journal is given room ahead of its lines, written as zeros: a line then changes neither
// the file's size nor its blocks, and only its data need reach the disk before each rename.
constexpr uint64_t kJournalRoom = 1 << 20;

// The file as it was opened: the same file, neither written nor, unless told otherwise, given
// other access rights or another owner.
bool Unchanged(const struct stat& now, const struct stat& opened, bool statusToo = true) {
    const auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return now.st_dev == opened.st_dev && now.st_ino == opened.st_ino &&
           now.st_size == opened.st_size && same(now.st_mtim, opened.st_mtim) &&
           now.st_mode == opened.st_mode && now.st_uid == opened.st_uid &&
           now.st_gid == opened.st_gid && (!statusToo || same(now.st_ctim, opened.st_ctim));
}

}  // namespace

UndoRecorder::UndoRecorder(Sys& sys, std::string storeFolder, UndoRunHeader header)
    : m_sys(sys),
      m_store(std::make_unique<UndoFolder>(sys, std::move(storeFolder))),
      m_header(std::move(header)),
      m_sync(std::make_unique<BackgroundSync>(sys)) {}

UndoRecorder::~UndoRecorder() {
    WritePlaced();
    Settle();
    m_sync.reset();
    for (const int fd : {m_journal, m_run}) {
        if (fd >= 0) {
            m_sys.Close(fd);
        }
    }
}

// The journal is locked for the whole run, so that no undo or pruning takes the run while it
// goes on. Its header is on the disk before any file is kept.
int UndoRecorder::MakeStore() {
    return m_store->Fd() >= 0 ? 0 : m_store->Open(true);
}

int UndoRecorder::BeginRun(std::string& where) {
    where = m_store->Path();
    if (const int error = MakeStore()) {
        return error;
    }
    m_store->Prune();
    m_run = m_store->NewRun(m_nId);
    if (m_run < 0) {
        return ErrnoOr(EIO);
    }
    where = m_store->RunPath(m_nId, UndoFolder::kJournal);
    m_journal =
        m_sys.OpenAt(m_run, UndoFolder::kJournal, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    int error = m_journal < 0 ? ErrnoOr(EIO) : 0;
    if (error == 0 && m_sys.Flock(m_journal, LOCK_EX | LOCK_NB) != 0) {
        error = ErrnoOr(EIO);
    }
    bool grew = false;
    if (error == 0) {
        error = Append(JournalHeaderText(m_header), grew);
    }
    if (error == 0 && m_sys.Fsync(m_journal) != 0) {
        error = ErrnoOr(EIO);
    }
    struct stat journal;
    if (error == 0 && SharesFlush(m_journal) && m_sys.Fstat(m_journal, &journal) == 0) {
        m_nJournalDevice = journal.st_dev;
    }
    if (error != 0) {
        AbandonRun();
    }
    return error;
}

// A run that could not begin leaves nothing: the next file tries again from the start.
void UndoRecorder::AbandonRun() {
    for (int* fd : {&m_journal, &m_run}) {
        if (*fd >= 0) {
            m_sys.Close(std::exchange(*fd, -1));
        }
    }
    m_store->Remove(m_nId);
    m_nJournalEnd = m_nJournalRoom = 0;
}

int UndoRecorder::Keep(NativeHandle source, FileStatus& opened, const FileStatus& written,
                       const std::string& path, std::string& where, bool canWait) {
    if (const int error = Settle()) {
        return error;  // the file before is not replaced: it has nothing to be kept for
    }
    if (m_journal < 0) {
        if (const int error = BeginRun(where)) {
            return error;
        }
    }
    UndoFileRecord record{m_nNext, false, IdentityOf(opened), IdentityOf(written), path};
    const uint64_t lineAt = m_nJournalEnd;
    bool grew = false;
    const std::string entry = UndoEntryName(record.index);
    where = m_store->RunPath(m_nId, entry);
    int error = LinkOrCopy(source, opened, entry, record.copied, m_copy);
    if (error == 0) {
        where = m_store->RunPath(m_nId, UndoFolder::kJournal);
        error = Append(std::exchange(m_strPlaced, {}) + JournalFileLine(record), grew);
    }
    if (error != 0) {
        if (m_copy >= 0) {
            m_sys.Close(m_copy);
            m_copy = -1;
        }
        m_sys.UnlinkAt(m_run, entry.c_str());
        return error;
    }
    ++m_nNext;
    StartFlush(lineAt, grew, written, canWait);
    return 0;
}

// The line reaches the disk before the file it names is replaced. On a file system that keeps
// overwritten data in place, with the new file on the same device, the line is written out now
// and the new file's own flush, which follows, takes it to the disk as well: the device's cache
// is flushed after every write that was done before. Elsewhere it is flushed on its own, beside
// the new file's flush. A copy reaches the disk before the line that names it.
void UndoRecorder::StartFlush(uint64_t lineAt, bool grew, const FileStatus& written, bool canWait) {
    if (m_copy < 0 && !grew && m_nJournalDevice != 0 && written.Id().volume == m_nJournalDevice) {
        if (canWait) {
            m_nWaitingFrom = m_bWaiting ? m_nWaitingFrom : lineAt;
            m_bWaiting = true;
            m_nLastWaiting = m_nNext - 1;
            return;
        }
        m_nLineFlush = WriteOutFrom(lineAt);
        return;
    }
    std::vector<BackgroundSync::File> files;
    if (m_copy >= 0) {
        files.push_back({m_copy, false});
    }
    files.push_back({m_journal, !grew});
    m_sync->Start(std::move(files));
}

// ext2, 3 and 4 overwrite a file's written blocks in place, with nothing to log, and flush the
// device's cache after the data of every file flushed.
bool UndoRecorder::SharesFlush(int journal) const {
    long type = 0;
    return m_sys.FileSystemType(journal, &type) == 0 && type == kExtType;
}

// The old file itself is linked where it can be: no bytes are copied and no space is taken.
// Another file system, or a link the system refuses, leaves a copy.
int UndoRecorder::LinkOrCopy(NativeHandle source, FileStatus& opened, const std::string& entry,
                             bool& copied, int& copy) {
    struct stat now;
    if (m_sys.Fstat(source, &now) != 0) {
        return ErrnoOr(EIO);
    }
    if (!Unchanged(now, opened.st)) {
        return FileSystem::kChangedMeanwhile;
    }
    char self[48];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", source);
    if (m_sys.LinkAt(AT_FDCWD, self, m_run, entry.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        copied = false;
        m_nLastCopied = 0;
        if (m_sys.Fstat(source, &now) == 0 && Unchanged(now, opened.st, false)) {
            opened.st.st_ctim = now.st_ctim;  // the link's own change
            return 0;
        }
        m_sys.UnlinkAt(m_run, entry.c_str());
        return FileSystem::kChangedMeanwhile;
    }
    if (errno == EEXIST) {
        m_sys.UnlinkAt(m_run, entry.c_str());  // left by a kept file that was withdrawn
    }
    copied = true;
    copy = m_sys.OpenAt(m_run, entry.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (copy < 0) {
        return ErrnoOr(EIO);
    }
    int error = CopyBytes(source, opened.Size(), copy);
    if (error == FileSystem::kShrankMeanwhile) {
        error = FileSystem::kChangedMeanwhile;  // read again, as any change meanwhile
    }
    m_nLastCopied = error == 0 ? opened.Size() : 0;
    m_nCopied += m_nLastCopied;
    return error;
}

int UndoRecorder::CopyBytes(NativeHandle source, uint64_t size, int to) {
    m_buffer.resize(kCopyChunk);
    for (uint64_t at = 0; at < size;) {
        const ssize_t got = Uninterrupted([&] {
            return m_sys.Pread(source, m_buffer.data(), m_buffer.size(), static_cast<off_t>(at));
        });
        if (got <= 0) {
            return got < 0 ? ErrnoOr(EIO) : FileSystem::kShrankMeanwhile;
        }
        if (const int error = WriteWhole(
                m_sys, to, std::string_view(m_buffer.data(), static_cast<size_t>(got)))) {
            return error;
        }
        at += static_cast<uint64_t>(got);
    }
    return 0;
}

// A line goes where the last one ended; when it does not fit in the room written ahead, more
// room is written first.
int UndoRecorder::Append(const std::string& line, bool& grew) {
    if (m_nJournalEnd + line.size() > m_nJournalRoom) {
        const uint64_t room = std::max<uint64_t>(kJournalRoom, line.size());
        const std::string zeros(room, '\0');
        if (const int error =
                WriteWhole(m_sys, m_journal, zeros, static_cast<off_t>(m_nJournalRoom))) {
            return error;
        }
        m_nJournalRoom += room;
        grew = true;
    }
    if (const int error = WriteWhole(m_sys, m_journal, line, static_cast<off_t>(m_nJournalEnd))) {
        return error;
    }
    m_nJournalEnd += line.size();
    return 0;
}

void UndoRecorder::Finish() {
    WritePlaced();
    Settle();
    m_store->FinishPruning();
}

int UndoRecorder::Settle() {
    int error = m_sync->Wait();
    if (error == 0) {
        error = std::exchange(m_nLineFlush, 0);
    }
    if (m_copy >= 0) {
        m_sys.Close(m_copy);
        m_copy = -1;
    }
    return error;
}

int UndoRecorder::WriteOutWaiting() {
    if (!std::exchange(m_bWaiting, false)) {
        return 0;
    }
    return WriteOutFrom(m_nWaitingFrom);
}

// Lines from `lineAt` to the journal's end go to the device, and are waited for.
int UndoRecorder::WriteOutFrom(uint64_t lineAt) {
    const off_t at = static_cast<off_t>(lineAt);
    return m_sys.WriteRangeOut(m_journal, at, static_cast<off_t>(m_nJournalEnd) - at) != 0
               ? ErrnoOr(EIO)
               : 0;
}

// Room that a line with no flush of its own wrote ahead reaches the disk now: the lines that
// follow, written out only, count on it being there.
void UndoRecorder::SettleRoom(bool grew) {
    if (grew) {
        m_sys.Fsync(m_journal);
    }
}

// Gathered, and written with the next file's line or at the end of the run, in the same write:
// a kill loses at most the lines of the last files, which an undo then checks without them.
void UndoRecorder::Placed(uint64_t index, const FileStatus& placed) {
    if (m_journal >= 0 && index > 0) {
        m_strPlaced += JournalPlacedLine(index, PlacedOf(placed));
    }
}

void UndoRecorder::WritePlaced() {
    if (!m_strPlaced.empty()) {
        bool grew = false;
        Append(std::exchange(m_strPlaced, {}), grew);
        SettleRoom(grew);
    }
}

// The line that withdraws it needs no flush of its own: should it be lost, an undo finds the
// file as it was and leaves it so.
void UndoRecorder::Withdraw(uint64_t index, uint64_t copied, NativeHandle source) {
    if (m_journal >= 0 && index > 0) {
        bool grew = false;
        Append(JournalWithdrawnLine(index), grew);
        SettleRoom(grew);
        m_nCopied -= copied;
        m_sys.UnlinkAt(m_run, UndoEntryName(index).c_str());
        FileStatus now;
        if (source != kNoHandle && m_sys.Fstat(source, &now.st) == 0) {
            m_store->NoteTouched(now);
        }
    }
}

}  // namespace pellumar
