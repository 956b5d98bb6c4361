#include "CliRequest.h"

#include "TempRecord.h"
#include "UndoStore.h"

namespace pellumar::cli {

// Without --hidden, dot-folders are left out as well as dot-files.
SearchRequest RequestFor(const CliOptions& options) {
    SearchRequest request;
    request.folder = options.strFolder;
    request.filter = options.strFilter;
    request.search = options.strSearch;
    request.replace = options.strReplace;
    request.subfolders = options.bSubfolders;
    request.searchOnly = options.SearchesOnly();
    request.hidden = request.hiddenFolders = options.bHidden;
    request.ignoreCase = options.bIgnoreCase;
    request.regex = options.bRegex;
    request.undoFolder = UndoStore::DefaultFolder();
    request.memoryFolder = TempRecord::MemoryFolder();
    request.keepUndo = options.bKeepUndo;
    request.countMatches = options.Counts();
    request.dryRun = options.bDryRun && !options.SearchesOnly();
    request.fileInformation = options.bLong;
    request.changes = options.bDiff;
    return request;
}

}  // namespace pellumar::cli
