#pragma once

#include <string>

#include "Sys.h"

namespace pellumar {

// Opens the folder at `path` with `flags`. A path longer than the system takes in one call is
// followed one folder at a time, from the root or the current folder, so that every file a walk
// reached can be reached again: the descriptor, or -1 with errno set.
int OpenFolderPath(Sys& sys, const std::string& path, int flags);

}  // namespace pellumar
