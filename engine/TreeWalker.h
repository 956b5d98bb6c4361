#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "FileSystem.h"
#include "WildcardFilter.h"

namespace pellumar {

class FolderListing;
class ISearchNotify;
class SearchAhead;
class SearchProgress;
class StopState;
struct FolderEntry;
struct SearchRequest;

// Receives the files the walk finds, one at a time, in the walk's order.
class FileStep {
  public:
    // 0, or the error that kept the file from being opened or read: it is then told as skipped.
    // `where` is the listing the file is in, or null when only its path is known.
    virtual int OnFile(const FolderListing* where, const char* name, const std::string& path) = 0;
    // Where the step wants the next files of a folder searched ahead of it, or null.
    virtual SearchAhead* Ahead() { return nullptr; }
    // The walk is about to leave the folder whose files it handed on, however it leaves them:
    // the step's last chance to finish with them while the folder is open.
    virtual void OnFolderDone() {}

  protected:
    ~FileStep() = default;
};

// Walks a folder tree for one search: enters each folder once, lists it through the filter,
// and hands each wanted file to the file step. The stop state is read before every entry.
class TreeWalker {
  public:
    TreeWalker(FileSystem& fs, ISearchNotify& notify, const StopState& stop,
               SearchProgress& progress, const SearchRequest& request, FileStep& step);
    TreeWalker(const TreeWalker&) = delete;
    TreeWalker& operator=(const TreeWalker&) = delete;

    // 0 when the folder was walked (to its end or until a stop), 1 when it cannot be entered.
    int Walk(const std::string& strFolder);
    // The folder is never entered, as though it were walked already.
    void PassOver(const FileId& id) { m_foldersWalked.insert(id); }

  private:
    void Skip(const std::string& strPath, int nError);
    int SearchFolder(const FolderState* pParent, const std::string& name,
                     const std::string& strFolder);
    bool EnumerateFiles(const FolderState& folder, const WildcardFilter* pFilter,
                        const std::string& strPrefix, std::vector<std::string>* pSubfolders);
    bool TakeFiles(FolderListing& listing, const WildcardFilter* pFilter,
                   const std::string& strPrefix, std::vector<std::string>* pSubfolders);
    // Hands on one entry of the listing: false when the walk is to end first.
    bool TakeEntry(const FolderListing& listing, const FolderEntry& entry,
                   const std::string& strPrefix, std::vector<std::string>* pSubfolders,
                   std::vector<std::string>& linkedFiles);
    bool TakeEntriesAhead(FolderListing& listing, SearchAhead& ahead, const std::string& strPrefix,
                          std::vector<std::string>* pSubfolders,
                          std::vector<std::string>& linkedFiles);
    void HandleEntry(const FolderListing& listing, const FolderEntry& entry,
                     const std::string& strPrefix, std::vector<std::string>* pSubfolders);
    bool IsWanted(const FolderEntry& entry, bool bFolders) const;
    void WalkSubfolders(const FolderState& folder, const std::string& strPrefix,
                        const std::vector<std::string>& subfolders);
    void WalkLinkedFolders();

    FileSystem& m_fs;
    ISearchNotify& m_notify;
    const StopState& m_stop;
    SearchProgress& m_progress;
    FileStep& m_step;
    WildcardFilter m_filter;
    bool m_bSubfolders;
    bool m_bHiddenFolders;
    uint32_t m_nSkipMask;  // files with any of these attributes are not processed
    std::unordered_set<FileId, FileIdHash> m_foldersWalked;  // each folder is walked once
    std::vector<std::string> m_linkedFolders;  // waiting until the tree itself is walked
};

}  // namespace pellumar
