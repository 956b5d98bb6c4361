// The walk's folders, entered and listed ahead of the files handed on.
#include "WalkQueue.h"

#include <algorithm>

#include "FolderListing.h"
#include "FolderReadAhead.h"
#include "SearchAhead.h"
#include "SearchRequest.h"
#include "StopState.h"

namespace pellumar {

namespace {

// How far the listing runs ahead of the files handed on, with a second thread to keep busy:
// more files than it searches ahead of the worker, so that it has work while the worker searches
// a big file, and a bounded number of folders held open, fewer where the process may open few
// files, so that such a process walks as far as it did on one thread.
constexpr size_t kFilesListedAhead = 1100;
constexpr size_t kMostFoldersListedAhead = 64;
constexpr size_t kStepsListedAhead = 4096;  // as a folder of names that cannot be read may give
// Folders are read ahead only where the process may open plenty of files: the reader holds two.
constexpr size_t kHandlesToReadAhead = 1024;

// The most folders listed ahead, each held open: few where the process may open few files, so
// that as many are left for the files searched and the output as on one thread.
size_t FoldersAhead(size_t handleLimit) {
    return handleLimit <= 32 ? 1 : std::min(kMostFoldersListedAhead, (handleLimit - 16) / 4);
}

std::string WithSeparator(const std::string& folder) {
    return (!folder.empty() && folder.back() == kSeparator) ? folder : folder + kSeparator;
}

std::string WithoutSeparator(const std::string& path) {
    return (path.size() > 1 && path.back() == kSeparator) ? path.substr(0, path.size() - 1) : path;
}

uint32_t SkipMask(bool bHidden) {
    uint32_t mask = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                    FILE_ATTRIBUTE_DEVICE;
    if (!bHidden) {
        mask |= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    }
    return mask;
}

}  // namespace

WalkFolder::WalkFolder(FileSystem& fileSystem) : fs(fileSystem) {}

WalkFolder::~WalkFolder() {
    listing.reset();  // before the folder it may list
    fs.CloseFolder(state);
}

WalkQueue::WalkQueue(FileSystem& fs, const StopState& stop, const SearchRequest& request,
                     SearchAhead* ahead, std::unordered_set<FileId, FileIdHash>& walked)
    : m_fs(fs),
      m_stop(stop),
      m_pAhead(ahead),
      m_filter(request.filter),
      m_bSubfolders(request.subfolders),
      m_bHiddenFolders(request.hiddenFolders),
      m_nSkipMask(SkipMask(request.hidden)),
      m_nFoldersAhead(FoldersAhead(fs.HandleLimit())),
      m_foldersWalked(walked) {
    // Listing, the walk does little beside reading folders (and, at most, asking each file's
    // status), and a second thread can read the next ones meanwhile; searching, the second
    // thread searches files instead.
    if (request.search.empty() && request.searchAhead && m_bSubfolders &&
        m_filter.Folder().empty() && FileSystem::kListsOnce && ahead == nullptr &&
        fs.HandleLimit() >= kHandlesToReadAhead) {
        m_pReadAhead = std::make_unique<FolderReadAhead>(fs, stop, m_bHiddenFolders);
    }
}

WalkQueue::~WalkQueue() = default;

int WalkQueue::Start(const std::string& folder) {
    Enter({nullptr, folder, folder});
    return !m_steps.empty() && m_steps.back().kind == WalkStep::Kind::Skipped ? 1 : 0;
}

bool WalkQueue::Next(WalkStep& step) {
    while (!WindowFull() && !m_stop.Stopped() && ListMore()) {
    }
    if (m_steps.empty()) {
        return false;
    }
    step = std::move(m_steps.front());
    m_steps.pop_front();
    m_nFilesQueued -= step.kind == WalkStep::Kind::File ? 1 : 0;
    m_nFoldersQueued -= step.kind == WalkStep::Kind::FolderDone ? 1 : 0;
    return true;
}

// Alone, the walk lists only as far as the next step; with a second thread, far enough ahead
// that it has files to search while the worker finishes a folder and enters the next.
bool WalkQueue::WindowFull() const {
    if (m_pAhead == nullptr) {
        return !m_steps.empty();
    }
    return m_nFilesQueued >= kFilesListedAhead || m_steps.size() >= kStepsListedAhead;
}

// One more entry of the folder being listed, or the next folder entered: false when the walk
// has nothing left to list.
bool WalkQueue::ListMore() {
    if (m_pListing) {
        FolderEntry entry;
        if (m_pListing->listing && m_pListing->listing->Next(entry)) {
            TakeEntry(entry, m_pListing->filesPrefix, m_bListsFolders);
        } else {
            EndListing();
        }
        return true;
    }
    if (m_nFoldersQueued >= m_nFoldersAhead && !m_steps.empty()) {
        return false;  // the next folder waits until one of those held open is done with
    }
    while (!m_toEnter.empty()) {
        const Entered entered = Enter(m_toEnter.back());
        if (entered == Entered::Later) {
            return false;
        }
        m_toEnter.pop_back();
        if (entered == Entered::Yes) {
            return true;
        }
    }
    while (m_nLinkedEntered < m_linkedFolders.size()) {
        const std::string& path = m_linkedFolders[m_nLinkedEntered];
        const Entered entered = Enter({nullptr, path, path});
        if (entered == Entered::Later) {
            return false;
        }
        ++m_nLinkedEntered;
        if (entered == Entered::Yes) {
            return true;
        }
    }
    return false;
}

// Each folder is entered once, whatever links lead to it again: link cycles end, and links that
// fan out cost no more than the folders they lead to. No for a folder entered before; Later when
// the process has no handle left to open it with while folders listed ahead hold some.
WalkQueue::Entered WalkQueue::Enter(const Waiting& waiting) {
    auto folder = std::make_shared<WalkFolder>(m_fs);
    FileId id;
    int error = m_fs.OpenFolder(waiting.parent ? &waiting.parent->state : nullptr, waiting.name,
                                waiting.path, folder->state, id);
    if (FileSystem::IsOutOfHandles(error) && !m_steps.empty()) {
        return Entered::Later;
    }
    if (error == 0 && !m_foldersWalked.insert(id).second) {
        return Entered::No;
    }
    if (error == 0) {
        error = m_fs.MakeCurrent(folder->state);
    }
    if (error != 0) {
        Push(WalkStep::Kind::Skipped, waiting.path, error);
        return Entered::Yes;
    }
    folder->path = waiting.path;
    folder->id = id;
    std::unique_ptr<FolderRead> read;
    if (m_pReadAhead != nullptr && waiting.parent != nullptr) {
        read = m_pReadAhead->Take(waiting.parent->id, waiting.name, id);
    }
    m_pListing = std::move(folder);
    Push(WalkStep::Kind::Entered, {});
    OpenListing(*m_pListing, std::move(read));
    return Entered::Yes;
}

// Where one listing serves both, it lists the folder's files and subfolders; else the files
// (in the filter's folder, when it names one) come from one listing and the subfolders later
// from another.
void WalkQueue::OpenListing(WalkFolder& folder, std::unique_ptr<FolderRead> read) {
    const std::string prefix = WithSeparator(folder.path);
    const bool once = FileSystem::kListsOnce && m_filter.Folder().empty();
    m_bListsFolders = once && m_bSubfolders;
    m_bSubfoldersLater = !once && m_bSubfolders;
    if (once) {
        folder.filesPrefix = prefix;
        folder.listing = std::make_unique<FolderListing>(m_fs, folder.state, &m_filter,
                                                         m_bSubfolders, std::move(read));
    } else {
        folder.filesPrefix = prefix + m_filter.Folder();
        if (m_filter.IsUsable()) {
            folder.listing = std::make_unique<FolderListing>(m_fs, folder.state, &m_filter, false);
        }
    }
    if (folder.listing && !folder.listing->IsOpen()) {
        // Most folders have no folder of the filter's name.
        const int error = folder.listing->Error();
        if (error != 0 && !(!m_filter.Folder().empty() && FileSystem::IsMissing(error))) {
            Push(WalkStep::Kind::Skipped, WithoutSeparator(folder.filesPrefix), error);
        }
        folder.listing.reset();
        m_bListsFolders = false;  // nor are its subfolders, where the same listing holds them
    }
}

// Files reached through links come after the folder's own files, and folders reached through
// links wait until the rest of the tree is walked, so that a file is told under its own name
// rather than a link's.
void WalkQueue::TakeEntry(const FolderEntry& entry, const std::string& prefix, bool bFolders) {
    if (!IsWanted(entry, bFolders)) {
        return;
    }
    const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (entry.link && entry.error == 0) {
        if (isFolder) {
            m_linkedFolders.push_back(prefix + entry.name);
        } else {
            m_linkedFiles.emplace_back(entry.name);
        }
    } else if (isFolder) {
        m_subfolders.emplace_back(entry.name);
    } else if (entry.error != 0) {
        // Another run's temporary file goes as soon as it is in place.
        if (!FileSystem::IsMissing(entry.error) || !FileSystem::IsTemporaryName(entry.name)) {
            Push(WalkStep::Kind::Skipped, prefix + entry.name, entry.error);
        }
    } else {
        Push(WalkStep::Kind::File, entry.name, 0, entry.listedPlain);
        if (m_pAhead != nullptr && !FileSystem::IsTemporaryName(entry.name)) {
            m_pAhead->Add(*m_pListing->listing, entry.name);
        }
    }
}

// The folder's listing has ended: what follows its own files, then its subfolders wait their turn.
void WalkQueue::EndListing() {
    WalkFolder& folder = *m_pListing;
    if (folder.listing && folder.listing->Error() != 0) {
        Push(WalkStep::Kind::Skipped, WithoutSeparator(folder.filesPrefix),
             folder.listing->Error());
    }
    for (std::string& name : m_linkedFiles) {
        Push(WalkStep::Kind::File, std::move(name));
    }
    m_linkedFiles.clear();
    if (m_bSubfoldersLater) {
        ListSubfolders(folder);
    }
    Push(WalkStep::Kind::FolderDone, {});
    if (m_pReadAhead != nullptr) {
        m_pReadAhead->Start(folder.state, folder.id, m_subfolders);  // below the first that has any
    }
    const std::string prefix = WithSeparator(folder.path);
    for (auto name = m_subfolders.rbegin(); name != m_subfolders.rend(); ++name) {
        m_toEnter.push_back({m_pListing, *name, prefix + *name});
    }
    m_subfolders.clear();
    m_pListing.reset();
}

void WalkQueue::ListSubfolders(WalkFolder& folder) {
    const std::string prefix = WithSeparator(folder.path);
    FolderListing listing(m_fs, folder.state, nullptr, true);
    FolderEntry entry;
    while (listing.IsOpen() && listing.Next(entry)) {
        TakeEntry(entry, prefix, true);
    }
    if (listing.Error() != 0) {
        Push(WalkStep::Kind::Skipped, WithoutSeparator(prefix), listing.Error());
    }
}

// Subfolders are entered whatever their attributes, unless hidden folders are left out; files
// only when they pass the filter and have none of the mask.
bool WalkQueue::IsWanted(const FolderEntry& entry, bool bFolders) const {
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return bFolders && (m_bHiddenFolders || (entry.attributes & FILE_ATTRIBUTE_HIDDEN) == 0);
    }
    return entry.matches && (entry.attributes & m_nSkipMask) == 0;
}

void WalkQueue::Push(WalkStep::Kind kind, std::string name, int error, bool plain) {
    WalkStep& step = m_steps.emplace_back();
    step.kind = kind;
    if (kind != WalkStep::Kind::Skipped) {
        step.folder = m_pListing;
    }
    step.name = std::move(name);
    step.listedPlain = plain;
    step.error = error;
    m_nFilesQueued += kind == WalkStep::Kind::File ? 1 : 0;
    m_nFoldersQueued += kind == WalkStep::Kind::Entered ? 1 : 0;
}

}  // namespace pellumar
