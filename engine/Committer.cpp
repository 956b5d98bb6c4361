// The one place where new content takes a file's place, and where every file is told of.
#include "Committer.h"

#include <algorithm>

#include "FilesSeen.h"
#include "Rewriter.h"
#include "SearchRequest.h"
#include "SearchRule.h"
#include "UndoRecorder.h"

namespace pellumar {

namespace {

// How often a file that other programs keep changing is read before it is given up.
constexpr int kReadings = 3;

}  // namespace

Committer::Committer(FileSystem& fs, ISearchNotify& notify, StopState& stop,
                     const SearchRequest& request, const SearchRule& rule, UndoRecorder* pUndo,
                     FilesSeen& seen)
    : m_fs(fs),
      m_notify(notify),
      m_stop(stop),
      m_request(request),
      m_rule(rule),
      m_pUndo(pUndo),
      m_seen(seen),
      m_nMost(FileSystem::kPlacesInGroups ? std::max<size_t>(1, request.placementGroup) : 1),
      m_scanner(fs, *rule.matcher, stop) {}

Committer::~Committer() = default;

int Committer::Commit(std::unique_ptr<FileJob> job) {
    switch (job->placement->Ready()) {
        case Placement::Readiness::Waits:
            m_entries.emplace_back().job = std::move(job);
            if (++m_nWaiting >= m_nMost) {
                PlaceAll();
            }
            return 0;
        case Placement::Readiness::Alone: {
            // Its line's own flush took the journal to the disk, the waiting lines with it: should
            // it fail, theirs may have failed too.
            const int lineError = m_pUndo->Settle();
            PlaceAll(lineError);
            std::vector<Entry> alone;
            alone.emplace_back().job = std::move(job);
            PlaceEntries(std::move(alone), lineError);  // a search that ended leaves it as it was
            return 0;
        }
        case Placement::Readiness::Done:
            break;
    }
    Settled(*job);
    // Read again, it is placed at once: the files before it go first.
    if (job->changedMeanwhile && !PlaceAll()) {
        return 0;  // placing them ended the search, which would not have reached this file
    }
    return Finish(*job);
}

bool Committer::PlaceAll(int knownLineError) {
    if (m_entries.empty()) {
        return true;
    }
    m_nWaiting = 0;
    return PlaceEntries(std::exchange(m_entries, {}), knownLineError);
}

bool Committer::Holds(const FileId& id) const {
    return std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& entry) {
        return entry.job && entry.job->status.Id() == id;
    });
}

// Places the waiting files in order: their undo lines are written out, one flush of their file
// system takes everything to the disk (a file alone needs only its own), each file is flushed on
// its own where that flush could not be trusted with it (every such flush costs a flush of the
// device's cache), and then each is renamed and told, with what waited behind it. A file given up
// ends there, as a skipped file ends before the next entry of the walk. `knownLineError` is a
// failure that the waiting undo lines share. False when the search ended meanwhile.
bool Committer::PlaceEntries(std::vector<Entry> entries, int knownLineError) {
    const bool stoppedBefore = m_stop.Stopped();
    const int written = m_pUndo ? m_pUndo->WriteOutWaiting() : 0;
    const int lineError = knownLineError != 0 ? knownLineError : written;
    std::vector<FileJob*> jobs;
    for (Entry& entry : entries) {
        if (entry.job) {
            jobs.push_back(entry.job.get());
        }
    }
    // The flush covers the new files on the file system flushed, and only those.
    bool flushed = false;
    uint64_t volume = 0;
    if (jobs.size() > 1 && !m_stop.Stopped()) {
        flushed = m_fs.FlushFileSystem(jobs.front()->placement->NewFile());
        volume = jobs.front()->placement->Written().Id().volume;
    }
    for (FileJob* job : jobs) {
        job->placement->FlushWaiting(flushed && job->placement->Written().Id().volume == volume);
    }
    m_pPlacing = &entries;
    for (Entry& entry : entries) {
        if (!entry.job) {
            if (stoppedBefore || !m_stop.Stopped()) {
                Tell(entry);
            }
        } else if (entry.job->placement) {  // not taken over by another name of its file
            PlaceWaiting(*entry.job, lineError);
        }
    }
    m_pPlacing = nullptr;
    const bool goesOn = stoppedBefore || !m_stop.Stopped();
    m_bEnded = m_bEnded || !goesOn;
    return goesOn;
}

void Committer::PlaceWaiting(FileJob& job, int lineError) {
    PutInPlace(job, lineError);
    if (const int error = Finish(job)) {
        OnSearchSkipped(job.path, SkipKind::Unread, error);
    }
}

// `lineError` tells how the file's undo line reached the disk.
void Committer::PutInPlace(FileJob& job, int lineError) {
    if (!FileSystem::kKeepsOpen) {
        job.file.Reset();  // where a file that is still open cannot be replaced
    }
    if (job.placement->Place(lineError)) {
        job.placed = job.placement->Written();
        m_seen.Replaced(job.status, *job.placed);
    }
    Settled(job);
}

// A reading is over: its new content is in place or given up.
void Committer::Settled(FileJob& job) {
    job.found = job.found && !job.withdrawn;
    job.placement.reset();
}

// While another program changed the file meanwhile, it is read again, at most kReadings times
// in all; then what came of it is told. 0, or the error that kept it from being read again.
int Committer::Finish(FileJob& job) {
    while (job.changedMeanwhile) {
        job.changedMeanwhile = false;
        const bool named = StillNamed(job);
        if (const int error = Reopen(job)) {
            if (named && FileSystem::IsMissing(error)) {
                // Moved by another program: nothing is left to change under this name, and the
                // file, should the walk reach it under its new one, is searched there.
                m_seen.Forget(job.status.Id());
                job.found = false;
                break;
            }
            job.failure = error;
            m_stop.Answered(Placement::ReportReplaceFailure(*this, job.path, error));
            break;
        }
        if (m_seen.IsMade(job.status)) {
            job.found = false;  // the name now leads to a file this run wrote: done with
            break;
        }
        TakeOverHeld(job);
        m_seen.ReadAgain(job.status);
        if (const int error = ReadAgain(job)) {
            return error;
        }
    }
    Report(job);
    return 0;
}

// Whether the file the job holds open has a name left, as after a rename; a deleted file has none.
bool Committer::StillNamed(const FileJob& job) {
    FileStatus now;
    return job.file.Get() != kNoHandle && m_fs.Status(job.file.Get(), now) == 0 &&
           now.Information(job.Leaf()).nNumberOfLinks > 0;
}

int Committer::Reopen(FileJob& job) {
    job.file.Reset();
    if (job.readings >= kReadings) {
        return FileSystem::kChangedMeanwhile;
    }
    const int error =
        m_fs.OpenPlain(job.pWhere, job.name.c_str(), job.path, *job.file.Receive(), job.status);
    return error == FileSystem::kNotPlain ? FileSystem::kChangedMeanwhile : error;
}

// One more reading of a file that another program changed: its new content is placed at once,
// as a group of its own.
int Committer::ReadAgain(FileJob& job) {
    job.NewReading();
    job.placement =
        std::make_unique<Placement>(m_fs, *this, m_stop, m_buffer, job, job.status, m_pUndo);
    const ScanOutcome outcome =
        Rewriter::Rewrite(m_scanner, m_fs, m_rule.replacement, m_request.changes, job);
    if (outcome.error != 0) {
        job.placement.reset();
        return outcome.error;  // nothing of the file is put in place
    }
    job.found = outcome.found;
    switch (job.placement->Ready()) {
        case Placement::Readiness::Waits:
            PutInPlace(job, m_pUndo ? m_pUndo->WriteOutWaiting() : 0);
            break;
        case Placement::Readiness::Alone:
            PutInPlace(job, m_pUndo->Settle());
            break;
        case Placement::Readiness::Done:
            Settled(job);
            break;
    }
    return 0;
}

// A name read again while a group is placed may now lead to a file that another file of the
// group holds open and locked, as after a rename over it: that handle is taken over, so that the
// run never waits on its own lock, and the file is replaced once, under the name it now has.
void Committer::TakeOverHeld(FileJob& job) {
    if (m_pPlacing == nullptr) {
        return;
    }
    for (Entry& entry : *m_pPlacing) {
        FileJob* other = entry.job.get();
        if (other == nullptr || other == &job || other->file.Get() == kNoHandle ||
            !(other->status.Id() == job.status.Id())) {
            continue;
        }
        if (other->placement) {
            other->placement->Abandon();
            other->placement.reset();
        }
        job.file = std::move(other->file);
        return;
    }
}

void Committer::Report(FileJob& job) {
    if (job.failure != 0) {
        OnSearchSkipped(job.path, SkipKind::NotChanged, job.failure);
    }
    if (!job.found) {
        return;
    }
    if (job.placed && job.changes) {
        OnFileChanged(job.path, std::move(job.changes));
    }
    if (m_request.countMatches) {
        OnMatchesCounted(job.path, job.matches);
    }
    // Told as it now is on the disk: its new size and time.
    OnSearchFound(job.path, (job.placed ? *job.placed : job.status).Information(job.Leaf()));
    if (!job.placed && job.failure == 0) {
        m_seen.LeftAsItIs(job);  // nothing to change: its other names are told as they are reached
    }
}

// A report goes now, or waits in order behind the files that wait. Once placing them ended the
// search, which would not have reached the file it tells of, it is not told.
Committer::Route Committer::RouteOf() const {
    if (m_pPlacing != nullptr) {
        return Route::Now;
    }
    if (m_bEnded) {
        return Route::Drop;
    }
    return m_entries.empty() ? Route::Now : Route::Wait;
}

void Committer::OnSearchFound(const std::string& path, const FileInformation& info) {
    const Route route = RouteOf();
    if (route == Route::Now) {
        m_notify.OnSearchFound(path, info);
    } else if (route == Route::Wait) {
        Entry& entry = m_entries.emplace_back();
        entry.kind = Entry::Kind::Found;
        entry.path = path;
        entry.info = info;
    }
}

void Committer::OnSearchSkipped(const std::string& path, SkipKind kind, int error) {
    const Route route = RouteOf();
    if (route == Route::Now) {
        m_notify.OnSearchSkipped(path, kind, error);
    } else if (route == Route::Wait) {
        Entry& entry = m_entries.emplace_back();
        entry.kind = Entry::Kind::Skipped;
        entry.path = path;
        entry.skip = kind;
        entry.error = error;
    }
}

void Committer::OnMatchesCounted(const std::string& path, uint64_t matches) {
    const Route route = RouteOf();
    if (route == Route::Now) {
        m_notify.OnMatchesCounted(path, matches);
    } else if (route == Route::Wait) {
        Entry& entry = m_entries.emplace_back();
        entry.kind = Entry::Kind::Counted;
        entry.path = path;
        entry.matches = matches;
    }
}

void Committer::OnFileChanged(const std::string& path, std::unique_ptr<FileChanges> changes) {
    const Route route = RouteOf();
    if (route == Route::Now) {
        m_notify.OnFileChanged(path, std::move(changes));
    } else if (route == Route::Wait) {
        Entry& entry = m_entries.emplace_back();
        entry.kind = Entry::Kind::Changed;
        entry.path = path;
        entry.changes = std::move(changes);
    }
}

void Committer::Tell(Entry& entry) {
    switch (entry.kind) {
        case Entry::Kind::Changed:
            m_notify.OnFileChanged(entry.path, std::move(entry.changes));
            break;
        case Entry::Kind::Found:
            m_notify.OnSearchFound(entry.path, entry.info);
            break;
        case Entry::Kind::Skipped:
            m_notify.OnSearchSkipped(entry.path, entry.skip, entry.error);
            break;
        case Entry::Kind::Counted:
            m_notify.OnMatchesCounted(entry.path, entry.matches);
            break;
        case Entry::Kind::Job:
            break;
    }
}

ErrorReply Committer::OnSearchError(const char* operation, const CFileException& error) {
    return MayAsk() ? m_notify.OnSearchError(operation, error) : ErrorReply::StopSearch;
}

ErrorReply Committer::OnSearchErrorNoRetry(const char* operation, const CFileException& error) {
    return MayAsk() ? m_notify.OnSearchErrorNoRetry(operation, error) : ErrorReply::StopSearch;
}

// A question is asked once the files before it are placed: its answer may end the search.
bool Committer::MayAsk() {
    if (m_pPlacing != nullptr) {
        return true;
    }
    if (!m_bEnded) {
        PlaceAll();
    }
    return !m_bEnded;
}

}  // namespace pellumar
