#pragma once

#include <cstdint>
#include <string_view>

#include "FileInformation.h"
#include "Sys.h"

namespace pellumar {

// An open file, as the system names it.
using NativeHandle = void*;
constexpr NativeHandle kNoHandle = nullptr;

// The separator the walk puts between a folder and a name, and every one a filter may use.
constexpr char kSeparator = '\\';
constexpr std::string_view kSeparators = "\\/";

// The system matches the filter: files and subfolders are listed apart.
constexpr bool kOneListingPerFolder = false;

// An open folder listing, and the entry it has read but not yet handed out.
struct ListingState {
    Sys::Handle find = nullptr;
    Sys::FindData data;
    bool pending = false;
};

// What the file system layer keeps between calls.
struct PlatformState {
    uint64_t unnamedFolders = 0;  // folders entered whose identity could not be read
};

// What the system tells of an open file: its information record, as it is reported.
struct FileStatus {
    FileInformation info;

    bool IsRegular() const { return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0; }
    uint64_t Size() const { return info.FileSize(); }
    FileInformation Information(std::string_view /*name*/) const { return info; }
};

}  // namespace pellumar
