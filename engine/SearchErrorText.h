#pragma once

#include <string>

#include "CFileException.h"

namespace pellumar {

// The caption of both error prompts.
inline constexpr const char* kSearchErrorCaption = "The Ovandrizer: Search Error";

// The prompt for a failure that may be retried (Abort, Retry, Ignore).
std::string FormatSearchErrorText(const char* operation, const CFileException& error);

// The prompt for a failure that cannot be retried (OK, Cancel).
std::string FormatSearchErrorNoRetryText(const char* operation, const CFileException& error);

// What a prompt names besides the file in its first line: the file being replaced, when that is
// another one (a temporary file's failure), and the system's own words for the error. Lines
// that begin with a line feed, or "" when there is nothing more to say.
std::string SearchErrorDetails(const CFileException& error);

}  // namespace pellumar
