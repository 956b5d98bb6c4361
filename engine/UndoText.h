#pragma once

#include <string>

#include "UndoStore.h"

namespace pellumar {

// One line of the history: number, date and time, folder, filter, the texts shortened, the
// files changed, and whether it was taken back.
std::string UndoHistoryLine(const UndoRunSummary& run);

// The question asked before a run is taken back, in lines short enough for a message box.
std::string UndoQuestionText(const UndoRunSummary& run);

// What an undo did, in one sentence.
std::string UndoOutcomeText(const UndoOutcome& outcome);

// A count of bytes for a message: "512 bytes", "3.2 MB", "1.5 GB".
std::string ByteCountText(uint64_t bytes);

}  // namespace pellumar
