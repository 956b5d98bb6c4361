#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "FileChanges.h"
#include "FileSystem.h"
#include "Placement.h"
#include "UniqueFile.h"

namespace pellumar {

class FolderListing;

// Everything one file's search or rewrite needs, from the walk's name for it to what came of
// it. Replacing, it outlives the walk's entry while it waits to be placed.
struct FileJob {
    FileJob() = default;
    FileJob(FileSystem& fs, const FolderListing* where, std::string leaf, std::string full)
        : pWhere(where), name(std::move(leaf)), path(std::move(full)), file(fs) {}

    // Its names: the listing it is in (or null), its name there (its path without one).
    const FolderListing* pWhere = nullptr;
    std::string name;
    std::string path;
    // The open file, and its identity and version as it was opened.
    UniqueFile file;
    FileStatus status;
    // What its search found.
    int error = 0;       // why it could not be opened or read: it is then skipped
    bool found = false;  // it holds the text, and is to be reported
    uint64_t matches = 0;
    std::unique_ptr<FileChanges> changes;  // replacing with changes asked for: its changed lines
    // Replacing: what came of its readings, the last one's new content, and where that stands.
    int readings = 0;
    std::unique_ptr<Placement> placement;  // while the new content is written and waits
    int failure = 0;                   // it holds the text but was not changed: the first reason
    bool changedMeanwhile = false;     // another program changed it: it is to be read again
    bool withdrawn = false;            // a stop came before its new content was in place
    std::optional<FileStatus> placed;  // the new file, once it took the file's place

    // A new reading of the file: what the last one came to goes.
    void NewReading() {
        ++readings;
        found = changedMeanwhile = withdrawn = false;
        failure = 0;
        matches = 0;
        changes.reset();
        placed.reset();
    }
    // The last part of its path.
    std::string_view Leaf() const { return LeafOf(path); }
    // Byte by byte from the end: find_last_of looks each byte up in the separators by a call,
    // which cost a listing of a million files 4% of its time.
    static std::string_view LeafOf(std::string_view full) {
        for (size_t at = full.size(); at > 0; --at) {
            const char c = full[at - 1];
            if (std::any_of(kSeparators.begin(), kSeparators.end(),
                            [c](char s) { return s == c; })) {
                return full.substr(at);
            }
        }
        return full;
    }
};

}  // namespace pellumar
