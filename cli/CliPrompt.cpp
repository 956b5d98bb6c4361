#include "CliPrompt.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

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

std::optional<ErrorReply> ParsePromptAnswer(bool bRetryable, const std::string& answer) {
    const std::string word = Lower(answer);
    if (bRetryable) {
        if (word == "a" || word == "abort") {
            return ErrorReply::StopSearch;
        }
        if (word == "r" || word == "retry") {
            return ErrorReply::Retry;
        }
        if (word == "i" || word == "ignore") {
            return ErrorReply::SkipFile;
        }
    } else {
        if (word == "o" || word == "ok") {
            return ErrorReply::SkipFile;
        }
        if (word == "c" || word == "cancel") {
            return ErrorReply::StopSearch;
        }
    }
    return std::nullopt;
}

ErrorReply AutomaticReply(OnError mode) {
    return mode == OnError::Skip ? ErrorReply::SkipFile : ErrorReply::StopSearch;
}

const char* ReplyName(bool bRetryable, ErrorReply reply) {
    if (reply == ErrorReply::Retry) {
        return "Retry";
    }
    if (reply == ErrorReply::StopSearch) {
        return bRetryable ? "Abort" : "Cancel";
    }
    return bRetryable ? "Ignore" : "OK";
}

bool IsYes(const std::string& answer) {
    const std::string word = Lower(answer);
    return word == "y" || word == "yes";
}

bool ConfirmChange(const std::string& question, const char* doing, const char* add) {
    if (!::isatty(STDIN_FILENO)) {
        std::fprintf(stderr,
                     "pellumar: refusing to %s without confirmation: standard input is not a "
                     "terminal; add --yes to %s\n",
                     doing, add);
        return false;
    }
    std::fprintf(stderr, "%s [y/N] ", question.c_str());
    std::fflush(stderr);
    const std::optional<std::string> answer = ReadLine(STDIN_FILENO);
    if (answer && IsYes(*answer)) {
        return true;
    }
    std::fputs("pellumar: nothing was changed\n", stderr);
    return false;
}

}  // namespace pellumar::cli
