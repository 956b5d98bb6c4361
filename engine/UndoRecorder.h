#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "FileSystem.h"
#include "UndoJournal.h"

namespace pellumar {

class UndoFolder;
class BackgroundSync;

// Keeps, for one replacing run, the old content of each file it changes, and the journal that
// says where each went. Nothing is made until the first file is kept: the run's folder and its
// journal come first, and older runs are pruned then. Each file's line reaches the disk before
// the file is replaced, so that a run killed at any moment can be undone for every file it
// changed.
class UndoRecorder {
  public:
    UndoRecorder(Sys& sys, std::string storeFolder, UndoRunHeader header);
    UndoRecorder(const UndoRecorder&) = delete;
    UndoRecorder& operator=(const UndoRecorder&) = delete;
    ~UndoRecorder();

    // Makes the store, where it is missing, with nothing in it yet: 0 or the error.
    int MakeStore();
    // Keeps the old content of the file open as `source` (as `opened` describes it), which the
    // new file `written` is about to replace at `path`: the old file itself, linked into the
    // store, or else a copy of its bytes. Its line is written, and on its way to the disk: where
    // the new file's flush, which is to follow, takes it there as well, it is written out to the
    // device now; else its own flush is begun.
    // 0, or the error; `where` then names what could not be made. A link changes the file's
    // status time: `opened` is brought up to date. kChangedMeanwhile when the file is no longer
    // as `opened` describes it.
    // With `canWait`, a line that would be written out to the device on its own waits instead,
    // for WriteOutWaiting, which a group of files calls before any of them is flushed.
    int Keep(NativeHandle source, FileStatus& opened, const FileStatus& written,
             const std::string& path, std::string& where, bool canWait = false);
    // Waits until what the last Keep wrote is on the disk: 0 or the error.
    int Settle();
    // Waits for what goes on beside the run: the flush of the line kept last, the deletion of
    // older runs.
    void Finish();

    // The line kept last waits for the group's write-out; false where it has its own flush
    // (a copy, a journal that grew, another device), and its file is placed on its own.
    bool LineWaits() const { return m_nLastWaiting == m_nNext - 1 && m_nLastWaiting != 0; }
    // Writes out every line that waits: 0 or the error, which every file of the group shares.
    int WriteOutWaiting();
    // The index of the file kept last, and the bytes copied for it.
    uint64_t LastKept() const { return m_nNext - 1; }
    uint64_t LastCopied() const { return m_nLastCopied; }
    // The new file of the file kept as `index` took its place, and now is as `placed` says.
    // Nothing is waited for, nor written at once: should the line be lost, an undo checks the
    // file without it.
    void Placed(uint64_t index, const FileStatus& placed);
    // A file kept earlier (the file kept last, or one of a group) was not replaced after all.
    // Nothing is waited for: a line with a flush of its own was settled first. Its status, which
    // the store's link moved, is noted as this program's own doing, given the file (`source`).
    void Withdraw(uint64_t index, uint64_t copied, NativeHandle source = kNoHandle);
    // A run that could not begin, and that the user chose to go on without: nothing more is
    // kept, and the files are replaced without undo.
    void GoWithout() { m_bWithout = !Begun(); }
    // False once the run goes on without undo.
    bool Keeping() const { return !m_bWithout; }
    // The run has begun: its folder and journal are made.
    bool Begun() const { return m_journal >= 0; }

    // The bytes copied, where the old file could not be linked.
    uint64_t CopiedBytes() const { return m_nCopied; }
    uint64_t RunId() const { return m_nId; }

  private:
    int BeginRun(std::string& where);
    void AbandonRun();
    int LinkOrCopy(NativeHandle source, FileStatus& opened, const std::string& entry, bool& copied,
                   int& copy);
    int CopyBytes(NativeHandle source, uint64_t size, int to);
    int Append(const std::string& line, bool& grew);
    void StartFlush(uint64_t lineAt, bool grew, const FileStatus& written, bool canWait);
    bool SharesFlush(int journal) const;
    void SettleRoom(bool grew);
    void WritePlaced();
    int WriteOutFrom(uint64_t lineAt);

    Sys& m_sys;
    std::unique_ptr<UndoFolder> m_store;
    UndoRunHeader m_header;
    std::unique_ptr<BackgroundSync> m_sync;
    int m_run = -1;      // the run's folder, once begun
    int m_journal = -1;  // its journal, locked while the run goes on
    int m_copy = -1;     // the copy kept last, until it is on the disk
    uint64_t m_nId = 0;
    uint64_t m_nNext = 1;  // the index of the next file kept
    uint64_t m_nCopied = 0;
    uint64_t m_nLastCopied = 0;   // of the file kept last
    uint64_t m_nJournalEnd = 0;   // where the next line goes
    uint64_t m_nJournalRoom = 0;  // the journal's size: zeros after its last line
    bool m_bWithout = false;
    uint64_t m_nWaitingFrom = 0;    // where the first line waiting to be written out begins
    bool m_bWaiting = false;        // lines wait to be written out
    uint64_t m_nLastWaiting = 0;    // the index of the last file whose line waits
    uint64_t m_nJournalDevice = 0;  // where its flush comes with the new file's, else 0
    int m_nLineFlush = 0;           // the error in writing out the line kept last
    std::vector<char> m_buffer;
    std::string m_strPlaced;  // lines of placed files, not yet written
};

}  // namespace pellumar
