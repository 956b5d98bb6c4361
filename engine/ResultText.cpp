#include "ResultText.h"

#include <cstdio>

#include "LocalTime.h"
#include "NativeTypes.h"

namespace pellumar {

std::string FormatSize(uint64_t nSize) {
    char text[64];
    if (nSize < 1024) {
        std::snprintf(text, sizeof text, "%llub", static_cast<unsigned long long>(nSize));
    } else if (nSize < 1048576) {
        std::snprintf(text, sizeof text, "%.1fkB", static_cast<double>(nSize) / 1024.0);
    } else if (nSize < 1073741824) {
        std::snprintf(text, sizeof text, "%.2fMB", static_cast<double>(nSize) / 1048576.0);
    } else {
        std::snprintf(text, sizeof text, "%.2fGB", static_cast<double>(nSize) / 1073741824.0);
    }
    return text;
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
