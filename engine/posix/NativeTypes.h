#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <string_view>

#include "FileInformation.h"

namespace pellumar {

// An open file, as the system names it.
using NativeHandle = int;
constexpr NativeHandle kNoHandle = -1;

// The separator the walk puts between a folder and a name, and every one a filter may use.
constexpr char kSeparator = '/';
constexpr std::string_view kSeparators = "/";

// One listing of a folder serves both its files and its subfolders.
constexpr bool kOneListingPerFolder = true;

// An open folder listing, and the entry it is at.
struct ListingState {
    DIR* dir = nullptr;
    const struct dirent* current = nullptr;
};

// What the file system layer keeps between calls.
struct PlatformState {
    uid_t user;  // the effective user, who lists and opens the files
};

// What the system tells of a file: enough to report it, to tell whether it changed, and to give
// its access rights to the file that replaces it.
struct FileStatus {
    struct stat st {};

    bool IsRegular() const { return S_ISREG(st.st_mode); }
    uint64_t Size() const { return static_cast<uint64_t>(st.st_size); }
    // The name decides the hidden attribute.
    FileInformation Information(std::string_view name) const;
};

}  // namespace pellumar
