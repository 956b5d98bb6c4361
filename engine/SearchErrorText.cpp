#include "SearchErrorText.h"

#include "FileSystem.h"

namespace pellumar {

namespace {

std::string Head(const char* operation, const CFileException& error) {
    return std::string("Cannot ") + operation + " (" + error.m_strFileName +
           "): " + CFileException::GetCauseText(error.m_cause) + ".";
}

}  // namespace

std::string FormatSearchErrorText(const char* operation, const CFileException& error) {
    return Head(operation, error) +
           " Abort the search, Ignore this file and continue on to the next one, or Retry the "
           "operation?";
}

std::string FormatSearchErrorNoRetryText(const char* operation, const CFileException& error) {
    return Head(operation, error) + " OK to skip this file and continue this search or Cancelit?";
}

std::string SearchErrorDetails(const CFileException& error) {
    std::string details;
    if (!error.m_strReplacing.empty() && error.m_strReplacing != error.m_strFileName)
        details += "\nFile being replaced: " + error.m_strReplacing;
    if (error.m_lOsError > 0)
        details +=
            "\nThe system said: " + FileSystem::ErrorText(static_cast<int>(error.m_lOsError));
    return details;
}

}  // namespace pellumar
