#pragma once

#include <functional>

#include "CliOptions.h"

namespace pellumar::cli {

// --history: lists the kept runs, newest first; returns the exit status.
int ListUndoHistory();

// --undo: takes back a run after asking (or with --yes); returns the exit status. `stopped`
// says when a signal asked for the end.
int TakeBack(const CliOptions& options, const std::function<bool()>& stopped);

}  // namespace pellumar::cli
