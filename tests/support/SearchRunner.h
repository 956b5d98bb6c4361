#pragma once

#include <string>

#include "ISearchNotify.h"
#include "Sys.h"

namespace pellumar::test {

// One search request with the dialog's first-run defaults, but matching case.
struct Request {
    std::string folder;
    std::string filter = "*.*";
    std::string search;
    std::string replace;
    bool subfolders = true;
    bool searchOnly = false;
    bool hidden = true;
    bool ignoreCase = false;
};

// Runs the search on the calling thread and returns its result.
int RunSearch(const Request& request, ISearchNotify& sink, Sys& sys = DefaultSys());

}  // namespace pellumar::test
