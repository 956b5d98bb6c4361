#include "Sys.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

namespace pellumar {

namespace {

pellumar::FILETIME Time(const ::FILETIME& time) {
    pellumar::FILETIME ft;
    ft.dwLowDateTime = time.dwLowDateTime;
    ft.dwHighDateTime = time.dwHighDateTime;
    return ft;
}

// The fields that the system's records of a file share with the information record.
template <class Record>
void CopyCommon(const Record& raw, FileInformation* info) {
    info->dwFileAttributes = raw.dwFileAttributes;
    info->ftCreationTime = Time(raw.ftCreationTime);
    info->ftLastAccessTime = Time(raw.ftLastAccessTime);
    info->ftLastWriteTime = Time(raw.ftLastWriteTime);
    info->nFileSizeHigh = raw.nFileSizeHigh;
    info->nFileSizeLow = raw.nFileSizeLow;
}

void Copy(const WIN32_FIND_DATAA& from, Sys::FindData* to) {
    to->attributes = from.dwFileAttributes;
    std::memcpy(to->name, from.cFileName, sizeof to->name);
}

}  // namespace

Sys::Handle Sys::InvalidHandle() {
    return INVALID_HANDLE_VALUE;
}

Sys::Handle Sys::CreateFileA(const char* path, uint32_t access, uint32_t share,
                             uint32_t disposition, uint32_t flags) {
    return ::CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
}

bool Sys::GetFileInformationByHandle(Handle file, FileInformation* info) {
    BY_HANDLE_FILE_INFORMATION raw;
    if (!::GetFileInformationByHandle(file, &raw)) {
        return false;
    }
    CopyCommon(raw, info);
    info->dwVolumeSerialNumber = raw.dwVolumeSerialNumber;
    info->nNumberOfLinks = raw.nNumberOfLinks;
    info->nFileIndexHigh = raw.nFileIndexHigh;
    info->nFileIndexLow = raw.nFileIndexLow;
    return true;
}

bool Sys::GetFileAttributesExA(const char* path, FileInformation* info) {
    WIN32_FILE_ATTRIBUTE_DATA raw;
    if (!::GetFileAttributesExA(path, GetFileExInfoStandard, &raw)) {
        return false;
    }
    *info = FileInformation();
    CopyCommon(raw, info);
    return true;
}

bool Sys::ReadFile(Handle file, void* buffer, uint32_t size, uint64_t offset, uint32_t* read) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const bool ok = ::ReadFile(file, buffer, size, &got, &at) != 0;
    *read = got;
    return ok;
}

bool Sys::WriteFile(Handle file, const void* data, uint32_t size, uint32_t* written) {
    DWORD done = 0;
    const bool ok = ::WriteFile(file, data, size, &done, nullptr) != 0;
    *written = done;
    return ok;
}

bool Sys::FlushFileBuffers(Handle file) {
    return ::FlushFileBuffers(file) != 0;
}

bool Sys::CloseHandle(Handle handle) {
    return ::CloseHandle(handle) != 0;
}

Sys::Handle Sys::CreateFileMappingA(Handle file) {
    return ::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
}

const void* Sys::MapViewOfFile(Handle mapping) {
    return ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
}

bool Sys::UnmapViewOfFile(const void* view) {
    return ::UnmapViewOfFile(view) != 0;
}

unsigned Sys::GetTempFileNameA(const char* folder, const char* prefix, char* name) {
    return ::GetTempFileNameA(folder, prefix, 0, name);
}

bool Sys::ReplaceFileA(const char* replaced, const char* replacement) {
    return ::ReplaceFileA(replaced, replacement, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                          nullptr) != 0;
}

bool Sys::MoveFileExA(const char* from, const char* to, uint32_t flags) {
    return ::MoveFileExA(from, to, flags) != 0;
}

bool Sys::DeleteFileA(const char* path) {
    return ::DeleteFileA(path) != 0;
}

bool Sys::SetCurrentDirectoryA(const char* path) {
    return ::SetCurrentDirectoryA(path) != 0;
}

uint32_t Sys::GetFullPathNameA(const char* path, uint32_t size, char* buffer) {
    return ::GetFullPathNameA(path, size, buffer, nullptr);
}

Sys::Handle Sys::FindFirstFileA(const char* pattern, FindData* data) {
    WIN32_FIND_DATAA raw;
    const HANDLE find = ::FindFirstFileA(pattern, &raw);
    if (find != INVALID_HANDLE_VALUE) {
        Copy(raw, data);
    }
    return find;
}

bool Sys::FindNextFileA(Handle find, FindData* data) {
    WIN32_FIND_DATAA raw;
    if (!::FindNextFileA(find, &raw)) {
        return false;
    }
    Copy(raw, data);
    return true;
}

bool Sys::FindClose(Handle find) {
    return ::FindClose(find) != 0;
}

uint32_t Sys::LastError() {
    return ::GetLastError();
}

void Sys::SetLastError(uint32_t error) {
    ::SetLastError(error);
}

Sys& DefaultSys() {
    static Sys sys;
    return sys;
}

}  // namespace pellumar
