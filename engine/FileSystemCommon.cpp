// What the file system layer's codes mean, on every platform.
#include "CFileException.h"
#include "FileSystem.h"

namespace pellumar {

FileCause FileSystem::Cause(int error) {
    switch (error) {
        case kChangedMeanwhile:
            return FileCause::SharingViolation;
        case kShrankMeanwhile:
            return FileCause::EndOfFile;
        case kLockedElsewhere:
            return FileCause::LockViolation;
        case kGaveUp:
            return FileCause::None;
        case kSavedOver:
            return FileCause::SharingViolation;
        default:
            return CauseOfSystemError(error);
    }
}

std::string FileSystem::ErrorText(int error) {
    switch (error) {
        case kChangedMeanwhile:
            return "changed by another program meanwhile";
        case kShrankMeanwhile:
            return "became shorter while it was read";
        case kLockedElsewhere:
            return "locked by another program";
        case kGaveUp:
            return "the search was stopped";
        case kSavedOver:
            return "another program saved over it right after";
        case kTooComplex:
            return "pattern too complex for this file";
        default:
            return SystemErrorText(error);
    }
}

// "pel", one to four hexadecimal digits and ".tmp", as the system's own temporary names are on
// every platform.
bool FileSystem::IsTemporaryName(std::string_view name) {
    const auto lower = [](char c) { return static_cast<char>(c | 0x20); };
    if (name.size() < 8 || name.size() > 11 || lower(name[0]) != 'p' || lower(name[1]) != 'e' ||
        lower(name[2]) != 'l') {
        return false;
    }
    const std::string_view digits = name.substr(3, name.size() - 7);
    const std::string_view tail = name.substr(name.size() - 4);
    return digits.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos &&
           tail[0] == '.' && lower(tail[1]) == 't' && lower(tail[2]) == 'm' &&
           lower(tail[3]) == 'p';
}

int FileSystem::OpenPlain(const FolderListing* where, const char* name, const std::string& path,
                          NativeHandle& handle, FileStatus& status) {
    if (const int error = Open(where, name, path, handle)) {
        return error;
    }
    return PlainStatus(handle, status);
}

int FileSystem::PlainStatus(NativeHandle handle, FileStatus& status) {
    if (const int error = StatusAndGeneration(handle, status)) {
        return error;
    }
    return status.IsRegular() ? 0 : kNotPlain;
}

bool FileSystem::IsAnotherRunsTemporary(const FolderListing* where, const char* name,
                                        const std::string& path) {
    NativeHandle handle = kNoHandle;
    const int opened = Open(where, name, path, handle);
    const bool theirs = IsAnotherRunsTemporary(where, name, path, opened, handle);
    if (opened == 0) {
        Close(handle);
    }
    return theirs;
}

}  // namespace pellumar
