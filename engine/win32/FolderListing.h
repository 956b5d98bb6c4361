#pragma once

#include "FileSystem.h"

namespace pellumar {

class WildcardFilter;

// The entries of the current folder that the walk has a use for: the files that the system
// matches to the filter (which may name a folder below), or else every subfolder.
class FolderListing {
  public:
    // Without a filter, every subfolder of the current folder and no file.
    FolderListing(FileSystem& fs, const WildcardFilter* pFilter, bool bFolders);
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;
    ~FolderListing();

    bool IsOpen() const { return m_find != Sys::InvalidHandle(); }
    // The next entry of use; false at the end.
    bool Next(FolderEntry& entry);

  private:
    bool Describe(FolderEntry& entry);

    Sys& m_sys;
    bool m_bFiles;
    bool m_bFolders;
    Sys::Handle m_find;
    Sys::FindData m_data;
    bool m_bPending;  // m_data holds an entry not yet handed out
};

}  // namespace pellumar
