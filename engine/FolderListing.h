#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "FileSystem.h"

namespace pellumar {

class WildcardFilter;

// A folder's entries as the system lists them, read whole ahead of the walk.
struct FolderRead {
    FileId parent;     // the folder it is in
    std::string name;  // its name there
    FileId id;         // its own
    std::unique_ptr<char[]> entries;
    std::size_t size = 0;
};

// The entries of an entered folder that the walk has a use for: the files that pass the filter
// (in the filter's folder, when it names one) and, when asked for, the subfolders. Where the
// system matches filters itself, it is given the filter as it was typed.
class FolderListing {
  public:
    // Without a filter, every subfolder of the folder and no file.
    FolderListing(FileSystem& fs, const FolderState& folder, const WildcardFilter* pFilter,
                  bool bFolders);
    // The same, from the folder's entries read already, where the system lists them in bytes.
    FolderListing(FileSystem& fs, const FolderState& folder, const WildcardFilter* pFilter,
                  bool bFolders, std::unique_ptr<FolderRead> read);
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;
    ~FolderListing();

    bool IsOpen() const;
    // The next entry of use; false at the end.
    bool Next(FolderEntry& entry);
    // Why the folder could not be listed, or its listing ended early; 0 when it could be.
    int Error() const { return m_nError; }
    // The platform's own record of the listing, for the file system layer.
    const ListingState& State() const { return m_state; }

    // The most bytes of entries read at a time, where the system hands them out in batches.
    static constexpr std::size_t kBatch = 32 << 10;
    static bool IsDots(const char* name) {
        return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
    }

  private:
    // Starts reading the folder, or the filter's folder in it, from the system.
    void Open(const FolderState& folder);
    // Fills in the entry from the current raw one; false when it is of no use.
    bool Describe(FolderEntry& entry);
    // Reads the next entries from the system, where it hands them out in batches.
    bool ReadBatch();

    Sys& m_sys;
    const WildcardFilter* m_pFilter;
    bool m_bFolders;
    int m_nError = 0;
    ListingState m_state;
    std::unique_ptr<FolderRead> m_pRead;  // the entries read already, until they are taken
    bool m_bReadAhead = false;            // every entry came from them
};

}  // namespace pellumar
