// What the run does with each file the walk hands it: lists it, searches it, or rewrites it and
// hands its new content to the committer.
#include "FileWork.h"

#include "Committer.h"
#include "FilesSeen.h"
#include "FolderListing.h"
#include "Rewriter.h"
#include "SearchAhead.h"
#include "SearchProgress.h"
#include "SearchRequest.h"
#include "SearchRule.h"

namespace pellumar {

namespace {

// How far the second thread may search ahead of the worker, in files: what a stop leaves begun.
constexpr size_t kFilesAhead = 1024;

}  // namespace

FileWork::FileWork(FileSystem& fs, const SearchRequest& request, StopState& stop,
                   SearchProgress& progress, const SearchRule& rule, UndoRecorder* pUndo,
                   FilesSeen& seen, Committer& committer)
    : m_fs(fs),
      m_request(request),
      m_bListOnly(request.search.empty()),
      m_stop(stop),
      m_progress(progress),
      m_rule(rule),
      m_pUndo(pUndo),
      m_seen(seen),
      m_committer(committer),
      m_scanner(fs, *rule.matcher, stop),
      m_searcher(committer, stop, request, rule.replacement, seen) {}

FileWork::~FileWork() = default;

void FileWork::BeginAhead() {
    if (m_request.searchAhead && !m_bListOnly && FileSystem::kSearchesAhead) {
        m_pHelperScanner = std::make_unique<FileScanner>(m_fs, *m_rule.matcher, m_stop);
        m_pAhead = std::make_unique<SearchAhead>(
            [this](int helper, const FolderListing& where, const std::string& name, FileJob& job) {
                SearchOne(helper, where, name, job);
            },
            kFilesAhead);
    }
}

void FileWork::EndAhead() {
    m_pAhead.reset();
}

SearchAhead* FileWork::Ahead() {
    return m_pAhead.get();
}

void FileWork::OnFolderDone() {
    m_committer.PlaceAll();
}

int FileWork::OnFile(const FolderListing* pWhere, const char* name, const std::string& strPath,
                     bool listedPlain) {
    m_progress.FileExamined();
    if (m_bListOnly) {
        return ListFile(pWhere, name, strPath, listedPlain);
    }
    if (FileJob ahead; m_pAhead && pWhere && m_pAhead->Take(pWhere, name, ahead)) {
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

void FileWork::TellOtherName(const FileJob& job) {
    if (const std::optional<uint64_t> matches = m_seen.OtherName(job)) {
        if (m_request.countMatches) {
            m_committer.OnMatchesCounted(job.path, *matches);
        }
        m_searcher.Found(job.path, job.status);
    }
}

// A listed file is never read: what is reported is its status and that it could be opened.
int FileWork::ListFile(const FolderListing* pWhere, const char* name, const std::string& strPath,
                       bool listedPlain) {
    const bool temporaryName = FileSystem::IsTemporaryName(FileJob::LeafOf(strPath));
    if (!m_request.fileInformation && m_fs.SurelyReadable(listedPlain) && !temporaryName) {
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
void FileWork::SearchOne(int helper, const FolderListing& where, const std::string& name,
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
int FileWork::ReplaceFile(std::unique_ptr<FileJob> job) {
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
    job->placement = std::make_unique<Placement>(m_fs, m_committer, m_stop, m_writeBuffer, *job,
                                                 job->status, m_pUndo);
    const ScanOutcome outcome =
        Rewriter::Rewrite(m_scanner, m_fs, m_rule.replacement, m_request.changes, *job);
    if (outcome.error != 0) {
        return outcome.error;  // nothing of the file is put in place
    }
    job->found = outcome.found;
    return m_committer.Commit(std::move(job));
}

}  // namespace pellumar
