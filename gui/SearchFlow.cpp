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

CloseStep CloseFor(RunState runState) {
    return runState == RunState::Idle ? CloseStep::Close : CloseStep::Ask;
}

CloseStep CloseAfterYes(RunState runState) {
    return runState == RunState::Idle ? CloseStep::Close : CloseStep::StopAndWait;
}

ErrorReply SearchErrorReply(int answer) {
    switch (answer) {
        case Prompter::kIdAbort:
            return ErrorReply::StopSearch;
        case Prompter::kIdIgnore:
            return ErrorReply::SkipFile;
        default:
            return ErrorReply::Retry;
    }
}

ErrorReply SearchErrorNoRetryReply(int answer) {
    return answer == Prompter::kIdCancel ? ErrorReply::StopSearch : ErrorReply::SkipFile;
}

QueryTexts NewQueryTexts() {
#ifdef _WIN32
    return {"C:\\", "*.*", "", ""};
#else
    return {"/", "*.*", "", ""};
#endif
}

}  // namespace pellumar
