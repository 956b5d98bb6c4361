// The walk of one search's folder tree.
#include "TreeWalker.h"

#include "FolderListing.h"
#include "ISearchNotify.h"
#include "SearchAhead.h"
#include "SearchProgress.h"
#include "SearchRequest.h"
#include "StopState.h"

namespace pellumar {

namespace {
std::string WithSeparator(const std::string& folder) {
    return (!folder.empty() && folder.back() == kSeparator) ? folder : folder + kSeparator;
}

std::string WithoutSeparator(const std::string& path) {
    return (path.size() > 1 && path.back() == kSeparator) ? path.substr(0, path.size() - 1) : path;
}

// Owns a folder the walk has opened.
struct OpenedFolder {
    explicit OpenedFolder(FileSystem& fileSystem) : fs(fileSystem) {}
    OpenedFolder(const OpenedFolder&) = delete;
    OpenedFolder& operator=(const OpenedFolder&) = delete;
    ~OpenedFolder() { fs.CloseFolder(state); }

    FileSystem& fs;
    FolderState state;
};

uint32_t SkipMask(bool bHidden) {
    uint32_t mask = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                    FILE_ATTRIBUTE_DEVICE;
    if (!bHidden) {
        mask |= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    }
    return mask;
}

}  // namespace

TreeWalker::TreeWalker(FileSystem& fs, ISearchNotify& notify, const StopState& stop,
                       SearchProgress& progress, const SearchRequest& request, FileStep& step)
    : m_fs(fs),
      m_notify(notify),
      m_stop(stop),
      m_progress(progress),
      m_step(step),
      m_filter(request.filter),
      m_bSubfolders(request.subfolders),
      m_bHiddenFolders(request.hiddenFolders),
      m_nSkipMask(SkipMask(request.hidden)) {}

void TreeWalker::Skip(const std::string& strPath, int nError) {
    m_notify.OnSearchSkipped(strPath, SkipKind::Unread, nError);
}

int TreeWalker::Walk(const std::string& strFolder) {
    const int result = SearchFolder(nullptr, strFolder, strFolder);
    WalkLinkedFolders();
    return result;
}

// Each folder is walked once, whatever links lead to it again: link cycles end, and links that
// fan out cost no more than the folders they lead to.
int TreeWalker::SearchFolder(const FolderState* pParent, const std::string& name,
                             const std::string& strFolder) {
    OpenedFolder folder(m_fs);
    FileId id;
    int error = m_fs.OpenFolder(pParent, name, strFolder, folder.state, id);
    if (error == 0 && !m_foldersWalked.insert(id).second) {
        return 0;
    }
    if (error == 0) {
        error = m_fs.MakeCurrent(folder.state);
    }
    if (error != 0) {
        Skip(strFolder, error);
        return 1;
    }
    m_progress.SetFolder(strFolder);
    const std::string prefix = WithSeparator(strFolder);
    std::vector<std::string> subfolders;
    bool stopped;
    if (FileSystem::kListsOnce && m_filter.Folder().empty()) {
        stopped =
            EnumerateFiles(folder.state, &m_filter, prefix, m_bSubfolders ? &subfolders : nullptr);
    } else {
        stopped = m_filter.IsUsable() &&
                  EnumerateFiles(folder.state, &m_filter, prefix + m_filter.Folder(), nullptr);
        if (!stopped && m_bSubfolders) {
            stopped = EnumerateFiles(folder.state, nullptr, prefix, &subfolders);
        }
    }
    if (!stopped) {
        WalkSubfolders(folder.state, prefix, subfolders);
    }
    return 0;
}

// Handles the files of one folder and, when asked, collects its subfolders. Files reached
// through links come after the folder's own files, and folders reached through links wait until
// the rest of the tree is walked, so that a file is reported under its own name rather than a
// link's. True when the walk left the folder because the search is to end.
bool TreeWalker::EnumerateFiles(const FolderState& folder, const WildcardFilter* pFilter,
                                const std::string& strPrefix,
                                std::vector<std::string>* pSubfolders) {
    FolderListing listing(m_fs, folder, pFilter, pSubfolders != nullptr);
    const bool stopped = TakeFiles(listing, pFilter, strPrefix, pSubfolders);
    m_step.OnFolderDone();  // while the listing the step's files refer to is open
    return stopped;
}

bool TreeWalker::TakeFiles(FolderListing& listing, const WildcardFilter* pFilter,
                           const std::string& strPrefix, std::vector<std::string>* pSubfolders) {
    if (!listing.IsOpen()) {
        // Most folders have no folder of the filter's name.
        const bool noFilterFolder = pFilter != nullptr && !pFilter->Folder().empty() &&
                                    FileSystem::IsMissing(listing.Error());
        if (listing.Error() != 0 && !noFilterFolder) {
            Skip(WithoutSeparator(strPrefix), listing.Error());
        }
        return false;
    }
    std::vector<std::string> linkedFiles;
    if (SearchAhead* ahead = m_step.Ahead()) {
        if (!TakeEntriesAhead(listing, *ahead, strPrefix, pSubfolders, linkedFiles)) {
            return true;
        }
    } else {
        FolderEntry entry;
        while (listing.Next(entry)) {
            if (!TakeEntry(listing, entry, strPrefix, pSubfolders, linkedFiles)) {
                return true;
            }
        }
    }
    if (listing.Error() != 0) {
        Skip(WithoutSeparator(strPrefix), listing.Error());
    }
    for (const std::string& path : linkedFiles) {
        if (m_stop.Stopped()) {
            return true;
        }
        if (const int error = m_step.OnFile(&listing, path.c_str() + strPrefix.size(), path)) {
            Skip(path, error);
        }
    }
    return false;
}

bool TreeWalker::TakeEntry(const FolderListing& listing, const FolderEntry& entry,
                           const std::string& strPrefix, std::vector<std::string>* pSubfolders,
                           std::vector<std::string>& linkedFiles) {
    if (m_stop.Stopped()) {
        return false;
    }
    if (!entry.link || entry.error != 0) {
        HandleEntry(listing, entry, strPrefix, pSubfolders);
    } else if (IsWanted(entry, pSubfolders != nullptr)) {
        const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        (isFolder ? m_linkedFolders : linkedFiles).push_back(strPrefix + entry.name);
    }
    return true;
}

// The entries are taken a run at a time: the plain files of the run are searched ahead, two at
// a time, while each entry is handed on in order, as one at a time would be.
bool TreeWalker::TakeEntriesAhead(FolderListing& listing, SearchAhead& ahead,
                                  const std::string& strPrefix,
                                  std::vector<std::string>* pSubfolders,
                                  std::vector<std::string>& linkedFiles) {
    constexpr size_t kRun = 256;
    std::vector<std::pair<std::string, FolderEntry>> run;
    for (bool more = true; more;) {
        run.clear();
        FolderEntry entry;
        while (run.size() < kRun && (more = listing.Next(entry))) {
            run.emplace_back(entry.name, entry);
        }
        std::vector<std::string> plain;
        for (const auto& [name, held] : run) {
            const bool file =
                (held.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
            if (file && !held.link && held.error == 0 && IsWanted(held, pSubfolders != nullptr) &&
                !FileSystem::IsTemporaryName(name)) {
                plain.push_back(name);
            }
        }
        ahead.Begin(listing, std::move(plain));
        for (auto& [name, held] : run) {
            held.name = name.c_str();
            if (!TakeEntry(listing, held, strPrefix, pSubfolders, linkedFiles)) {
                ahead.End();
                return false;
            }
        }
        ahead.End();
    }
    return true;
}

// Subfolders are entered whatever their attributes, unless hidden folders are left out; files
// only when they pass the filter and have none of the mask.
bool TreeWalker::IsWanted(const FolderEntry& entry, bool bFolders) const {
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return bFolders && (m_bHiddenFolders || (entry.attributes & FILE_ATTRIBUTE_HIDDEN) == 0);
    }
    return entry.matches && (entry.attributes & m_nSkipMask) == 0;
}

void TreeWalker::HandleEntry(const FolderListing& listing, const FolderEntry& entry,
                             const std::string& strPrefix, std::vector<std::string>* pSubfolders) {
    if (!IsWanted(entry, pSubfolders != nullptr)) {
        return;
    }
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        pSubfolders->push_back(entry.name);
        return;
    }
    const std::string path = strPrefix + entry.name;
    if (entry.error != 0) {
        // Another run's temporary file goes as soon as it is in place.
        if (!FileSystem::IsMissing(entry.error) || !FileSystem::IsTemporaryName(entry.name)) {
            Skip(path, entry.error);
        }
    } else if (const int error = m_step.OnFile(&listing, entry.name, path)) {
        Skip(path, error);
    }
}

// The folders that links lead to, once the tree itself has been walked: a folder that is in the
// tree is then walked under its own name, and not again through the link.
void TreeWalker::WalkLinkedFolders() {
    for (size_t i = 0; i < m_linkedFolders.size(); ++i) {  // a folder walked here may add more
        if (m_stop.Stopped()) {
            break;
        }
        const std::string path = m_linkedFolders[i];
        SearchFolder(nullptr, path, path);
    }
    m_linkedFolders.clear();
}

void TreeWalker::WalkSubfolders(const FolderState& folder, const std::string& strPrefix,
                                const std::vector<std::string>& subfolders) {
    for (const std::string& name : subfolders) {
        if (m_stop.Stopped()) {
            return;
        }
        SearchFolder(&folder, name, strPrefix + name);
    }
}

}  // namespace pellumar
