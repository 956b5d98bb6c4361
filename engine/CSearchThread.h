#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "FileSystem.h"
#include "ISearchNotify.h"
#include "LiteralFinder.h"
#include "SearchProgress.h"
#include "SearchStopHandle.h"
#include "StopState.h"
#include "WildcardFilter.h"

namespace pellumar {

class TempFile;
class UniqueFile;
class FolderListing;
struct FolderEntry;

// One search request and the worker that runs it on a thread of its own: it walks the folder
// tree, scans (and, when replacing, rewrites) each file that passes the filter, and reports to
// the notification sink.
class CSearchThread {
  public:
    CSearchThread(ISearchNotify* pNotify, std::string strFolder, std::string strFilter,
                  std::string strSearch, std::string strReplace, bool bSubfolders, bool bSearchOnly,
                  bool bHidden, bool bIgnoreCase, Sys& sys = DefaultSys());
    CSearchThread(const CSearchThread&) = delete;
    CSearchThread& operator=(const CSearchThread&) = delete;
    virtual ~CSearchThread();

    // The thread's entry: runs the search, then deletes the worker; returns Run's result.
    static int ThreadProc(std::unique_ptr<CSearchThread> pWorker);
    // Starts ThreadProc on a new thread. Keep the stop handle before calling this.
    static std::thread Start(std::unique_ptr<CSearchThread> pWorker);

    // Walks the starting folder, then sends the finished notification with the result.
    int Run();

    // Asks the search to end; also safe through the handle after the worker is gone.
    void RequestStop();
    SearchStopHandle GetStopHandle() const { return SearchStopHandle(m_nStop); }
    std::shared_ptr<const SearchProgress> GetProgress() const { return m_pProgress; }

    // Leaves out folders whose names begin with a dot, as it does hidden files.
    void LeaveOutHiddenFolders(bool bOn) { m_bSkipHiddenFolders = bOn; }

    // 0 when the folder was walked (to its end or until a stop), 1 when it cannot be entered.
    int SearchFolder(const std::string& strFolder);
    // 0, or the error that kept the file from being opened or read.
    int ProcessFile(const std::string& strPath);
    int ProcessFile(const FolderListing* pWhere, const char* name, const std::string& strPath);

    // The scan that picks out candidates many bytes at a time is the one used; the shift-table
    // scan stays as the reference it must agree with, match for match.
    void UseShiftTableScan(bool bOn) { m_bShiftTableScan = bOn; }
    void BuildShiftTable();
    const std::array<int32_t, 256>& GetShiftTable() const { return m_nShift; }
    const std::string& GetSearchText() const { return m_strSearch; }

  private:
    struct ScanState;
    struct Attempt;

    bool StopBeforeEntry();
    int CurrentStop() const { return m_nStop->load(std::memory_order_relaxed); }
    void StoreReply(int nReply);
    void Skip(const std::string& strPath, int nError);

    int SearchFolder(const FolderState* pParent, const std::string& name,
                     const std::string& strFolder);
    bool EnumerateFiles(const FolderState& folder, const WildcardFilter* pFilter,
                        const std::string& strPrefix, std::vector<std::string>* pSubfolders);
    void HandleEntry(const FolderListing& listing, const FolderEntry& entry,
                     const std::string& strPrefix, std::vector<std::string>* pSubfolders);
    bool IsWanted(const FolderEntry& entry, bool bFolders) const;
    void WalkSubfolders(const FolderState& folder, const std::string& strPrefix,
                        const std::vector<std::string>& subfolders);
    void WalkLinkedFolders();

    bool SeeFile(const FileStatus& status);
    bool IsAnotherRunsTemporary(const FolderListing* pWhere, const char* name,
                                const std::string& strPath);
    int ListFile(const FolderListing* pWhere, const char* name, const std::string& strPath);
    int SearchFile(const std::string& strPath, NativeHandle file);
    int ScanWhole(ScanState& state);
    int RewriteFile(const FolderListing* pWhere, const char* name, const std::string& strPath,
                    UniqueFile& file, FileStatus status);
    int ScanOnce(Attempt& attempt, UniqueFile& file, const FileStatus& status);
    void ScanView(ScanState& state);
    bool Require(ScanState& state, uint64_t offset);
    void ScanShiftTable(ScanState& state, uint64_t& E);
    void ScanCandidates(ScanState& state, uint64_t& E);

    bool ReplaceMatch(ScanState& state, uint64_t s);
    bool BeginRewrite(ScanState& state);
    bool OpenTemporary(ScanState& state);
    void WriteOut(ScanState& state, const void* pData, size_t nSize);
    void PutInPlace(ScanState& state);
    void DiscardOnStop(ScanState& state);
    void GiveUpRewrite(ScanState& state, int nError);
    void ReportReplaceFailure(const std::string& strPath, int nError);

    std::shared_ptr<std::atomic<int>> m_nStop;  // the UI thread stores only STOP_SEARCH
    std::array<int32_t, 256> m_nShift;
    LiteralFinder m_finder;
    bool m_bShiftTableScan = false;
    ISearchNotify* m_pNotify;
    std::string m_strFolder;
    std::string m_strFilter;
    std::string m_strSearch;
    std::string m_strReplace;
    bool m_bSubfolders;
    bool m_bSearchOnly;
    bool m_bListOnly;
    bool m_bIgnoreCase;

    FileSystem m_fs;
    WildcardFilter m_filter;
    uint32_t m_nSkipMask;  // entries with any of these attributes are not processed
    std::shared_ptr<SearchProgress> m_pProgress;
    std::vector<unsigned char> m_readBuffer;  // reused for every small file of the search
    std::vector<char> m_writeBuffer;          // reused for every temporary file
    bool m_bSkipHiddenFolders = false;
    std::unordered_set<FileId, FileIdHash> m_foldersWalked;  // each folder is walked once
    std::vector<std::string> m_linkedFolders;  // waiting until the tree itself is walked
    // Replacing, the files scanned and the new ones made, as they were: none is rewritten twice.
    std::unordered_map<FileId, FileVersion, FileIdHash> m_filesSeen;
};

}  // namespace pellumar
