#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FileInformation.h"

namespace pellumar {

// An open file, as the system names it.
using NativeHandle = int;
constexpr NativeHandle kNoHandle = -1;

// The separator the walk puts between a folder and a name, and every one a filter may use.
constexpr char kSeparator = '/';
constexpr std::string_view kSeparators = "/";
// Whether a path names its place from the root rather than from the current folder.
constexpr bool IsAbsolutePath(std::string_view path) {
    return !path.empty() && path.front() == '/';
}
// Whether a part of a path names the folder above.
constexpr bool IsParentName(std::string_view part) {
    return part == "..";
}

// One listing of a folder serves both its files and its subfolders.
constexpr bool kOneListingPerFolder = true;

// The file being rewritten stays open, and locked, until its new content is in place.
constexpr bool kKeepsFileOpenWhileReplacing = true;

// Names a file or a folder: its device and inode.
struct FileId {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileId&) const = default;
};

// Tells one file that had an identity from another that has it now: the system gives a number
// that a deleted file had to a new one, but not its generation, nor mostly its size and times.
struct FileVersion {
    uint32_t generation = 0;  // 0 where the file system does not tell it
    int64_t size = 0;
    int64_t modified = 0;  // nanoseconds
    bool operator==(const FileVersion&) const = default;
};

// An open folder listing: the folder's descriptor, the entries read from it and the one it is at.
struct ListingState {
    int fd = -1;
    int ownedFd = -1;  // the same, when the listing opened it and closes it
    // As the system gives them, a batch at a time: never cleared first, as the system writes
    // what is read.
    std::unique_ptr<char[]> entries;
    size_t capacity = 0;
    size_t at = 0, end = 0;  // the next entry and the end of the batch in `entries`
    const struct dirent64* current = nullptr;
};

// A folder the walk is in: names of its entries are opened relative to it, so that neither a
// long path nor a folder renamed meanwhile leads anywhere else.
struct FolderState {
    int fd = -1;
    int readError = 0;  // why the folder may be entered but not read, or 0
};

// Where a rewrite puts the new content: a name in a folder, both as the system resolved them
// when the rewrite began (a link's target, for a link).
struct RewriteTarget {
    int folder = -1;         // the folder's descriptor
    int ownedFolder = -1;    // the same, when the target owns it and must close it
    std::string folderPath;  // the folder, as messages show it
    std::string name;        // the file's name in the folder
};

// What the file system layer keeps between calls.
struct PlatformState {
    uid_t user;  // the effective user, who lists and opens the files
    // syncfs(2) tells of every write on the file system that failed since the file it is given
    // was opened, as kernels from 5.8 on do; asked at the first flush.
    std::optional<bool> syncTellsFailures;
};

// What the system tells of a file: enough to report it, to tell whether it changed, and to give
// its access rights to the file that replaces it.
struct FileStatus {
    struct stat st {};
    uint32_t generation = 0;  // read only where it is needed

    bool IsRegular() const { return S_ISREG(st.st_mode); }
    uint64_t Size() const { return static_cast<uint64_t>(st.st_size); }
    FileId Id() const {
        return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    }
    FileVersion Version() const {
        return {generation, st.st_size, st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec};
    }
    // The name decides the hidden attribute.
    FileInformation Information(std::string_view name) const;
};

}  // namespace pellumar
