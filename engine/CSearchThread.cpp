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
      m_bHidden(bHidden),
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

int CSearchThread::EnterFolder(const std::string& strFolder) {
    FolderId id;
    if (!m_fs.EnterFolder(strFolder, id)) {
        return kCannotEnter;
    }
    if (std::find(m_folderStack.begin(), m_folderStack.end(), id) != m_folderStack.end()) {
        return kAlreadyOnPath;  // a link back up the tree
    }
    m_folderStack.push_back(id);
    return kEntered;
}

int CSearchThread::SearchFolder(const std::string& strFolder) {
    switch (EnterFolder(strFolder)) {
        case kCannotEnter:
            return 1;
        case kAlreadyOnPath:
            return 0;
        default:
            break;
    }
    m_pProgress->SetFolder(strFolder);
    const std::string prefix = WithSeparator(strFolder);
    std::vector<std::string> subfolders;
    bool stopped;
    if (FileSystem::kListsOnce && m_filter.Folder().empty()) {
        stopped = EnumerateFiles(&m_filter, prefix, m_bSubfolders ? &subfolders : nullptr);
    } else {
        stopped =
            m_filter.IsUsable() && EnumerateFiles(&m_filter, prefix + m_filter.Folder(), nullptr);
        if (!stopped && m_bSubfolders) {
            stopped = EnumerateFiles(nullptr, prefix, &subfolders);
        }
    }
    if (!stopped) {
        WalkSubfolders(prefix, subfolders);
    }
    m_folderStack.pop_back();
    return 0;
}

// Handles the files of one folder and, when asked, collects its subfolders. True when the walk
// left the folder because the search is to end.
bool CSearchThread::EnumerateFiles(const WildcardFilter* pFilter, const std::string& strPrefix,
                                   std::vector<std::string>* pSubfolders) {
    FolderListing listing(m_fs, pFilter, pSubfolders != nullptr);
    if (!listing.IsOpen()) {
        return false;
    }
    FolderEntry entry;
    while (listing.Next(entry)) {
        if (StopBeforeEntry()) {
            return true;
        }
        HandleEntry(listing, entry, strPrefix, pSubfolders);
    }
    return false;
}

// Subfolders are entered whatever their attributes; files only when they have none of the mask.
void CSearchThread::HandleEntry(const FolderListing& listing, const FolderEntry& entry,
                                const std::string& strPrefix,
                                std::vector<std::string>* pSubfolders) {
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (pSubfolders != nullptr) {
            pSubfolders->push_back(entry.name);
        }
    } else if (entry.matches && (entry.attributes & m_nSkipMask) == 0) {
        ProcessFile(&listing, entry.name, strPrefix + entry.name);
    }
}

void CSearchThread::WalkSubfolders(const std::string& strPrefix,
                                   const std::vector<std::string>& subfolders) {
    for (const std::string& name : subfolders) {
        if (StopBeforeEntry()) {
            return;
        }
        SearchFolder(strPrefix + name);
    }
}

}  // namespace pellumar
