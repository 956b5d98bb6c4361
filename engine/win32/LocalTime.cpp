#include "LocalTime.h"

#include <ctime>

namespace pellumar {

// The C runtime starts in the "C" locale, and neither program changes it on this system.
std::string FormatLocalTime(int64_t seconds, const char* format) {
    const auto when = static_cast<time_t>(seconds);
    struct tm local;
    if (localtime_s(&local, &when) != 0) {
        return {};
    }
    char text[128];
    const size_t length = std::strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

}  // namespace pellumar
