#include "CFileException.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <initializer_list>

namespace pellumar {

const char* CFileException::GetCauseText(int cause) {
    static constexpr std::array<const char*, 15> kTexts = {
        "No error occured",
        "An unspecified file input/output error",
        "The file could not be located",
        "All or part of the path is invalid",
        "Too many open files. Please close an application or two and try again",
        "The file could not be accessed. It may be in use by another program or it may be "
        "write-protected",
        "There was an attempt to use an invalid file handle",
        "Attempted to remove current working directory",
        "No more directory entries can be allocated",
        "There was an error trying to set the file pointer",
        "There was a hardware input/output error",
        "Sharing violation: a shared region was locked",
        "There was an attempt to lock a region that was already locked",
        "The disk is full: not enough disk space available for the operation",
        "The end of file was reached",
    };
    if (cause < 0 || cause >= static_cast<int>(kTexts.size())) {
        return "Unknown application error";
    }
    return kTexts[static_cast<size_t>(cause)];
}

int CauseFromErrno(int error) {
    switch (error) {
        case 0:
            return CAUSE_NONE;
        case ENOENT:
            return CAUSE_FILE_NOT_FOUND;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return CAUSE_BAD_PATH;
        case EMFILE:
        case ENFILE:
            return CAUSE_TOO_MANY_OPEN_FILES;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return CAUSE_ACCESS_DENIED;
        case EBADF:
            return CAUSE_INVALID_FILE;
        case EBUSY:
            return CAUSE_REMOVE_CURRENT_DIR;
        case ESPIPE:
            return CAUSE_BAD_SEEK;
        case EIO:
            return CAUSE_HARD_IO;
        case EAGAIN:
            return CAUSE_SHARING_VIOLATION;
        case EDEADLK:
            return CAUSE_LOCK_VIOLATION;
        case ENOSPC:
#ifdef EDQUOT  // not every C library knows quotas
        case EDQUOT:
#endif
        case EFBIG:
            return CAUSE_DISK_FULL;
        default:
            return CAUSE_GENERIC;
    }
}

namespace {

struct Win32Class {
    int cause;
    std::initializer_list<long> codes;
};

bool Contains(std::initializer_list<long> codes, long code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

}  // namespace

int CauseFromWin32Error(long error) {
    static const Win32Class kClasses[] = {
        {CAUSE_NONE, {0}},
        {CAUSE_FILE_NOT_FOUND, {2, 6, 18, 107}},
        {CAUSE_BAD_PATH,
         {3, 15, 17, 34, 52, 53, 55, 67, 70, 85, 111, 123, 124, 125, 144, 154, 161, 206, 208, 267}},
        {CAUSE_TOO_MANY_OPEN_FILES, {4, 36, 68, 113}},
        {CAUSE_ACCESS_DENIED, {5, 12, 19, 29, 54, 58, 64, 65, 71, 80, 82, 86, 170, 183, 999}},
        {CAUSE_INVALID_FILE, {11, 26, 60, 66, 114, 182, 191, 193}},
        {CAUSE_REMOVE_CURRENT_DIR, {16, 145}},
        {CAUSE_DIRECTORY_FULL, {62}},
        {CAUSE_BAD_SEEK, {24, 25, 27, 30, 131, 132}},
        {CAUSE_HARD_IO, {20, 21, 22, 23, 57, 59, 88, 117, 995, 996, 997}},
        {CAUSE_SHARING_VIOLATION, {32}},
        {CAUSE_LOCK_VIOLATION, {33, 108, 167}},
        {CAUSE_DISK_FULL, {39, 112}},
        {CAUSE_END_OF_FILE, {38}},
    };
    for (const Win32Class& entry : kClasses) {
        if (Contains(entry.codes, error)) {
            return entry.cause;
        }
    }
    return CAUSE_GENERIC;
}

}  // namespace pellumar
