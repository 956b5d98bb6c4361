#include "SearchQuery.h"

#include "WildcardFilter.h"

namespace pellumar {

QueryProblem CheckQuery(const std::string& strFilter, const std::string& strFolder,
                        const std::string& strSearch, bool bSearchOnly,
                        const std::function<bool(const std::string&)>& makeCurrent) {
    if (strFilter.empty()) {
        return QueryProblem::NoFilter;
    }
    if (WildcardFilter::LeavesFolder(strFilter)) {
        return QueryProblem::FilterOutside;
    }
    if (strFolder.empty()) {
        return QueryProblem::NoFolder;
    }
    if (!makeCurrent(strFolder)) {
        return QueryProblem::FolderNotFound;
    }
    if (!bSearchOnly && strSearch.empty()) {
        return QueryProblem::NothingToSearch;
    }
    return QueryProblem::None;
}

const char* QueryProblemText(QueryProblem problem) {
    switch (problem) {
        case QueryProblem::NoFilter:
            return "Please type in a filter.";
        case QueryProblem::FilterOutside:
            return "The filter may name only folders inside the folder to look in. Please type in "
                   "a filter without \"..\" and without a leading \"/\".";
        case QueryProblem::NoFolder:
            return "Please type in a folder to search in.";
        case QueryProblem::FolderNotFound:
            return "Cannot find or access the specified folder. Please type in a correct folder.";
        case QueryProblem::NothingToSearch:
            return "The \"search for\" text box is empty. Please type in text that you want to "
                   "find.";
        case QueryProblem::None:
            break;
    }
    return "";
}

const char* QueryProblemCaption(QueryProblem problem) {
    switch (problem) {
        case QueryProblem::NoFilter:
            return "No filter";
        case QueryProblem::FilterOutside:
            return "Filter outside the folder";
        case QueryProblem::NoFolder:
            return "No folder to look in";
        case QueryProblem::FolderNotFound:
            return "Folder not found";
        case QueryProblem::NothingToSearch:
            return "Nothing to search for";
        case QueryProblem::None:
            break;
    }
    return "";
}

std::string ConfirmationText(const std::string& strSearch, const std::string& strReplace,
                             bool bSearchOnly) {
    if (bSearchOnly) {
        return "Are you sure you want to search for '" + strSearch + "'?";
    }
    const std::string replacePart = strReplace.empty() ? "nothing" : "'" + strReplace + "'";
    return "Are you sure you want to replace all occurences of '" + strSearch + "' with " +
           replacePart + "?";
}

}  // namespace pellumar
