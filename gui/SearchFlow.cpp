#include "SearchFlow.h"

#include <cstdlib>
#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include "Prompter.h"
#include "ResourceIds.h"
#include "RunSummary.h"
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
    return {HomeFolder(), "*.*", "", ""};
}

std::string HomeFolder() {
#ifdef _WIN32
    const char* profile = std::getenv("USERPROFILE");
    return profile != nullptr && *profile != '\0' ? profile : "C:\\";
#else
    std::string home;
    if (const char* variable = std::getenv("HOME"))
        home = variable;
    if (home.empty() || home.front() != '/') {
        const passwd* account = ::getpwuid(::getuid());
        home = account != nullptr && account->pw_dir != nullptr ? account->pw_dir : "";
    }
    if (home.empty() || home.front() != '/')
        return "/";
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
#endif
}

std::string PatternProblemText(const RuleProblem& problem) {
    std::string text = RuleProblemText(problem);
    if (!text.empty())
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ".";
}

std::string RunConfirmationText(const std::string& strSearch, const std::string& strReplace,
                                const RunScope& scope) {
    std::string text = ConfirmationText(strSearch, strReplace, scope.searchOnly);
    if (scope.regex) {
        text += '\n';
        text += kPatternNote;
    }
    text += "\n\nIn the folder: " + VisibleText(scope.folder);
    text += "\nFiles named: " + VisibleText(scope.filter);
    if (scope.searchOnly)
        return text;
    if (scope.subfolders)
        text += "\nIncluding subfolders";
    if (scope.hidden)
        text += "\nIncluding hidden files";
    if (scope.ignoreCase)
        text += "\nIgnoring case: upper and lower case letters match each other";
    if (!scope.keepUndo)
        text += "\n\nKeep Undo Copies is off: this replacement cannot be taken back.";
    return text;
}

std::string ChooserStart(const std::string& typed,
                         const std::function<bool(const std::string&)>& isFolder) {
    std::string folder = typed;
    while (!folder.empty()) {
        if (isFolder(folder))
            return folder;
#ifdef _WIN32
        const std::size_t slash = folder.find_last_of("/\\");
#else
        const std::size_t slash = folder.find_last_of('/');
#endif
        if (slash == std::string::npos)
            break;
        folder.resize(slash == 0 ? 1 : slash);
        if (folder == "/")
            return isFolder(folder) ? folder : HomeFolder();
    }
    return HomeFolder();
}

}  // namespace pellumar
