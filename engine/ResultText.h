#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "FileInformation.h"

namespace pellumar {

// The size text of a found file: "1023b", "1.0kB", "1.00MB", "5.00GB".
std::string FormatSize(uint64_t nSize);

// The last-write time in local time, as "MM/dd/yy hh:mmAM" in the "C" locale whatever the
// process's locale; empty when the time cannot be converted.
std::string FormatTimeText(const FILETIME& ftUtc);

// Splits a path at its last '/' into the name and the folder that holds it:
// "/docs/a.txt" gives "a.txt" and "/docs"; "/a.txt" gives "a.txt" and "".
std::pair<std::string_view, std::string_view> SplitPath(std::string_view path);

}  // namespace pellumar
