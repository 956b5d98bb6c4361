#pragma once

#include <optional>
#include <string>

#include "CliOptions.h"
#include "StopState.h"

namespace pellumar::cli {

// Reads one line from a file descriptor, without the line break. Nothing at the end of the
// input, on an error, or when a signal interrupted the read.
std::optional<std::string> ReadLine(int fd);

// The reply that a typed answer stands for, or nothing when it is not one of the choices.
// Abort, Retry, Ignore when the step may be retried; OK, Cancel when it may not.
std::optional<ErrorReply> ParsePromptAnswer(bool bRetryable, const std::string& answer);

// The reply given without asking.
ErrorReply AutomaticReply(OnError mode);

// The name of a reply, as the prompt's button says it.
const char* ReplyName(bool bRetryable, ErrorReply reply);

// Whether a typed answer to a yes-or-no question is yes.
bool IsYes(const std::string& answer);

}  // namespace pellumar::cli
