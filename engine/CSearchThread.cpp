#include "CSearchThread.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "SearchQuery.h"

namespace pellumar {

namespace {

std::string WithSlash(const std::string& folder) {
    return (!folder.empty() && folder.back() == '/') ? folder : folder + '/';
}

bool IsDots(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
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
      m_sys(sys),
      m_uidUser(sys.Geteuid()),
      m_filter(m_strFilter),
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
    const int result = SearchFolder(AbsoluteFolder(m_strFolder, m_sys));
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
    struct stat st;
    if (m_sys.Chdir(strFolder.c_str()) != 0 || m_sys.Stat(".", &st) != 0) {
        return kCannotEnter;
    }
    const FolderId id{st.st_dev, st.st_ino};
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
    const std::string prefix = WithSlash(strFolder);
    std::vector<std::string> subfolders;
    bool stopped;
    if (m_filter.Folder().empty()) {
        stopped = EnumerateFiles(".", prefix, m_bSubfolders ? &subfolders : nullptr);
    } else {
        stopped = m_filter.IsUsable() &&
                  EnumerateFiles(m_filter.Folder(), prefix + m_filter.Folder(), nullptr);
        if (!stopped && m_bSubfolders) {
            stopped = EnumerateFiles(".", prefix, &subfolders);
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
bool CSearchThread::EnumerateFiles(const std::string& strDir, const std::string& strPrefix,
                                   std::vector<std::string>* pSubfolders) {
    const auto close = [this](DIR* dir) { m_sys.Closedir(dir); };
    const std::unique_ptr<DIR, decltype(close)> dir(m_sys.Opendir(strDir.c_str()), close);
    if (!dir) {
        return false;
    }
    while (const struct dirent* entry = m_sys.Readdir(dir.get())) {
        if (StopBeforeEntry()) {
            return true;
        }
        HandleEntry(dir.get(), *entry, strPrefix, pSubfolders);
    }
    return false;
}

void CSearchThread::HandleEntry(DIR* pDir, const struct dirent& entry, const std::string& strPrefix,
                                std::vector<std::string>* pSubfolders) {
    const char* name = entry.d_name;
    if (IsDots(name)) {
        return;
    }
    const bool wantFile = (pSubfolders == nullptr || m_filter.Folder().empty()) &&
                          m_filter.Matches(name) && (m_bHidden || name[0] != '.');
    if (!wantFile && pSubfolders == nullptr) {
        return;
    }
    unsigned char type = entry.d_type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
        struct stat st;
        if (m_sys.FstatAt(dirfd(pDir), name, &st, 0) != 0) {
            return;  // a dangling link, or gone
        }
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_DIR) {
        if (pSubfolders != nullptr) {
            pSubfolders->push_back(name);
        }
    } else if (type == DT_REG && wantFile) {
        // Anything that is not a regular file (FIFO, socket, device) is never opened.
        ProcessFile(dirfd(pDir), name, strPrefix + name);
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
