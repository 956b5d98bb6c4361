#include "FileSearcher.h"

#include "FileJob.h"
#include "FilesSeen.h"
#include "ISearchNotify.h"
#include "MatchCounter.h"
#include "MatchRecorder.h"
#include "SearchRequest.h"

namespace pellumar {

void FileSearcher::Search(FileScanner& scanner, NativeHandle file, FileJob& job) const {
    if (!m_request.countMatches || !m_request.searchOnly) {
        const ScanOutcome outcome = scanner.Search(file, job.status);
        job.error = outcome.error;
        job.found = outcome.found;
        return;
    }
    MatchCounter counter(nullptr);
    const ScanOutcome outcome = scanner.Search(file, job.status, &counter);
    job.error = outcome.error;
    job.found = outcome.found && !m_stop.Stopped();
    job.matches = counter.Matches();
}

int FileSearcher::Report(const std::string& strPath, const FileJob& job) {
    if (job.found) {
        if (m_request.countMatches) {
            m_notify.OnMatchesCounted(strPath, job.matches);
        }
        Found(strPath, job.status);
    }
    return job.error;
}

int FileSearcher::DryRun(FileScanner& scanner, FileJob& job) {
    MatchCounter counter(&m_replacement);
    MatchRecorder recorder(&m_replacement, &counter);
    MatchHandler& handler = m_request.changes ? static_cast<MatchHandler&>(recorder) : counter;
    const ScanOutcome outcome = scanner.Scan(job.file.Get(), job.status.Size(), handler);
    if (outcome.error != 0 || !outcome.found || !counter.WouldChange() || m_stop.Stopped()) {
        return outcome.error;
    }
    if (m_seen.FirstCounted(job)) {
        if (auto changes = recorder.TakeChanges()) {
            changes->path = m_seen.RewrittenPath(job);
            m_notify.OnFileChanged(job.path, std::move(changes));
        }
        m_notify.OnMatchesCounted(job.path, counter.Matches());
        Found(job.path, job.status);
    }
    return 0;
}

void FileSearcher::Found(const std::string& strPath, const FileStatus& status) {
    m_notify.OnSearchFound(strPath, status.Information(FileJob::LeafOf(strPath)));
}

}  // namespace pellumar
