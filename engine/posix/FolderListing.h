#pragma once

#include <dirent.h>

#include "FileSystem.h"

namespace pellumar {

class WildcardFilter;

// The entries of a folder below the current one: the files that pass the filter (of the
// filter's folder, when it names one) and, when asked for, the subfolders.
class FolderListing {
  public:
    // Without a filter, every subfolder of the current folder and no file.
    FolderListing(FileSystem& fs, const WildcardFilter* pFilter, bool bFolders);
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;
    ~FolderListing();

    bool IsOpen() const { return m_pDir != nullptr; }
    // The next entry of use; false at the end.
    bool Next(FolderEntry& entry);
    int Fd() const { return dirfd(m_pDir); }

  private:
    bool Describe(const struct dirent& raw, FolderEntry& entry);

    Sys& m_sys;
    const WildcardFilter* m_pFilter;
    bool m_bFolders;
    DIR* m_pDir;
};

}  // namespace pellumar
