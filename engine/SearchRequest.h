#pragma once

#include <cstddef>
#include <string>

namespace pellumar {

// What one search is asked to do. The window fills it from its fields and options, pellumar
// from its command line.
struct SearchRequest {
    std::string folder;  // where the walk starts
    std::string filter = "*.*";
    std::string search;   // empty: every file that passes the filter is listed
    std::string replace;  // written for each match unless searching only
    bool subfolders = true;
    bool searchOnly = false;
    bool hidden = true;       // hidden and system files are searched too
    bool ignoreCase = false;  // letters match in either case
    bool regex =
        false;  // the search text is a regular expression, the replacement may name its groups
    bool hiddenFolders = true;  // folders whose names begin with a dot are walked
    // The undo store: never walked, and, replacing with keepUndo, where the old content of each
    // changed file is kept. Empty: none.
    std::string undoFolder;
    bool keepUndo = false;
    // Replacing, where the record of the temporary files made is kept, in memory: see
    // TempRecord::MemoryFolder. Empty: beside the undo store.
    std::string memoryFolder;
    // Each file found is told with its matches, leftmost and non-overlapping, as a replacement
    // takes them.
    bool countMatches = false;
    // Replacing: the files that would change are found, and nothing is written.
    bool dryRun = false;
    // Replacing: each file changed (or, in a dry run, that would change) is told with its changed
    // lines before its found report.
    bool changes = false;
    // Each file found is told with its size, times and attributes. Without, a listed file the
    // listing shows to be a plain file that may be read is told with none, unread.
    bool fileInformation = true;
    // How the work is shared out. Searching, the next files the walk lists, in whatever folder,
    // are searched on a second thread while the worker searches its own. Replacing, new files wait
    // to be placed together, up to this many after one flush of their file system; 1: each is
    // placed on its own.
    bool searchAhead = true;
    size_t placementGroup = 32;
};

}  // namespace pellumar
