// The worker's front: one file at a time, it lists, searches or replaces what the walk finds.
#include "CSearchThread.h"

#include <ctime>

#include "FolderListing.h"
#include "LiteralFinder.h"
#include "Rewriter.h"
#include "SearchAhead.h"
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

// How far the second thread may search ahead of the worker, in files: what a stop leaves begun.
constexpr size_t kFilesAhead = 8;

}  // namespace

CSearchThread::CSearchThread(ISearchNotify* pNotify, SearchRequest request, Sys& sys)
    : m_request(std::move(request)),
      m_bListOnly(m_request.search.empty()),
      m_fs(sys),
      m_pProgress(std::make_shared<SearchProgress>()),
      m_pMatcher(std::make_unique<LiteralFinder>(m_request.search, m_request.ignoreCase)),
      m_scanner(m_fs, *m_pMatcher, m_stop),
      m_pUndo(MakeUndo(m_request, sys)),
      m_seen(m_fs),
      m_committer(m_fs, *pNotify, m_stop, m_request, *m_pMatcher, m_pUndo.get(), m_seen),
      m_searcher(m_committer, m_stop, m_request, m_seen),
      m_walker(m_fs, m_committer, m_stop, *m_pProgress, m_request, *this) {
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
    PassOverUndoStore();
    if (m_pRecord) {
        // What killed runs left.
        TempRecord::CleanUp(m_fs.GetSys(), m_request.undoFolder, m_request.memoryFolder);
        m_pRecord->Begin();
    }
    if (m_request.searchAhead && !m_bListOnly && FileSystem::kSearchesAhead) {
        m_pHelperScanner = std::make_unique<FileScanner>(m_fs, *m_pMatcher, m_stop);
        m_pAhead = std::make_unique<SearchAhead>(
            [this](int helper, const FolderListing& where, const std::string& name, FileJob& job) {
                SearchOne(helper, where, name, job);
            },
            kFilesAhead);
    }
    const int result = SearchFolder(AbsoluteFolder(m_request.folder, m_fs.GetSys()));
    m_committer.PlaceAll();
    m_pAhead.reset();
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
    const int error = ProcessFile(nullptr, strPath.c_str(), strPath);
    m_committer.PlaceAll();  // no walk places it later
    return error;
}

int CSearchThread::OnFile(const FolderListing* pWhere, const char* name,
                          const std::string& strPath) {
    return ProcessFile(pWhere, name, strPath);
}

int CSearchThread::ProcessFile(const FolderListing* pWhere, const char* name,
                               const std::string& strPath) {
    m_pProgress->FileExamined();
    if (m_bListOnly) {
        return ListFile(pWhere, name, strPath);
    }
    if (FileJob ahead; m_pAhead && pWhere && m_pAhead->Take(name, ahead)) {
        if (m_request.searchOnly) {
            return m_searcher.Report(strPath, ahead);
        }
        if (ahead.error != 0 || !ahead.found) {
            return ahead.error;  // its open or read failed, nothing to replace, or a stop
        }
    }
    FileJob job(m_fs, pWhere, name, strPath);
    const int opened = m_fs.Open(pWhere, name, strPath, *job.file.Receive());
    // Another run's temporary file is passed over: it is held while it is written, and it is
    // gone once in place.
    if (FileSystem::IsTemporaryName(job.Leaf()) &&
        m_fs.IsAnotherRunsTemporary(pWhere, name, strPath, opened, job.file.Get())) {
        return 0;
    }
    if (opened != 0) {
        return opened;
    }
    if (m_request.searchOnly) {
        m_searcher.Search(m_scanner, job.file.Get(), job);
        return m_searcher.Report(strPath, job);
    }
    if (const int error = m_fs.PlainStatus(job.file.Get(), job.status)) {
        return error == FileSystem::kNotPlain ? 0 : error;  // nothing known of a file: skipped
    }
    if (m_request.dryRun) {
        return m_searcher.DryRun(m_scanner, job);
    }
    return ReplaceFile(std::make_unique<FileJob>(std::move(job)));
}

void CSearchThread::TellOtherName(const FileJob& job) {
    if (const std::optional<uint64_t> matches = m_seen.OtherName(job)) {
        if (m_request.countMatches) {
            m_committer.OnMatchesCounted(job.path, *matches);
        }
        m_searcher.Found(job.path, job.status);
    }
}

// A listed file is never read: what is reported is its status and that it could be opened.
int CSearchThread::ListFile(const FolderListing* pWhere, const char* name,
                            const std::string& strPath) {
    const bool temporaryName = FileSystem::IsTemporaryName(FileJob::LeafOf(strPath));
    if (!m_request.fileInformation && m_fs.SurelyReadable(pWhere, name) && !temporaryName) {
        m_committer.OnSearchFound(strPath, FileInformation{});
        return 0;
    }
    FileStatus status;
    const int error = m_fs.StatusUnopened(pWhere, name, strPath, status);
    if (temporaryName && m_fs.IsAnotherRunsTemporary(pWhere, name, strPath)) {
        return 0;
    }
    if (error != 0) {
        return error;
    }
    if (status.IsRegular()) {
        m_searcher.Found(strPath, status);
    }
    return 0;
}

// Searches one file of a folder into its job, on the worker's thread (helper 0) or the second
// one, each with its own scanner; it reports nothing. Once the search is stopped, nothing more is
// begun. Replacing, this only tells the files that hold no match, which need nothing more.
void CSearchThread::SearchOne(int helper, const FolderListing& where, const std::string& name,
                              FileJob& job) {
    if (m_stop.Stopped()) {
        return;
    }
    UniqueFile file(m_fs);
    job.error = m_fs.Open(&where, name.c_str(), name, *file.Receive());
    if (job.error == 0) {
        m_searcher.Search(helper == 0 ? m_scanner : *m_pHelperScanner, file.Get(), job);
    }
}

// Scans the file and writes its new content, which the committer puts in place. Should another
// program change the file meanwhile, it is read again, so that its change stays and this one is
// made on top of it.
int CSearchThread::ReplaceFile(std::unique_ptr<FileJob> job) {
    if (m_committer.Holds(job->status.Id())) {
        // Another name of the file waits. Once it is placed, this name may lead to the new file.
        if (!m_committer.PlaceAll()) {
            return 0;  // placing it ended the search, which would not have reached this name
        }
        job->file.Reset();
        const int error = m_fs.OpenPlain(job->pWhere, job->name.c_str(), job->path,
                                         *job->file.Receive(), job->status);
        if (error != 0) {
            return error == FileSystem::kNotPlain ? 0 : error;
        }
    }
    if (!m_seen.IsNew(job->status)) {
        TellOtherName(*job);
        return 0;
    }
    job->NewReading();
    job->placement =
        std::make_unique<Placement>(m_fs, m_committer, m_stop, m_writeBuffer, *job, m_pUndo.get());
    Rewriter rewriter(m_request.replace, *job->placement, *job);
    const ScanOutcome outcome = m_scanner.Scan(job->file.Get(), job->status.Size(), rewriter);
    if (outcome.error != 0) {
        return outcome.error;  // nothing of the file is put in place
    }
    job->found = outcome.found;
    return m_committer.Commit(std::move(job));
}

}  // namespace pellumar
