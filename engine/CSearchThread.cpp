#include "CSearchThread.h"

#include <algorithm>
#include <cstring>

#include "FolderListing.h"
#include "SearchQuery.h"

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

CSearchThread::CSearchThread(ISearchNotify* pNotify, std::string strFolder, std::string strFilter,
                             std::string strSearch, std::string strReplace, bool bSubfolders,
                             bool bSearchOnly, bool bHidden, bool bIgnoreCase, Sys& sys)
    : m_nStop(std::make_shared<std::atomic<int>>(STOP_NONE)),
      m_pNotify(pNotify),
      m_strFolder(std::move(strFolder)),
      m_strFilter(std::move(strFilter)),
      m_strSearch(std::move(strSearch)),
      m_strReplace(std::move(strReplace)),
      m_bSubfolders(bSubfolders),
      m_bSearchOnly(bSearchOnly),
      m_bListOnly(m_strSearch.empty()),
      m_bIgnoreCase(bIgnoreCase),
      m_fs(sys),
      m_filter(m_strFilter),
      m_nSkipMask(SkipMask(bHidden)),
      m_pProgress(std::make_shared<SearchProgress>()) {
    m_nShift.fill(0);  // entry 0 at 0: the table is not built yet
    if (m_bIgnoreCase) {
        for (char& c : m_strSearch) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - ('a' - 'A'));
            }
        }
    }
    m_finder = LiteralFinder(m_strSearch, m_bIgnoreCase);
}

CSearchThread::~CSearchThread() = default;

int CSearchThread::ThreadProc(std::unique_ptr<CSearchThread> pWorker) {
    const int result = pWorker->Run();
    pWorker.reset();
    return result;
}

std::thread CSearchThread::Start(std::unique_ptr<CSearchThread> pWorker) {
    return std::thread([p = std::move(pWorker)]() mutable { ThreadProc(std::move(p)); });
}

int CSearchThread::Run() {
    const int result = SearchFolder(AbsoluteFolder(m_strFolder, m_fs.GetSys()));
    m_pNotify->OnSearchFinished(result);
    return result;
}

void CSearchThread::RequestStop() {
    GetStopHandle().RequestStop();
}

void CSearchThread::BuildShiftTable() {
    const auto m = static_cast<int32_t>(m_strSearch.size());
    if (m == 0) {
        return;
    }
    m_nShift.fill(m);
    for (int32_t j = 0; j + 1 < m; ++j) {
        m_nShift[static_cast<unsigned char>(m_strSearch[j])] = m - 1 - j;
    }
    int32_t& last = m_nShift[static_cast<unsigned char>(m_strSearch[m - 1])];
    last = -last;
}

bool CSearchThread::StopBeforeEntry() {
    int current = CurrentStop();
    if (current == STOP_SEARCH) {
        return true;
    }
    if (current != STOP_NONE) {
        // Ends a skip of the previous file; fails harmlessly when a stop came in between.
        m_nStop->compare_exchange_strong(current, STOP_NONE, std::memory_order_relaxed);
    }
    return false;
}

void CSearchThread::StoreReply(int nReply) {
    if (nReply != STOP_NONE && nReply != STOP_SEARCH) {
        nReply = STOP_FILE;
    }
    int current = CurrentStop();
    while (current != STOP_SEARCH &&
           !m_nStop->compare_exchange_weak(current, nReply, std::memory_order_relaxed)) {
    }
}

void CSearchThread::Skip(const std::string& strPath, int nError) {
    m_pNotify->OnSearchSkipped(strPath, SkipKind::Unread, nError);
}

int CSearchThread::SearchFolder(const std::string& strFolder) {
    const int result = SearchFolder(nullptr, strFolder, strFolder);
    WalkLinkedFolders();
    return result;
}

// Each folder is walked once, whatever links lead to it again: link cycles end, and links that
// fan out cost no more than the folders they lead to.
int CSearchThread::SearchFolder(const FolderState* pParent, const std::string& name,
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
    m_pProgress->SetFolder(strFolder);
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
bool CSearchThread::EnumerateFiles(const FolderState& folder, const WildcardFilter* pFilter,
                                   const std::string& strPrefix,
                                   std::vector<std::string>* pSubfolders) {
    FolderListing listing(m_fs, folder, pFilter, pSubfolders != nullptr);
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
    FolderEntry entry;
    while (listing.Next(entry)) {
        if (StopBeforeEntry()) {
            return true;
        }
        if (!entry.link || entry.error != 0) {
            HandleEntry(listing, entry, strPrefix, pSubfolders);
        } else if (IsWanted(entry, pSubfolders != nullptr)) {
            const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            (isFolder ? m_linkedFolders : linkedFiles).push_back(strPrefix + entry.name);
        }
    }
    if (listing.Error() != 0) {
        Skip(WithoutSeparator(strPrefix), listing.Error());
    }
    for (const std::string& path : linkedFiles) {
        if (StopBeforeEntry()) {
            return true;
        }
        if (const int error = ProcessFile(&listing, path.c_str() + strPrefix.size(), path)) {
            Skip(path, error);
        }
    }
    return false;
}

// Subfolders are entered whatever their attributes, unless hidden folders are left out; files
// only when they pass the filter and have none of the mask.
bool CSearchThread::IsWanted(const FolderEntry& entry, bool bFolders) const {
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return bFolders &&
               !(m_bSkipHiddenFolders && (entry.attributes & FILE_ATTRIBUTE_HIDDEN) != 0);
    }
    return entry.matches && (entry.attributes & m_nSkipMask) == 0;
}

void CSearchThread::HandleEntry(const FolderListing& listing, const FolderEntry& entry,
                                const std::string& strPrefix,
                                std::vector<std::string>* pSubfolders) {
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
    } else if (const int error = ProcessFile(&listing, entry.name, path)) {
        Skip(path, error);
    }
}

// The folders that links lead to, once the tree itself has been walked: a folder that is in the
// tree is then walked under its own name, and not again through the link.
void CSearchThread::WalkLinkedFolders() {
    for (size_t i = 0; i < m_linkedFolders.size(); ++i) {  // a folder walked here may add more
        if (StopBeforeEntry()) {
            break;
        }
        const std::string path = m_linkedFolders[i];
        SearchFolder(nullptr, path, path);
    }
    m_linkedFolders.clear();
}

void CSearchThread::WalkSubfolders(const FolderState& folder, const std::string& strPrefix,
                                   const std::vector<std::string>& subfolders) {
    for (const std::string& name : subfolders) {
        if (StopBeforeEntry()) {
            return;
        }
        SearchFolder(&folder, name, strPrefix + name);
    }
}

}  // namespace pellumar
