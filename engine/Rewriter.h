#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FileScanner.h"
#include "StopState.h"
#include "TempFile.h"

namespace pellumar {

class ISearchNotify;
class UndoRecorder;
struct FileJob;

// Writes one reading of a file's new content to a temporary file beside it, match by match,
// and puts it in the file's place in one step. What came of it is told in the file's job. What it
// owns goes in order when it goes: the temporary file first, then the folder it was made in.
// Failures are asked about through the notification sink; an answer gives up the file, or ends the
// search. Given an undo recorder, the old content is kept before the new takes its place.
class Rewriter final : public MatchHandler {
  public:
    Rewriter(FileSystem& fs, ISearchNotify& notify, StopState& stop, const std::string& strReplace,
             std::vector<char>& writeBuffer, FileJob& job, UndoRecorder* pUndo = nullptr);
    Rewriter(const Rewriter&) = delete;
    Rewriter& operator=(const Rewriter&) = delete;
    ~Rewriter();

    MatchStep OnMatch(const FileView& view, uint64_t at, uint64_t end) override;
    bool TakeInPlace(const unsigned char* text, uint64_t at, uint64_t end) override;
    bool WantsTail(uint64_t size) const override {
        return m_temp.IsOpen() && m_nWritten != size && !m_bGivenUp;
    }
    MatchStep OnTail(const FileView& view) override;

    // Once the scan is done: the new content is written out and the old content kept, and the
    // file then waits to be placed with its group, whose new files reach the disk together.
    enum class Readiness {
        Done,   // nothing is to be placed: no new content, or it was given up
        Waits,  // placed with its group
        Alone,  // its undo line is flushed on its own: the caller waits for that flush, then
                // places the group before it, then this file
    };
    Readiness Ready();
    // Flushes a waiting file's new content to the disk. A failure is told when the file is
    // placed: the flushes of a group come one after another, with no change to the file system
    // between them that a flush would have to commit as well.
    void FlushWaiting();
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
    // The user stopped the search, or an answer gave up this file.
    bool Halted() const { return m_bGivenUp || m_stop.Stopped(); }
    bool BeginRewrite();
    bool OpenTemporary();
    bool KeepOldContent();
    bool Put(int lineFlush);
    bool RenameOver();
    void FlushFailed(int nError);
    // False when the bytes could not be read: the file shrank.
    bool WriteOut(const void* pData, size_t nSize, TempFile::CopyBytes copy);
    void DiscardOnStop();
    void GiveUp(int nError);

    FileSystem& m_fs;
    ISearchNotify& m_notify;
    StopState& m_stop;
    const std::string& m_strReplace;
    FileJob& m_job;
    FileStatus m_opened;      // the file as opened; keeping it for undo links it, a new change
    UndoRecorder* m_pUndo;    // keeps the old content for undo, or null
    uint64_t m_nWritten = 0;  // the bytes before it are in the temporary file
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
