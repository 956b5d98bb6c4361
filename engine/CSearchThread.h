#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "FileScanner.h"
#include "FileSystem.h"
#include "ISearchNotify.h"
#include "OrderedNotify.h"
#include "PlacementGroup.h"
#include "SearchProgress.h"
#include "SearchRequest.h"
#include "SearchStopHandle.h"
#include "StopState.h"
#include "TreeWalker.h"

namespace pellumar {

class TempRecord;
class SearchAhead;
struct FileSearchResult;
class UniqueFile;
class UndoRecorder;

// One search request and the worker that runs it on a thread of its own. It is the front of
// three parts: the walker finds the files, the scanner finds the text in each, and, replacing,
// a rewriter gives each file its new content. Everything is reported to the notification sink.
class CSearchThread final : private FileStep {
  public:
    CSearchThread(ISearchNotify* pNotify, SearchRequest request, Sys& sys = DefaultSys());
    CSearchThread(const CSearchThread&) = delete;
    CSearchThread& operator=(const CSearchThread&) = delete;
    ~CSearchThread();

    // The thread's entry: runs the search, then deletes the worker; returns Run's result.
    static int ThreadProc(std::unique_ptr<CSearchThread> pWorker);
    // Starts ThreadProc on a new thread. Keep the stop handle before calling this.
    static std::thread Start(std::unique_ptr<CSearchThread> pWorker);

    // Walks the starting folder, then sends the finished notification with the result.
    int Run();

    // Asks the search to end; also safe through the handle after the worker is gone.
    void RequestStop();
    SearchStopHandle GetStopHandle() const { return m_stop.Handle(); }
    std::shared_ptr<const SearchProgress> GetProgress() const { return m_pProgress; }

    // 0 when the folder was walked (to its end or until a stop), 1 when it cannot be entered.
    int SearchFolder(const std::string& strFolder);
    // 0, or the error that kept the file from being opened or read.
    int ProcessFile(const std::string& strPath);

  private:
    void PassOverUndoStore();
    int OnFile(const FolderListing* pWhere, const char* name, const std::string& strPath) override;
    SearchAhead* Ahead() override { return m_pAhead.get(); }
    void OnFolderDone() override { PlaceGroup(); }
    void SearchOne(int helper, const FolderListing& where, const std::string& name,
                   FileSearchResult& result);
    void ScanInto(FileScanner& scanner, NativeHandle file, FileSearchResult& result);
    int ReportSearched(const std::string& strPath, const FileSearchResult& result);
    int ProcessFile(const FolderListing* pWhere, const char* name, const std::string& strPath);
    bool SeeFile(const FileStatus& status);
    int PlainStatus(NativeHandle file, FileStatus& status);
    int OpenPlain(const FolderListing* pWhere, const char* name, const std::string& strPath,
                  UniqueFile& file, FileStatus& status);
    bool IsAnotherRunsTemporary(const FolderListing* pWhere, const char* name,
                                const std::string& strPath);
    int ListFile(const FolderListing* pWhere, const char* name, const std::string& strPath);
    int SearchFile(const std::string& strPath, NativeHandle file);
    int DryRunFile(const FolderListing* pWhere, const char* name, const std::string& strPath,
                   NativeHandle file, const FileStatus& status);
    int ReplaceFile(const FolderListing* pWhere, const char* name, const std::string& strPath,
                    UniqueFile& file, FileStatus status);
    struct Reading;
    struct Tools;
    Tools WorkerTools();
    Tools PlacingTools();
    int ReadOnce(Reading& reading, UniqueFile& file, const FileStatus& status, const Tools& tools);
    void Settled(Reading& reading, const Rewriter& rewriter, const FileStatus& status, bool found,
                 bool placed);
    int ReadAgainAndReport(Reading& reading, UniqueFile& file, FileStatus& status, int count,
                           const Tools& tools);
    int ReplaceInGroup(const FolderListing* pWhere, const char* name, const std::string& strPath,
                       UniqueFile& file, const FileStatus& status);
    bool PlaceGroup(int knownLineError = 0);
    void PlaceWaiting(WaitingFile& waiting, int lineError);
    void TakeOverHeld(UniqueFile& file, const FileStatus& status);
    void Report(const std::string& strPath, const FileStatus& status);
    // A file reached again under another name: told where a replacement that changed it would
    // have rewritten that name too.
    void TellOtherName(const FolderListing* pWhere, const char* name, const std::string& strPath,
                       const FileStatus& status);
    // The name a file reached under `name` would be rewritten at, whatever links lead there.
    std::string RewrittenName(const FolderListing* pWhere, const char* name,
                              const std::string& strPath, const FileStatus& status);

    OrderedNotify m_ordered;  // every report goes through it: files waiting are told first
    ISearchNotify* m_pNotify;
    SearchRequest m_request;
    bool m_bListOnly;
    StopState m_stop;
    FileSystem m_fs;
    std::shared_ptr<SearchProgress> m_pProgress;
    std::unique_ptr<const Matcher> m_pMatcher;  // what every scanner of the search looks for
    FileScanner m_scanner;
    TreeWalker m_walker;
    std::vector<char> m_writeBuffer;        // reused for every temporary file
    std::unique_ptr<UndoRecorder> m_pUndo;  // replacing with undo: keeps the old content
    std::unique_ptr<TempRecord> m_pRecord;  // replacing: names each temporary file made
    bool m_bGroups;
    PlacementGroup m_group;
    std::vector<std::unique_ptr<WaitingFile>>* m_pPlacing = nullptr;  // the group being placed
    // A file read again while the group is placed, perhaps in the midst of another's reading.
    std::unique_ptr<FileScanner> m_pPlacingScanner;
    std::vector<char> m_placingBuffer;
    // While a search that searches ahead runs: the second thread's scanner, and the thread.
    std::unique_ptr<FileScanner> m_pHelperScanner;
    std::unique_ptr<SearchAhead> m_pAhead;
    // Replacing, the files scanned and the new ones made, as they were: none is rewritten twice.
    std::unordered_map<FileId, FileVersion, FileIdHash> m_filesSeen;
    // The new files this run put in place: a name read again that leads to one is done with.
    std::unordered_set<FileId, FileIdHash> m_made;
    // A dry run: the names a replacement would have rewritten so far.
    std::unordered_set<std::string> m_namesCounted;
    // Files that hold the text but that the replacement leaves as they are: their matches, and
    // the names told so far, as a replacement that changes them tells each name it rewrites.
    struct Unchanged {
        uint64_t matches = 0;
        std::unordered_set<std::string> names;
    };
    std::unordered_map<FileId, Unchanged, FileIdHash> m_unchanged;
};

}  // namespace pellumar
