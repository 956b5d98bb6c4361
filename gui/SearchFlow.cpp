#include "SearchFlow.h"

#include "Prompter.h"
#include "ResourceIds.h"
#include "StopState.h"
#include "WindowRules.h"

namespace pellumar {

int FocusFor(QueryProblem problem) {
    switch (problem) {
        case QueryProblem::NoFilter:
        case QueryProblem::FilterOutside:
            return res::kIdFilter;
        case QueryProblem::NoFolder:
        case QueryProblem::FolderNotFound:
            return res::kIdLookIn;
        case QueryProblem::NothingToSearch:
            return res::kIdSearchText;
        case QueryProblem::None:
            break;
    }
    return res::kIdNone;
}

bool NeedsConfirmation(std::int32_t confirmOption, const std::string& strSearch) {
    return confirmOption != 0 && !strSearch.empty();
}

CloseStep CloseFor(std::int32_t runState) {
    return runState == kRunIdle ? CloseStep::Close : CloseStep::Ask;
}

CloseStep CloseAfterYes(std::int32_t runState) {
    return runState == kRunIdle ? CloseStep::Close : CloseStep::StopAndWait;
}

int SearchErrorReply(int answer) {
    switch (answer) {
        case Prompter::kIdAbort:
            return STOP_SEARCH;
        case Prompter::kIdIgnore:
            return STOP_FILE;
        default:
            return STOP_NONE;
    }
}

int SearchErrorNoRetryReply(int answer) {
    return answer == Prompter::kIdCancel ? STOP_SEARCH : STOP_FILE;
}

QueryTexts NewQueryTexts() {
#ifdef _WIN32
    return {"C:\\", "*.*", "", ""};
#else
    return {"/", "*.*", "", ""};
#endif
}

}  // namespace pellumar
