#pragma once

#include <cstddef>
#include <string>

namespace pellumar::test {

// The reference the scan is compared with: the text with its leftmost non-overlapping matches of
// `pattern`, found left to right, each replaced by `replace`. ASCII letters match in either case
// when told so, and no other byte does. Counts the matches into `count`.
inline std::string ReferenceReplace(const std::string& text, const std::string& pattern,
                                    bool ignoreCase, const std::string& replace,
                                    std::size_t* count = nullptr) {
    const auto folded = [ignoreCase](std::string bytes) {
        for (char& c : bytes) {
            if (ignoreCase && c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - ('a' - 'A'));
            }
        }
        return bytes;
    };
    const std::string haystack = folded(text), needle = folded(pattern);
    std::string out;
    std::size_t kept = 0;
    for (std::size_t at; (at = haystack.find(needle, kept)) != std::string::npos;
         kept = at + needle.size()) {
        out.append(text, kept, at - kept).append(replace);
        if (count != nullptr) {
            ++*count;
        }
    }
    return out.append(text, kept);
}

}  // namespace pellumar::test
