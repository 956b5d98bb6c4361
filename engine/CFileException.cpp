#include "CFileException.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <initializer_list>

namespace pellumar {

const char* CFileException::GetCauseText(FileCause cause) {
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
    const auto code = static_cast<int>(cause);
    if (code < 0 || code >= static_cast<int>(kTexts.size())) {
        return "Unknown application error";
    }
    return kTexts[static_cast<size_t>(code)];
}

FileCause CauseFromErrno(int error) {
    switch (error) {
        case 0:
            return FileCause::None;
        case ENOENT:
            return FileCause::FileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return FileCause::BadPath;
        case EMFILE:
        case ENFILE:
            return FileCause::TooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return FileCause::AccessDenied;
        case EBADF:
            return FileCause::InvalidFile;
        case EBUSY:
            return FileCause::RemoveCurrentDir;
        case ESPIPE:
            return FileCause::BadSeek;
        case EIO:
            return FileCause::HardIo;
        case EAGAIN:
            return FileCause::SharingViolation;
        case EDEADLK:
            return FileCause::LockViolation;
        case ENOSPC:
#ifdef EDQUOT  // not every C library knows quotas
        case EDQUOT:
#endif
        case EFBIG:
            return FileCause::DiskFull;
        default:
            return FileCause::Generic;
    }
}

namespace {

struct Win32Class {
    FileCause cause;
    std::initializer_list<long> codes;
};

bool Contains(std::initializer_list<long> codes, long code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

}  // namespace

FileCause CauseFromWin32Error(long error) {
    static const Win32Class kClasses[] = {
        {FileCause::None, {0}},
        {FileCause::FileNotFound, {2, 6, 18, 107}},
        {FileCause::BadPath,
         {3, 15, 17, 34, 52, 53, 55, 67, 70, 85, 111, 123, 124, 125, 144, 154, 161, 206, 208, 267}},
        {FileCause::TooManyOpenFiles, {4, 36, 68, 113}},
        {FileCause::AccessDenied, {5, 12, 19, 29, 54, 58, 64, 65, 71, 80, 82, 86, 170, 183, 999}},
        {FileCause::InvalidFile, {11, 26, 60, 66, 114, 182, 191, 193}},
        {FileCause::RemoveCurrentDir, {16, 145}},
        {FileCause::DirectoryFull, {62}},
        {FileCause::BadSeek, {24, 25, 27, 30, 131, 132}},
        {FileCause::HardIo, {20, 21, 22, 23, 57, 59, 88, 117, 995, 996, 997}},
        {FileCause::SharingViolation, {32}},
        {FileCause::LockViolation, {33, 108, 167}},
        {FileCause::DiskFull, {39, 112}},
        {FileCause::EndOfFile, {38}},
    };
    for (const Win32Class& entry : kClasses) {
        if (Contains(entry.codes, error)) {
            return entry.cause;
        }
    }
    return FileCause::Generic;
}

}  // namespace pellumar
