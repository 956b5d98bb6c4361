#include "SearchErrorText.h"

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

}  // namespace pellumar
