#pragma once

#include <cstdint>
#include <string>

namespace pellumar {

// A moment (seconds since 1970, UTC) as local time, formatted by strftime's rules in the "C"
// locale whatever the process's locale; empty when it cannot be converted.
std::string FormatLocalTime(int64_t seconds, const char* format);

}  // namespace pellumar
