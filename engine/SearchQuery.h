#pragma once

#include <functional>
#include <string>

#include "Sys.h"

namespace pellumar {

// A relative folder joined to the current folder, so that it is resolved once; an absolute or
// empty one as it is.
std::string AbsoluteFolder(const std::string& strFolder, Sys& sys = DefaultSys());

// Makes the folder the process's current folder; false when it cannot be entered.
bool MakeCurrentFolder(const std::string& strFolder, Sys& sys = DefaultSys());

// What is wrong with a query before it may start, in the order the checks run.
enum class QueryProblem {
    None,
    NoFilter,
    FilterOutside,  // the filter's folder part leads outside the folder to look in
    NoFolder,
    FolderNotFound,
    NothingToSearch
};

// Runs the checks in order: filter (given, and inside the folder), folder, making the folder
// current (through `makeCurrent`, which is not called when an earlier check fails), search text
// unless only searching.
QueryProblem CheckQuery(const std::string& strFilter, const std::string& strFolder,
                        const std::string& strSearch, bool bSearchOnly,
                        const std::function<bool(const std::string&)>& makeCurrent);

// The message and the caption that tell the user of a problem.
const char* QueryProblemText(QueryProblem problem);
const char* QueryProblemCaption(QueryProblem problem);

// Said with that question when the search text is a regular expression.
constexpr const char* kPatternNote = "The search text is a regular expression.";

// The question asked before a search starts when confirmation is on.
std::string ConfirmationText(const std::string& strSearch, const std::string& strReplace,
                             bool bSearchOnly);

}  // namespace pellumar
