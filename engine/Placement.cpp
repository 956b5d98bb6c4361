// One file's new content on its way to the file's place: the temporary file beside it, the old
// content kept for undo, the flush and the exchange of names.
#include "Placement.h"

#include "FileJob.h"
#include "ISearchNotify.h"
#include "UndoRecorder.h"

namespace pellumar {

namespace {

constexpr const char* kCloseOutput = "close the output file";
constexpr const char* kReplaceFile = "replace the file";
constexpr const char* kKeepOld = "keep the old content for undo";

// The record of a failure on the temporary file, which names the file being replaced as well.
CFileException Record(FileCause cause, int error, const TempFile& temp,
                      const std::string& replacing) {
    CFileException record;
    record.m_cause = cause;
    record.m_lOsError = error;
    record.m_strFileName = temp.Path();
    record.m_strReplacing = replacing;
    return record;
}

}  // namespace

Placement::~Placement() {
    m_temp.Discard();
    m_fs.ReleaseTarget(m_target);
}

void Placement::Refuse(int error) {
    GiveUp(error);
    Answer(ReportReplaceFailure(m_notify, m_job.path, error));
}

void Placement::AskAboutTemporary(const char* operation, FileCause cause, int error) {
    Answer(m_notify.OnSearchError(operation, Record(cause, error, m_temp, m_job.path)));
    if (Halted()) {
        GiveUp(error);
    }
}

// The file waits for its group with its new content written out and its old content kept. A
// line that has a flush of its own (a copy, a journal that grew) keeps its file out of the group.
Placement::Readiness Placement::Ready() {
    if (!m_temp.IsOpen()) {
        return Readiness::Done;
    }
    if (Halted()) {
        DiscardOnStop();
        return Readiness::Done;
    }
    m_bKept = m_pUndo != nullptr && m_pUndo->Keeping() && KeepOldContent();
    if (!m_temp.IsOpen()) {
        return Readiness::Done;  // changed meanwhile, or its flush failed: nothing was kept
    }
    if (m_bKept) {
        m_nKeptIndex = m_pUndo->LastKept();
        m_nKeptCopied = m_pUndo->LastCopied();
        return m_pUndo->LineWaits() ? Readiness::Waits : Readiness::Alone;
    }
    if (const int error = m_temp.WriteOut()) {
        FlushFailed(error);
        return Readiness::Done;
    }
    return Readiness::Waits;
}

// A stop leaves the file as it was: its new content is not flushed only to be deleted.
void Placement::FlushWaiting(bool flushedAlready) {
    if (!Halted() && m_temp.IsOpen()) {
        m_bFlushed = true;
        // Which closes it where it cannot stay open.
        m_nFlushError = m_temp.Complete(flushedAlready);
    }
}

// A stop that comes before the new content is in place leaves the file as it was; unless an
// answer to a prompt made the stop, the file is then not reported either.
bool Placement::Place(int lineError) {
    const bool placed = (m_temp.IsOpen() || m_bFlushed) && Put(m_bKept ? lineError : 0);
    if (m_bKept && !placed) {
        m_pUndo->Withdraw(m_nKeptIndex, m_nKeptCopied, m_job.file.Get());
    }
    return placed;
}

void Placement::Abandon() {
    m_temp.Discard();
    if (m_bKept) {
        m_pUndo->Withdraw(m_nKeptIndex, m_nKeptCopied, m_job.file.Get());
        m_bKept = false;
    }
}

// The old content is kept while the new is flushed to the disk. Should it not be kept, Ignore
// replaces the file without it, and Abort leaves the file as it was. Where the run itself could
// not begin, Ignore goes on without undo for every file, so the question comes once.
bool Placement::KeepOldContent() {
    if (const int error = m_temp.WriteOut()) {
        FlushFailed(error);
        return false;
    }
    // A file that cannot take the new content has nothing to keep: Place tells why.
    if (m_fs.CheckReplaceable(m_target, m_job.file.Get(), m_opened) != 0) {
        return false;
    }
    const std::string path = m_fs.PathBeside(m_target, m_target.name);
    while (!Halted()) {
        std::string where;
        const int error =
            m_pUndo->Keep(m_job.file.Get(), m_opened, m_temp.Written(), path, where, true);
        if (error == 0) {
            return true;
        }
        if (error == FileSystem::kChangedMeanwhile) {
            m_job.changedMeanwhile = true;
            m_temp.Discard();
            return false;
        }
        CFileException record;
        record.m_cause = FileSystem::Cause(error);
        record.m_lOsError = error > 0 ? error : -1;
        record.m_strFileName = where;
        record.m_strReplacing = m_job.path;
        const ErrorReply reply = m_notify.OnSearchError(kKeepOld, record);
        if (reply == ErrorReply::SkipFile) {
            m_pUndo->GoWithout();  // where no run could begin, the next file would fail alike
            return false;
        }
        if (reply == ErrorReply::StopSearch) {
            GiveUp(error);
            Answer(reply);
        }
    }
    return false;
}

bool Placement::Put(int lineFlush) {
    if (Halted()) {
        DiscardOnStop();
        return false;
    }
    if (const int error = m_bFlushed ? m_nFlushError : m_temp.Complete()) {
        FlushFailed(error);
        return false;
    }
    if (lineFlush != 0) {
        CFileException record = Record(FileSystem::Cause(lineFlush), lineFlush, m_temp, m_job.path);
        GiveUp(lineFlush);
        Answer(m_notify.OnSearchErrorNoRetry(kKeepOld, record));
        m_temp.Discard();
        return false;
    }
    if (Halted()) {
        DiscardOnStop();
        return false;
    }
    return RenameOver();
}

// The new file takes the name: true when it did.
bool Placement::RenameOver() {
    int error = m_fs.CheckReplaceable(m_target, m_job.file.Get(), m_opened);
    if (error == 0) {
        error = m_temp.RenameOver(m_job.file.Get(), m_opened);
    }
    if (error == 0) {
        if (m_bKept) {
            m_pUndo->Placed(m_nKeptIndex, m_temp.Placed());
        }
        return true;
    }
    if (error == FileSystem::kSavedOver) {
        return true;  // the change was made; the save came after it
    }
    // Content that exists nowhere else may have had to stay at the temporary name: the prompt
    // names that file, and the file is not read again.
    const bool stays = m_temp.Kept();
    const std::string named = stays ? m_temp.Path() : m_job.path;
    m_temp.Discard();
    if (error == FileSystem::kChangedMeanwhile && !stays) {
        m_job.changedMeanwhile = true;
        return false;
    }
    GiveUp(error);
    Answer(ReportReplaceFailure(m_notify, named, error));
    return false;
}

// A failed flush is never trusted again: the new content is given up.
void Placement::FlushFailed(int nError) {
    const CFileException record = Record(FileCause::DiskFull, nError, m_temp, m_job.path);
    GiveUp(nError);
    Answer(m_notify.OnSearchErrorNoRetry(kCloseOutput, record));
    m_temp.Discard();
}

void Placement::DiscardOnStop() {
    m_temp.Discard();
    if (m_job.failure == 0) {
        m_job.withdrawn = true;
    }
}

void Placement::GiveUp(int nError) {
    if (m_job.failure == 0) {
        m_job.failure = nError;
    }
}

ErrorReply Placement::ReportReplaceFailure(ISearchNotify& notify, const std::string& strPath,
                                           int nError) {
    CFileException record;
    record.m_cause = FileSystem::Cause(nError);
    record.m_lOsError = nError > 0 ? nError : -1;
    record.m_strFileName = strPath;
    return notify.OnSearchErrorNoRetry(kReplaceFile, record);
}

// Ignore gives up this file, and Abort the whole search.
void Placement::Answer(ErrorReply reply) {
    m_stop.Answered(reply);
    m_bGivenUp = m_bGivenUp || reply != ErrorReply::Retry;
}

}  // namespace pellumar
