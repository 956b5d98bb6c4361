#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pellumar::cli {

enum class OnError { Ask, Abort, Skip };
enum class ColorWhen { Auto, Always, Never };

// One search request as given on the command line. Defaults are the dialog's first-run ones.
struct CliOptions {
    std::string strFolder;
    std::string strFilter = "*.*";
    std::string strSearch;
    std::string strReplace;
    bool bReplace = false;  // --replace was given
    bool bSearchOnly = false;
    bool bSubfolders = true;
    bool bHidden = true;
    bool bIgnoreCase = true;
    bool bRegex = false;  // the search text is a regular expression
    bool bYes = false;
    std::optional<OnError> onError;  // unset: ask on a terminal, abort otherwise
    bool bLong = false;
    bool bNull = false;
    bool bQuiet = false;
    bool bMessages = true;            // name each file or folder that could not be read or changed
    bool bKeepUndo = true;            // replacing, the old content is kept for --undo
    bool bUndo = false;               // --undo: take back a replacement instead of searching
    std::optional<uint64_t> undoRun;  // the run --undo takes back; unset: the last one
    bool bCount = false;              // each file's matches follow its path
    bool bDryRun = false;             // replacing: only list what would change, with the counts
    bool bLines = false;              // each matching line instead of the file's path
    bool bDiff = false;               // replacing: a unified diff of each file that changes
    ColorWhen color = ColorWhen::Auto;
    bool bHistory = false;
    bool bHelp = false;
    bool bVersion = false;
    std::vector<std::string> given;  // the options given, by name, in order

    // Only searching: no --replace, or --search-only, which wins.
    bool SearchesOnly() const { return bSearchOnly || !bReplace; }
    // Nothing is written: searching, or a dry run of a replacement.
    bool ChangesNothing() const { return SearchesOnly() || bDryRun; }
    bool Counts() const { return bCount || (bDryRun && !SearchesOnly()); }
};

// Parses the arguments after the program name; on a usage error, the message.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string* error);

const char* CliUsage();

}  // namespace pellumar::cli
