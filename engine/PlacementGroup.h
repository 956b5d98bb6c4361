#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "Rewriter.h"
#include "UniqueFile.h"

namespace pellumar {

class FolderListing;

// A file of the folder in hand whose new content is written out and waits to take its place.
// It owns everything its rewrite refers to, so that it outlives the walk's entry.
struct WaitingFile {
    WaitingFile(FileSystem& fs, const FolderListing* where, const char* leaf, std::string full,
                const FileStatus& read)
        : pWhere(where), name(leaf), path(std::move(full)), status(read), file(fs) {}

    RewriteSource Source() const { return {pWhere, name.c_str(), path, file.Get(), status}; }

    const FolderListing* pWhere;
    std::string name;
    std::string path;
    FileStatus status;  // the file as it was read
    UniqueFile file;
    std::unique_ptr<Rewriter> rewriter;
    bool found = false;
};

// The files of one folder that wait to be placed, in the order of the walk. One flush of their
// file system takes all their new files to the disk; each file's own flush, which still comes
// before its rename, then finds nothing left to write. Placing is the worker's.
class PlacementGroup {
  public:
    // `most` files: enough that one flush costs little for each, few enough to keep few open.
    explicit PlacementGroup(size_t most) : m_nMost(most) {}

    bool Empty() const { return m_files.empty(); }
    bool Full() const { return m_files.size() >= m_nMost; }
    void Add(std::unique_ptr<WaitingFile> file) { m_files.push_back(std::move(file)); }
    // Whether a file of the group is the file `id` names: another name of it waits.
    bool Holds(const FileId& id) const;
    // The waiting files, in order; the group is then empty.
    std::vector<std::unique_ptr<WaitingFile>> Take() { return std::move(m_files); }

  private:
    size_t m_nMost;
    std::vector<std::unique_ptr<WaitingFile>> m_files;
};

}  // namespace pellumar
