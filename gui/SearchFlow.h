#pragma once

#include <cstdint>
#include <string>

#include "SearchQuery.h"
#include "StopState.h"
#include "WindowRules.h"

namespace pellumar {

// What the window decides around a search, apart from any widget.

// The control that takes the focus after a problem with the query is told.
int FocusFor(QueryProblem problem);

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

// What New Query puts in the four text fields.
struct QueryTexts {
    const char* folder;
    const char* filter;
    const char* search;
    const char* replace;
};
QueryTexts NewQueryTexts();

}  // namespace pellumar
