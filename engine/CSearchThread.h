#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Committer.h"
#include "FileScanner.h"
#include "FileSearcher.h"
#include "FileSystem.h"
#include "FilesSeen.h"
#include "ISearchNotify.h"
#include "SearchProgress.h"
#include "SearchRequest.h"
#include "SearchStopHandle.h"
#include "StopState.h"
#include "TreeWalker.h"

namespace pellumar {

class TempRecord;
class SearchAhead;
class UndoRecorder;
struct FileJob;

// One search request and the worker that runs it on a thread of its own. It is the front of its
// parts: the walker finds the files, the scanner finds the matcher's matches in each, and,
// replacing, a rewriter writes each file's new content, which the committer puts in place.
// Searching, a second thread searches the next files of a folder ahead of the worker. Every
// report goes to the notification sink through the committer, in the order of the walk.
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
    void OnFolderDone() override { m_committer.PlaceAll(); }
    int ProcessFile(const FolderListing* pWhere, const char* name, const std::string& strPath);
    int ListFile(const FolderListing* pWhere, const char* name, const std::string& strPath);
    void SearchOne(int helper, const FolderListing& where, const std::string& name, FileJob& job);
    int ReplaceFile(std::unique_ptr<FileJob> job);
    // A file reached again under another name: told where a replacement that changed it would
    // have rewritten that name too.
    void TellOtherName(const FileJob& job);

    SearchRequest m_request;
    bool m_bListOnly;
    StopState m_stop;
    FileSystem m_fs;
    std::shared_ptr<SearchProgress> m_pProgress;
    std::unique_ptr<const Matcher> m_pMatcher;  // what every scanner of the search looks for
    FileScanner m_scanner;
    std::vector<char> m_writeBuffer;        // reused for every temporary file
    std::unique_ptr<UndoRecorder> m_pUndo;  // replacing with undo: keeps the old content
    std::unique_ptr<TempRecord> m_pRecord;  // replacing: names each temporary file made
    FilesSeen m_seen;
    Committer m_committer;  // every file's new content is placed, and every report told, by it
    FileSearcher m_searcher;
    TreeWalker m_walker;
    // While a search that searches ahead runs: the second thread's scanner, and the thread.
    std::unique_ptr<FileScanner> m_pHelperScanner;
    std::unique_ptr<SearchAhead> m_pAhead;
};

}  // namespace pellumar
