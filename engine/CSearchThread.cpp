// The worker: the run's parts, put together for one request, and the run from start to end.
#include "CSearchThread.h"

#include <ctime>

#include "LiteralFinder.h"
#include "SearchQuery.h"
#include "TempRecord.h"
#include "UndoRecorder.h"
#include "UndoStore.h"

namespace pellumar {

namespace {

bool Replacing(const SearchRequest& request) {
    return !request.search.empty() && !request.searchOnly && !request.dryRun;
}

// The run as the undo history shows it: the texts as they were typed.
UndoRunHeader UndoHeader(const SearchRequest& request) {
    return {static_cast<int64_t>(std::time(nullptr)), AbsoluteFolder(request.folder, DefaultSys()),
            request.filter, request.search, request.replace};
}

std::unique_ptr<UndoRecorder> MakeUndo(const SearchRequest& request, Sys& sys) {
    if (!request.keepUndo || request.undoFolder.empty() || !Replacing(request) ||
        !UndoStore::Available()) {
        return nullptr;
    }
    return std::make_unique<UndoRecorder>(sys, request.undoFolder, UndoHeader(request));
}

// The request's rule; for a pattern that cannot be used, which the caller should have refused,
// a rule that is never run.
SearchRule MakeRule(const SearchRequest& request, RuleProblem& problem) {
    SearchRule rule = MakeSearchRule(request, problem);
    if (!rule.matcher) {
        rule.matcher = std::make_unique<LiteralFinder>();
    }
    return rule;
}

}  // namespace

CSearchThread::CSearchThread(ISearchNotify* pNotify, SearchRequest request, Sys& sys)
    : m_request(std::move(request)),
      m_fs(sys),
      m_pProgress(std::make_shared<SearchProgress>()),
      m_rule(MakeRule(m_request, m_problem)),
      m_pUndo(MakeUndo(m_request, sys)),
      m_seen(m_fs),
      m_committer(m_fs, *pNotify, m_stop, m_request, m_rule, m_pUndo.get(), m_seen),
      m_work(m_fs, m_request, m_stop, *m_pProgress, m_rule, m_pUndo.get(), m_seen, m_committer),
      m_walker(m_fs, m_committer, m_stop, *m_pProgress, m_request, m_work) {
    if (!m_request.undoFolder.empty() && Replacing(m_request)) {
        m_pRecord = std::make_unique<TempRecord>(sys, m_request.undoFolder, m_request.memoryFolder);
        m_fs.RecordTemporariesIn(m_pRecord.get());
    }
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
    if (m_problem.kind != RuleProblem::Kind::None) {
        m_committer.OnSearchFinished(0);
        return 0;
    }
    PassOverUndoStore();
    if (m_pRecord) {
        // What killed runs left.
        TempRecord::CleanUp(m_fs.GetSys(), m_request.undoFolder, m_request.memoryFolder);
        m_pRecord->Begin();
    }
    m_work.BeginAhead();
    const int result = SearchFolder(AbsoluteFolder(m_request.folder, m_fs.GetSys()));
    m_committer.PlaceAll();
    m_work.EndAhead();
    if (m_pUndo) {
        m_pUndo->Finish();
    }
    if (m_pUndo && m_pUndo->RunId() != 0) {
        m_committer.OnUndoKept(m_pUndo->RunId(), m_pUndo->CopiedBytes());
    }
    m_committer.OnSearchFinished(result);
    return result;
}

// The store holds old content that a search would find, and a replacement must never change.
void CSearchThread::PassOverUndoStore() {
    if (m_request.undoFolder.empty()) {
        return;
    }
    if (m_pUndo) {
        m_pUndo->MakeStore();  // made now, so that a walk through its place never enters it
    }
    FolderState store;
    FileId id;
    if (m_fs.OpenFolder(nullptr, m_request.undoFolder, m_request.undoFolder, store, id) == 0) {
        m_walker.PassOver(id);
        m_fs.CloseFolder(store);
    }
}

void CSearchThread::RequestStop() {
    GetStopHandle().RequestStop();
}

int CSearchThread::SearchFolder(const std::string& strFolder) {
    return m_walker.Walk(strFolder);
}

int CSearchThread::ProcessFile(const std::string& strPath) {
    const int error = m_work.OnFile(nullptr, strPath.c_str(), strPath, false);
    m_committer.PlaceAll();  // no walk places it later
    return error;
}

}  // namespace pellumar
