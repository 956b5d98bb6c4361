#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Sys.h"
#include "UndoJournal.h"

namespace pellumar {

// One kept run, as the history lists it.
struct UndoRunSummary {
    uint64_t id = 0;
    UndoRunHeader header;
    size_t files = 0;     // the files it changed
    bool undone = false;  // an undo of it ran to its end
};

// A file an undo did not put back, and why.
struct UndoLeft {
    std::string path;
    std::string reason;
};

// What an undo did.
struct UndoOutcome {
    int error = 0;      // the run could not be undone at all: why
    std::string where;  // what that error is about
    size_t restored = 0;
    std::vector<UndoLeft> left;
    bool stopped = false;  // asked to stop before the end: run it again to finish
};

// The undo store of one user: the runs kept and taking one back. A file is put back only while
// it is still exactly what the run wrote; anything another program wrote since stays.
class UndoStore {
  public:
    explicit UndoStore(std::string folder, Sys& sys = DefaultSys());

    // $XDG_STATE_HOME/pellumar/undo, or ~/.local/state/pellumar/undo.
    static std::string DefaultFolder();
    // Whether this system keeps undo copies at all.
    static bool Available();

    const std::string& Folder() const { return m_strFolder; }
    // The runs kept, newest first; none when there is no store yet.
    std::vector<UndoRunSummary> History();
    // The newest run that was not taken back.
    std::optional<UndoRunSummary> LastToUndo();
    // Deletes the temporary files that killed runs and undos left, as every undo does first.
    void CleanUpLeftovers();
    // Takes back a run. It can be run again after a kill or a stop, and finishes the job.
    UndoOutcome Undo(uint64_t id, const std::function<bool()>& stop = {});

  private:
    Sys& m_sys;
    std::string m_strFolder;
};

}  // namespace pellumar
