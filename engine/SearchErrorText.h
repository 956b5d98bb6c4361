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

}  // namespace pellumar
