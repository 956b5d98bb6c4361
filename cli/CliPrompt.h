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

// Asks a question that changes files, when standard input is a terminal: true for yes. Without
// a terminal it refuses ("refusing to DOING without confirmation ...; add --yes to ADD"); on no,
// it says that nothing was changed.
bool ConfirmChange(const std::string& question, const char* doing, const char* add);

}  // namespace pellumar::cli
