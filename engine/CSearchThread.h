#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Committer.h"
#include "FileSystem.h"
#include "FileWork.h"
#include "FilesSeen.h"
#include "ISearchNotify.h"
#include "SearchProgress.h"
#include "SearchRequest.h"
#include "SearchRule.h"
#include "SearchStopHandle.h"
#include "StopState.h"
#include "TreeWalker.h"

namespace pellumar {

class TempRecord;
class UndoRecorder;

// One search request and the worker that runs it on a thread of its own. It puts the run's parts
// together: the walker finds the files and hands each to the file work, which lists, searches or
// rewrites it; the committer puts new content in place. Every report goes to the notification
// sink through the committer, in the order of the walk.
class CSearchThread final {
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

    SearchRequest m_request;
    StopState m_stop;
    FileSystem m_fs;
    std::shared_ptr<SearchProgress> m_pProgress;
    RuleProblem m_problem;                  // a pattern that cannot be used: nothing is searched
    SearchRule m_rule;                      // what every scanner of the search looks for
    std::unique_ptr<UndoRecorder> m_pUndo;  // replacing with undo: keeps the old content
    std::unique_ptr<TempRecord> m_pRecord;  // replacing: names each temporary file made
    FilesSeen m_seen;
    Committer m_committer;  // every file's new content is placed, and every report told, by it
    FileWork m_work;
    TreeWalker m_walker;
};

}  // namespace pellumar
