#include "FileInformation.h"

namespace pellumar {

namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

}  // namespace

FILETIME FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
    FILETIME ft;
    const int64_t ticks = (seconds + kSecondsFrom1601To1970) * 10000000 + nanoseconds / 100;
    if (ticks > 0) {
        ft.dwHighDateTime = static_cast<uint32_t>(static_cast<uint64_t>(ticks) >> 32);
        ft.dwLowDateTime = static_cast<uint32_t>(ticks);
    }
    return ft;
}

}  // namespace pellumar
