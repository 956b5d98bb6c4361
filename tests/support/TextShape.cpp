#include "TextShape.h"

#include <cctype>
#include <iterator>
#include <regex>

namespace pellumar::test {
namespace {

const std::regex kTemporaryName("pel[0-9a-f]{1,4}\\.tmp", std::regex::icase);

}  // namespace

bool IsTemporaryName(std::string_view name) {
    return std::regex_match(name.begin(), name.end(), kTemporaryName);
}

std::string MaskTemporaryNames(std::string_view text) {
    std::string masked;
    std::regex_replace(std::back_inserter(masked), text.begin(), text.end(), kTemporaryName,
                       "pel*.tmp");
    return masked;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignoreCase) {
    const auto folded = [ignoreCase](std::string_view bytes) {
        std::string upper(bytes);
        for (char& c : upper) {
            c = ignoreCase && c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
        }
        return upper;
    };
    const std::string haystack = folded(text), needle = folded(from);
    std::string result;
    size_t done = 0;
    for (size_t at; !from.empty() && (at = haystack.find(needle, done)) != std::string::npos;
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
