#include "NativeTypes.h"

namespace pellumar {

namespace {

void Split(uint64_t value, uint32_t& high, uint32_t& low) {
    high = static_cast<uint32_t>(value >> 32);
    low = static_cast<uint32_t>(value);
}

}  // namespace

FileInformation FileStatus::Information(std::string_view name) const {
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
