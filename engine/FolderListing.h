#pragma once

#include "FileSystem.h"

namespace pellumar {

class WildcardFilter;

// The entries of an entered folder that the walk has a use for: the files that pass the filter
// (in the filter's folder, when it names one) and, when asked for, the subfolders. Where the
// system matches filters itself, it is given the filter as it was typed.
class FolderListing {
  public:
    // Without a filter, every subfolder of the folder and no file.
    FolderListing(FileSystem& fs, const FolderState& folder, const WildcardFilter* pFilter,
                  bool bFolders);
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

  private:
    static bool IsDots(const char* name) {
        return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
    }
    // Fills in the entry from the current raw one; false when it is of no use.
    bool Describe(FolderEntry& entry);
    // Reads the next entries from the system, where it hands them out in batches.
    bool ReadBatch();

    Sys& m_sys;
    const WildcardFilter* m_pFilter;
    bool m_bFolders;
    int m_nError = 0;
    ListingState m_state;
};

}  // namespace pellumar
