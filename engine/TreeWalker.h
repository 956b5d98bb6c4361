#pragma once

#include <string>
#include <unordered_set>

#include "FileSystem.h"

namespace pellumar {

class FolderListing;
class ISearchNotify;
class SearchAhead;
class SearchProgress;
class StopState;
struct SearchRequest;
struct WalkStep;

// Receives the files the walk finds, one at a time, in the walk's order.
class FileStep {
  public:
    // 0, or the error that kept the file from being opened or read: it is then told as skipped.
    // `where` is the listing the file is in, or null when only its path is known; `listedPlain`,
    // that the listing told a plain file.
    virtual int OnFile(const FolderListing* where, const char* name, const std::string& path,
                       bool listedPlain) = 0;
    // Where the step wants the files the walk lists searched ahead of it, or null.
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
    void Take(const WalkStep& step);

    FileSystem& m_fs;
    ISearchNotify& m_notify;
    const StopState& m_stop;
    SearchProgress& m_progress;
    const SearchRequest& m_request;
    FileStep& m_step;
    std::unordered_set<FileId, FileIdHash> m_foldersWalked;  // each folder is walked once
    std::string m_path;                                      // the path of the file in hand
};

}  // namespace pellumar
