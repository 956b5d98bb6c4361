#pragma once

#include <cstdint>
#include <string>
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
// Whether a path names its place from a root or a drive rather than from the current folder
// ("\\x", "C:\\x", and "C:x", which is relative to the drive's own current folder; a colon
// anywhere else names a stream of a file).
constexpr bool IsAbsolutePath(std::string_view path) {
    return !path.empty() && (path.front() == '\\' || path.front() == '/' ||
                             path.find(':') != std::string_view::npos);
}
// Whether a part of a path names the folder above: the system drops the dots and spaces that
// end a name, so that "..." and ".. " do as ".." does.
constexpr bool IsParentName(std::string_view part) {
    return part.find_first_not_of(". ") == std::string_view::npos && part.find("..") == 0;
}

// The system matches the filter: files and subfolders are listed apart.
constexpr bool kOneListingPerFolder = false;

// A file that is still open cannot be replaced: it is closed first.
constexpr bool kKeepsFileOpenWhileReplacing = false;

// Names a file or a folder: its volume's serial number and its index there.
struct FileId {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileId&) const = default;
};

// Tells one file that had an identity from another that has it now.
struct FileVersion {
    uint64_t size = 0;
    uint64_t modified = 0;
    bool operator==(const FileVersion&) const = default;
};

// A folder the walk is in: the current folder, which is all the system's listings need.
struct FolderState {};

// Where a rewrite puts the new content: a name in a folder.
struct RewriteTarget {
    std::string folderPath;
    std::string name;
};

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
    FileId Id() const {
        return {info.dwVolumeSerialNumber,
                (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    }
    FileVersion Version() const { return {info.FileSize(), info.ftLastWriteTime.Ticks()}; }
    FileInformation Information(std::string_view /*name*/) const { return info; }
};

}  // namespace pellumar
