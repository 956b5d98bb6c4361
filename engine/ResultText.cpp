#include "ResultText.h"

#include <locale.h>

#include <cstdio>
#include <ctime>

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
    const auto when = static_cast<time_t>(seconds);
    struct tm local;
    if (localtime_r(&when, &local) == nullptr) {
        return {};
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    char text[128];
    const size_t length = strftime_l(text, sizeof text, "%x %I:%M%p", &local, cLocale);
    return std::string(text, length);
}

std::pair<std::string_view, std::string_view> SplitPath(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {path, {}};
    }
    return {path.substr(slash + 1), path.substr(0, slash)};
}

}  // namespace pellumar
