#pragma once

#include <cstdint>
#include <string_view>

namespace pellumar {

// A 64-bit count of 100-nanosecond intervals since 1 January 1601 UTC, in two halves.
struct FILETIME {
    uint32_t dwLowDateTime = 0;
    uint32_t dwHighDateTime = 0;

    uint64_t Ticks() const { return (uint64_t{dwHighDateTime} << 32) | dwLowDateTime; }
};

// The system's own header defines these with the same values where it is included first.
#ifndef FILE_ATTRIBUTE_HIDDEN
enum : uint32_t {
    FILE_ATTRIBUTE_READONLY = 0x1,
    FILE_ATTRIBUTE_HIDDEN = 0x2,
    FILE_ATTRIBUTE_SYSTEM = 0x4,
    FILE_ATTRIBUTE_DIRECTORY = 0x10,
    FILE_ATTRIBUTE_DEVICE = 0x40,
    FILE_ATTRIBUTE_NORMAL = 0x80,
    FILE_ATTRIBUTE_TEMPORARY = 0x100,
    FILE_ATTRIBUTE_OFFLINE = 0x1000,
};
#endif

// What is known of a file when it was opened; carried with every found-file report.
struct FileInformation {
    uint32_t dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    uint32_t dwVolumeSerialNumber = 0;
    uint32_t nFileSizeHigh = 0;
    uint32_t nFileSizeLow = 0;
    uint32_t nNumberOfLinks = 0;
    uint32_t nFileIndexHigh = 0;
    uint32_t nFileIndexLow = 0;

    uint64_t FileSize() const { return (uint64_t{nFileSizeHigh} << 32) | nFileSizeLow; }
};

// Seconds and nanoseconds since 1970 as 100-nanosecond ticks since 1601.
FILETIME FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);

}  // namespace pellumar
