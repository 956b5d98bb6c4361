#include "CliPrompt.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "StopState.h"

namespace pellumar::cli {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
    text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
    return text;
}

}  // namespace

std::optional<std::string> ReadLine(int fd) {
    std::string line;
    char c;
    for (;;) {
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR) {
            return std::nullopt;  // a signal: the caller decides
        }
        if (got <= 0) {
            return line.empty() ? std::nullopt : std::optional<std::string>(line);
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
}

std::optional<int> ParsePromptAnswer(bool bRetryable, const std::string& answer) {
    const std::string word = Lower(answer);
    if (bRetryable) {
        if (word == "a" || word == "abort") {
            return STOP_SEARCH;
        }
        if (word == "r" || word == "retry") {
            return STOP_NONE;
        }
        if (word == "i" || word == "ignore") {
            return STOP_FILE;
        }
    } else {
        if (word == "o" || word == "ok") {
            return STOP_FILE;
        }
        if (word == "c" || word == "cancel") {
            return STOP_SEARCH;
        }
    }
    return std::nullopt;
}

int AutomaticReply(OnError mode) {
    return mode == OnError::Skip ? STOP_FILE : STOP_SEARCH;
}

const char* ReplyName(bool bRetryable, int reply) {
    if (reply == STOP_NONE) {
        return "Retry";
    }
    if (reply == STOP_SEARCH) {
        return bRetryable ? "Abort" : "Cancel";
    }
    return bRetryable ? "Ignore" : "OK";
}

bool IsYes(const std::string& answer) {
    const std::string word = Lower(answer);
    return word == "y" || word == "yes";
}

}  // namespace pellumar::cli
