#include "FileInformation.h"

#include <sys/stat.h>

namespace pellumar {

namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

void Split(uint64_t value, uint32_t& high, uint32_t& low) {
    high = static_cast<uint32_t>(value >> 32);
    low = static_cast<uint32_t>(value);
}

}  // namespace

FILETIME FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
    FILETIME ft;
    const int64_t ticks = (seconds + kSecondsFrom1601To1970) * 10000000 + nanoseconds / 100;
    if (ticks > 0) {
        Split(static_cast<uint64_t>(ticks), ft.dwHighDateTime, ft.dwLowDateTime);
    }
    return ft;
}

FileInformation FileInformationFromStat(const struct stat& st, std::string_view name) {
    FileInformation info;
    uint32_t attributes = 0;
    if (!name.empty() && name.front() == '.') {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    if (S_ISDIR(st.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    info.dwFileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    // Linux keeps no creation time in stat: the status-change time stands in for it.
    info.ftCreationTime = FileTimeFromUnix(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    info.ftLastAccessTime = FileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    info.ftLastWriteTime = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    info.dwVolumeSerialNumber = static_cast<uint32_t>(st.st_dev);
    Split(static_cast<uint64_t>(st.st_size), info.nFileSizeHigh, info.nFileSizeLow);
    info.nNumberOfLinks = static_cast<uint32_t>(st.st_nlink);
    Split(static_cast<uint64_t>(st.st_ino), info.nFileIndexHigh, info.nFileIndexLow);
    return info;
}

}  // namespace pellumar
