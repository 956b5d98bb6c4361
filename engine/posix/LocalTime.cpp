#include "LocalTime.h"

#include <locale.h>

#include <ctime>

namespace pellumar {

std::string FormatLocalTime(int64_t seconds, const char* format) {
    const auto when = static_cast<time_t>(seconds);
    struct tm local;
    if (localtime_r(&when, &local) == nullptr) {
        return {};
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    char text[128];
    const size_t length = strftime_l(text, sizeof text, format, &local, cLocale);
    return std::string(text, length);
}

}  // namespace pellumar
