#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "SearchQuery.h"
#include "SearchRule.h"
#include "StopState.h"
#include "WindowRules.h"

namespace pellumar {

// What the window decides around a search, apart from any widget.

// The control that takes the focus after a problem with the query is told.
int FocusFor(QueryProblem problem);

// A pattern that cannot be used, told at Start after the query's checks: the message, and the
// caption of its box.
std::string PatternProblemText(const RuleProblem& problem);
inline constexpr const char* kPatternProblemCaption = "Pattern not valid";

// An empty search text is never confirmed.
bool NeedsConfirmation(std::int32_t confirmOption, const std::string& strSearch);

// What closing the window does in a run state: close at once, or ask first.
enum class CloseStep { Close, Ask, StopAndWait };
CloseStep CloseFor(RunState runState);
// After Yes to the question: the end may have come while it was open.
CloseStep CloseAfterYes(RunState runState);

// The replies of the two error prompts, from the button the user chose.
ErrorReply SearchErrorReply(int answer);
ErrorReply SearchErrorNoRetryReply(int answer);

// What New Query puts in the four text fields: the folder is the user's own, never the root of
// the whole system.
struct QueryTexts {
    std::string folder;
    std::string filter;
    std::string search;
    std::string replace;
};
QueryTexts NewQueryTexts();

// The user's home folder as a full path: $HOME, else the account's, else the root.
std::string HomeFolder();

// Where and how a run goes, as the confirmation names it.
struct RunScope {
    std::string folder;  // a full path
    std::string filter;
    bool searchOnly = false;
    bool subfolders = false;
    bool hidden = false;
    bool ignoreCase = false;
    bool keepUndo = true;
    bool regex = false;
};

// The question asked before a run starts: the question itself on the first line, then the
// folder and the filter, and for a replacement each option that widens what is replaced and
// whether it can be taken back.
std::string RunConfirmationText(const std::string& strSearch, const std::string& strReplace,
                                const RunScope& scope);

// The folder a folder chooser opens at: the folder typed, or its nearest parent that exists;
// the home folder when nothing of it exists.
std::string ChooserStart(const std::string& typed,
                         const std::function<bool(const std::string&)>& isFolder);

}  // namespace pellumar
