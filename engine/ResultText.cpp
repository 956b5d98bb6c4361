#include "ResultText.h"

#include <charconv>
#include <cstdio>

#include "LocalTime.h"
#include "NativeTypes.h"

namespace pellumar {

// Formed in the "C" locale whatever the user's: the separator is always a point.
std::string FormatSize(uint64_t nSize) {
    const auto fixed = [](double value, int digits, const char* unit) {
        char text[64];
        const auto [end, error] =
            std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, digits);
        return std::string(text, error == std::errc() ? end : text) + unit;
    };
    if (nSize < 1024) {
        return std::to_string(nSize) + "b";
    }
    if (nSize < 1048576) {
        return fixed(static_cast<double>(nSize) / 1024.0, 1, "kB");
    }
    if (nSize < 1073741824) {
        return fixed(static_cast<double>(nSize) / 1048576.0, 2, "MB");
    }
    return fixed(static_cast<double>(nSize) / 1073741824.0, 2, "GB");
}

std::string FormatTimeText(const FILETIME& ftUtc) {
    constexpr int64_t kTicksPerSecond = 10000000;
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
    const auto seconds =
        static_cast<int64_t>(ftUtc.Ticks() / kTicksPerSecond) - kSecondsFrom1601To1970;
    return FormatLocalTime(seconds, "%x %I:%M%p");
}

std::pair<std::string_view, std::string_view> SplitPath(std::string_view path) {
    const size_t slash = path.find_last_of(kSeparators);
    if (slash == std::string_view::npos) {
        return {path, {}};
    }
    return {path.substr(slash + 1), path.substr(0, slash)};
}

}  // namespace pellumar
