// The file-name matcher on arbitrary patterns and names, against a plain reference that matches
// by dynamic programming over every pair of positions.
//
// Input: a byte giving the pattern's length, the pattern, then the name.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "WildcardFilter.h"

namespace {

using pellumar::WildcardFilter;

bool Same(char p, char c) {
    auto fold = [](char x) { return x >= 'a' && x <= 'z' ? static_cast<char>(x - 32) : x; };
    return p == '?' || fold(p) == fold(c);
}

bool Reference(std::string_view pattern, std::string_view name) {
    // matched[j]: the pattern read so far matches the first j characters of the name.
    std::vector<bool> matched(name.size() + 1, false);
    matched[0] = true;
    for (const char p : pattern) {
        std::vector<bool> next(name.size() + 1, false);
        for (size_t j = 0; j <= name.size(); ++j) {
            if (p == '*') {
                next[j] = matched[j] || (j > 0 && next[j - 1]);
            } else if (j > 0) {
                next[j] = matched[j - 1] && Same(p, name[j - 1]);
            }
        }
        matched.swap(next);
    }
    if (matched[name.size()]) {
        return true;
    }
    const bool anyExtension = pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*";
    return anyExtension && name.find('.') == std::string_view::npos &&
           Reference(pattern.substr(0, pattern.size() - 2), name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const size_t length = std::min<size_t>(data[0], size - 1);
    const std::string_view pattern(reinterpret_cast<const char*>(data) + 1, length);
    const std::string_view name(reinterpret_cast<const char*>(data) + 1 + length,
                                size - 1 - length);
    if (WildcardFilter::Match(pattern, name) != Reference(pattern, name)) {
        std::abort();
    }
    // The whole filter: a folder part is split off, and only what follows it is matched. One
    // that leads outside the walked folder (absolute, or going up) finds nothing.
    const WildcardFilter filter(pattern);
    const size_t slash = pattern.rfind('/');
    const std::string_view own =
        slash == std::string_view::npos ? pattern : pattern.substr(slash + 1);
    const std::string folder = "/" + std::string(pattern.substr(0, slash + 1));
    const bool outside =
        !pattern.empty() && (pattern[0] == '/' || folder.find("/../") != std::string::npos);
    const bool usable = !pattern.empty() && !own.empty() && !outside &&
                        pattern.size() <= WildcardFilter::kMaxLength;
    if (filter.IsUsable() != usable || filter.Matches(name) != (usable && Reference(own, name))) {
        std::abort();
    }
    return 0;
}
