#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CFileException.h"
#include "StopState.h"
#include "TempFile.h"

namespace pellumar {

class ISearchNotify;
class UndoRecorder;
struct FileJob;

// One reading's new content, from its first byte to the file's place: the name it takes, the
// temporary file that holds it, the old content kept for undo, and what the answers about it
// decided. The rewriter fills it as the scan finds matches; the committer puts it in place. What
// it owns goes in order when it goes: the temporary file first, then the folder it was made in.
// Failures are asked about through the notification sink; an answer gives up the file, or ends
// the search.
class Placement {
  public:
    // `opened` is the file as the job opened it.
    Placement(FileSystem& fs, ISearchNotify& notify, StopState& stop,
              std::vector<char>& writeBuffer, FileJob& job, const FileStatus& opened,
              UndoRecorder* pUndo = nullptr)
        : m_fs(fs),
          m_notify(notify),
          m_stop(stop),
          m_job(job),
          m_opened(opened),
          m_pUndo(pUndo),
          m_temp(fs, writeBuffer) {}
    Placement(const Placement&) = delete;
    Placement& operator=(const Placement&) = delete;
    ~Placement();

    // What the rewriter fills: the temporary file, beside the name the file is rewritten under,
    // and the file as it was opened.
    TempFile& Temp() { return m_temp; }
    RewriteTarget& Target() { return m_target; }
    const FileStatus& Opened() const { return m_opened; }
    // The user stopped the search, or an answer gave up this file.
    bool Halted() const { return m_bGivenUp || m_stop.Stopped(); }
    bool GivenUp() const { return m_bGivenUp; }
    // Asks what to do about a failure of `operation` on the temporary file.
    void AskAboutTemporary(const char* operation, FileCause cause, int error);
    // The file cannot be replaced, for `error`: asked about, and given up.
    void Refuse(int error);

    // Once the scan is done: the new content is written out and the old content kept, and the
    // file then waits to be placed with its group, whose new files reach the disk together.
    enum class Readiness {
        Done,   // nothing is to be placed: no new content, or it was given up
        Waits,  // placed with its group
        Alone,  // its undo line is flushed on its own: the caller waits for that flush, then
                // places the group before it, then this file
    };
    Readiness Ready();
    // Flushes a waiting file's new content to the disk, unless a flush of its file system took it
    // there (`flushedAlready`). A failure is told when the file is placed: the flushes of a group
    // come one after another, with no change to the file system between them that a flush would
    // have to commit as well.
    void FlushWaiting(bool flushedAlready);
    // Puts a ready file's new content in its place; `lineError` tells how its undo line reached
    // the disk (for a waiting file, the group's write-out). True when it took the place.
    bool Place(int lineError);
    // A waiting file that is not to be placed after all: its new content goes, and the old
    // content kept for undo is withdrawn.
    void Abandon();

    // The new file, while it is open.
    NativeHandle NewFile() const { return m_temp.Handle(); }
    // The new file, as it was completed.
    const FileStatus& Written() const { return m_temp.Written(); }

    // Asks what to do about a file that holds the text but cannot be replaced.
    static ErrorReply ReportReplaceFailure(ISearchNotify& notify, const std::string& strPath,
                                           int nError);

  private:
    void Answer(ErrorReply reply);
    bool KeepOldContent();
    bool Put(int lineFlush);
    bool RenameOver();
    void FlushFailed(int nError);
    void DiscardOnStop();
    void GiveUp(int nError);

    FileSystem& m_fs;
    ISearchNotify& m_notify;
    StopState& m_stop;
    FileJob& m_job;
    FileStatus m_opened;      // the file as opened; keeping it for undo links it, a new change
    UndoRecorder* m_pUndo;    // keeps the old content for undo, or null
    bool m_bGivenUp = false;  // an answer gave the file up
    bool m_bFlushed = false;  // FlushWaiting completed the new file, and told this
    int m_nFlushError = 0;
    bool m_bKept = false;        // waiting, its old content is kept for undo
    uint64_t m_nKeptIndex = 0;   // and where
    uint64_t m_nKeptCopied = 0;  // the bytes copied to keep it
    RewriteTarget m_target;
    TempFile m_temp;
};

}  // namespace pellumar
