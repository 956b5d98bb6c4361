#include "TextShape.h"

#include <cctype>

namespace pellumar::test {
namespace {

bool SameLetters(std::string_view text, size_t at, std::string_view lower) {
    if (text.size() - at < lower.size()) {
        return false;
    }
    for (size_t i = 0; i < lower.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != lower[i]) {
            return false;
        }
    }
    return true;
}

// The length of the temporary file name that starts at `at`, or 0.
size_t TemporaryNameAt(std::string_view text, size_t at) {
    if (!SameLetters(text, at, "pel")) {
        return 0;
    }
    size_t digits = 0;
    while (at + 3 + digits < text.size() &&
           std::isxdigit(static_cast<unsigned char>(text[at + 3 + digits]))) {
        ++digits;
    }
    if (digits == 0 || digits > 4 || !SameLetters(text, at + 3 + digits, ".tmp")) {
        return 0;
    }
    return 3 + digits + 4;
}

}  // namespace

bool IsTemporaryName(std::string_view name) {
    return !name.empty() && TemporaryNameAt(name, 0) == name.size();
}

std::string MaskTemporaryNames(std::string_view text) {
    std::string masked;
    for (size_t at = 0; at < text.size();) {
        if (const size_t length = TemporaryNameAt(text, at)) {
            masked += "pel*.tmp";
            at += length;
        } else {
            masked += text[at++];
        }
    }
    return masked;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string result;
    size_t done = 0;
    for (size_t at; !from.empty() && (at = text.find(from, done)) != std::string_view::npos;
         done = at + from.size()) {
        result.append(text.substr(done, at - done)).append(to);
    }
    return result.append(text.substr(done));
}

bool MatchesShape(std::string_view text, std::string_view shape) {
    if (text.size() != shape.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i]));
        if (shape[i] == '#' ? !digit : text[i] != shape[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace pellumar::test
