#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "FileSystem.h"
#include "WildcardFilter.h"

namespace pellumar {

class FolderListing;
class FolderReadAhead;
struct FolderRead;
class SearchAhead;
class StopState;
struct SearchRequest;

// A folder the walk has entered: open while its files wait to be handed on, or its subfolders
// to be opened.
struct WalkFolder {
    explicit WalkFolder(FileSystem& fileSystem);
    WalkFolder(const WalkFolder&) = delete;
    WalkFolder& operator=(const WalkFolder&) = delete;
    ~WalkFolder();

    FileSystem& fs;
    FolderState state;
    FileId id;
    std::string path;                        // as it is told
    std::string filesPrefix;                 // what each file's name is put after
    std::unique_ptr<FolderListing> listing;  // of its files and, where it serves both, subfolders
};

// One thing the walk does, in the order it does them.
struct WalkStep {
    enum class Kind { Entered, File, Skipped, FolderDone };
    Kind kind = Kind::FolderDone;
    std::shared_ptr<WalkFolder> folder;  // every kind but Skipped
    std::string name;                    // File: its name in the listing; Skipped: the path
    bool listedPlain = false;            // File: the listing told a plain file
    int error = 0;                       // Skipped: why
};

// Lists the walk's folders ahead of the files it hands on, so that a second thread has the
// next files to search at a folder's end, while the walk still enters each folder once and
// tells everything in its own order: a folder's files, the files its links lead to, then each
// subfolder's tree, and the folders that links lead to once the tree itself is walked.
class WalkQueue {
  public:
    // `ahead`, when given, is handed each plain file as it is listed; `walked` holds the
    // folders entered already, or to be passed over.
    WalkQueue(FileSystem& fs, const StopState& stop, const SearchRequest& request,
              SearchAhead* ahead, std::unordered_set<FileId, FileIdHash>& walked);
    WalkQueue(const WalkQueue&) = delete;
    WalkQueue& operator=(const WalkQueue&) = delete;
    ~WalkQueue();

    // Begins with the folder: 1 when it cannot be entered (a Skipped step tells it), else 0.
    int Start(const std::string& folder);
    // The next step, false at the end. Without a stop, every folder left is listed in turn.
    bool Next(WalkStep& step);

  private:
    // A subfolder, or a folder a link leads to (no parent), waiting to be entered.
    struct Waiting {
        std::shared_ptr<WalkFolder> parent;
        std::string name;
        std::string path;
    };
    enum class Entered { Yes, No, Later };
    bool ListMore();
    Entered Enter(const Waiting& waiting);
    void OpenListing(WalkFolder& folder, std::unique_ptr<FolderRead> read);
    void TakeEntry(const FolderEntry& entry, const std::string& prefix, bool bFolders);
    void EndListing();
    void ListSubfolders(WalkFolder& folder);
    bool IsWanted(const FolderEntry& entry, bool bFolders) const;
    void Push(WalkStep::Kind kind, std::string name, int error = 0, bool plain = false);
    bool WindowFull() const;

    FileSystem& m_fs;
    const StopState& m_stop;
    SearchAhead* m_pAhead;
    WildcardFilter m_filter;
    bool m_bSubfolders;
    bool m_bHiddenFolders;
    uint32_t m_nSkipMask;    // files with any of these attributes are not processed
    size_t m_nFoldersAhead;  // the most folders listed ahead, each held open
    std::unordered_set<FileId, FileIdHash>& m_foldersWalked;  // each folder is walked once
    std::deque<WalkStep> m_steps;                             // listed, not yet taken
    size_t m_nFilesQueued = 0;                                // File steps among them
    size_t m_nFoldersQueued = 0;     // folders entered whose FolderDone step is not taken yet
    std::vector<Waiting> m_toEnter;  // the subfolders of the tree, the next one last
    std::vector<std::string> m_linkedFolders;  // waiting until the tree itself is walked
    size_t m_nLinkedEntered = 0;
    // The folder being listed, its subfolders and the files its links lead to so far.
    std::shared_ptr<WalkFolder> m_pListing;
    bool m_bListsFolders = false;     // its listing holds its subfolders too
    bool m_bSubfoldersLater = false;  // another listing holds them, after its files
    std::vector<std::string> m_subfolders;
    std::vector<std::string> m_linkedFiles;
    // Where files are only listed: the folders below the top one, read on a second thread.
    std::unique_ptr<FolderReadAhead> m_pReadAhead;
};

}  // namespace pellumar
