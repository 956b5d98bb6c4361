#include "WildcardFilter.h"

#include "AsciiCase.h"
#include "NativeTypes.h"

namespace pellumar {

namespace {

// A folder part without "." parts and repeated separators, ending in one separator; empty when
// nothing is left of it.
std::string PlainFolder(std::string_view folder) {
    std::string plain;
    for (size_t start = 0; start < folder.size();) {
        const size_t end = folder.find_first_of(kSeparators, start);
        const std::string_view part = folder.substr(start, end - start);
        if (!part.empty() && part != ".") {
            plain.append(part);
            plain += kSeparator;
        }
        start = end + 1;
    }
    return plain;
}

}  // namespace

WildcardFilter::WildcardFilter(std::string_view filter) : m_strText(filter) {
    m_bUsable = !filter.empty() && filter.size() <= kMaxLength;
    const size_t slash = filter.find_last_of(kSeparators);
    if (slash == std::string_view::npos) {
        m_strPattern = filter;
    } else {
        m_strFolder = PlainFolder(filter.substr(0, slash + 1));
        m_strPattern = filter.substr(slash + 1);
    }
    if (m_strPattern.empty() || LeavesFolder(filter)) {
        m_bUsable = false;
    }
}

bool WildcardFilter::LeavesFolder(std::string_view filter) {
    if (IsAbsolutePath(filter)) {
        return true;
    }
    const size_t slash = filter.find_last_of(kSeparators);
    if (slash == std::string_view::npos) {
        return false;
    }
    const std::string_view folder = filter.substr(0, slash + 1);
    for (size_t start = 0; start < folder.size();) {
        const size_t end = folder.find_first_of(kSeparators, start);
        if (IsParentName(folder.substr(start, end - start))) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool WildcardFilter::Matches(std::string_view name) const {
    return m_bUsable && Match(m_strPattern, name);
}

bool WildcardFilter::Match(std::string_view pattern, std::string_view name) {
    // Greedy matching with one backtrack point: the last '*' seen.
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || AsciiUpper(static_cast<unsigned char>(pattern[p])) ==
                                             AsciiUpper(static_cast<unsigned char>(name[n])))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            break;
        }
    }
    if (n == name.size()) {
        while (p < pattern.size() && pattern[p] == '*') {
            ++p;
        }
        if (p == pattern.size()) {
            return true;
        }
    }
    // "x.*" stands for "x" with any extension, none included.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos) {
        return Match(pattern.substr(0, pattern.size() - 2), name);
    }
    return false;
}

}  // namespace pellumar
