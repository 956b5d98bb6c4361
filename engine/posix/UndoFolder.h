#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "NativeTypes.h"
#include "Sys.h"
#include "UndoJournal.h"

namespace pellumar {

// The undo store on the disk: a folder of the user's own, one folder per run in it, named by
// the run's number, holding the run's journal, the undo's log and the kept files.
class UndoFolder {
  public:
    static constexpr const char* kJournal = "journal";
    static constexpr const char* kUndoLog = "undone";

    UndoFolder(Sys& sys, std::string path) : m_sys(sys), m_strPath(std::move(path)) {}
    UndoFolder(const UndoFolder&) = delete;
    UndoFolder& operator=(const UndoFolder&) = delete;
    ~UndoFolder();

    // Opens the store, made with every folder missing on its way when `create`: 0 or the error.
    // A store that another user owns, or that is a link, is refused.
    int Open(bool create);
    int Fd() const { return m_fd; }
    const std::string& Path() const { return m_strPath; }

    // The runs kept, oldest first.
    std::vector<uint64_t> Runs();
    // Makes the folder of a new run, numbered after every run kept: its descriptor, or -1.
    int NewRun(uint64_t& id);
    int OpenRun(uint64_t id);
    // Deletes a run that no one uses; one that a run or an undo holds stays.
    void Remove(uint64_t id);
    // The bytes kept as copies by a run.
    uint64_t CopiedBytes(uint64_t id);
    // Leaves the last 19 runs and at most 2 GiB of copies, so that a new run makes 20. The runs
    // to delete are chosen now, and deleted on a thread of its own, while the new run goes on.
    void Prune();
    // Waits until the runs chosen are deleted.
    void FinishPruning();

    std::string RunPath(uint64_t id, std::string_view name = {}) const;

    // The status this program itself left a file in, where its own link or rename moved the
    // status that a run placed it with: an undo of that run still knows the file for its own.
    void NoteTouched(const FileStatus& status);
    // The status noted last for each file.
    std::map<UndoIdentity, UndoPlaced> Touched();

  private:
    void CompactTouched();

    Sys& m_sys;
    std::string m_strPath;
    int m_fd = -1;
    std::thread m_pruning;  // deletes the runs chosen; only Prune and FinishPruning touch it
};

// What tells the file as it is now from any later one.
UndoIdentity IdentityOf(const FileStatus& status);
// The rest of its status that a later change would move.
UndoPlaced PlacedOf(const FileStatus& status);

// Helpers on descriptors, through the system-call layer.
int ReadWhole(Sys& sys, int folder, const char* name, std::string& text);
// A journal's lines: the file up to the room of zeros written ahead of them (1 MiB a run).
int ReadJournal(Sys& sys, int folder, std::string& text);
// Writes every byte: at the file's position, or, given `at`, from that offset.
int WriteWhole(Sys& sys, int fd, std::string_view text, off_t at = -1);
std::vector<std::string> FolderNames(Sys& sys, int folder);
// Takes a file's lock, waiting while another holds it until `giveUp` says so: 0, or an error.
int LockWaiting(Sys& sys, int fd, const std::function<bool()>& giveUp);

}  // namespace pellumar
