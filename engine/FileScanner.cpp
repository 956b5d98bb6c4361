// The scan of one file for the search text.
#include "FileScanner.h"

#include <algorithm>

#include "FileView.h"
#include "StopState.h"

namespace pellumar {

namespace {

constexpr uint64_t kBlock = 4096;             // matches are looked for this many starts at a time
constexpr uint64_t kReleaseStride = 8 << 20;  // mapped pages are given back this often

}  // namespace

// Where one stretch of the scan stopped, and why.
enum class FileScanner::Stretch {
    Match,              // a match for the handler's OnMatch, or searching only
    End,                // no match before the end
    Stopped,            // the stop state was set
    StoppedAfterMatch,  // the stop state was set just after a match the handler took
    Release,            // the pages behind are to be given back
    NeedBytes,          // the next block needs bytes not yet read
};

// One scan of one file.
struct FileScanner::Run {
    FileView& view;
    uint64_t n;
    uint64_t next = 0;  // where the next match may start
    uint64_t E = 0;     // just after the last accepted match
    uint64_t releaseAt = kReleaseStride;
    bool afterEmpty = false;  // the last match was empty, and ended at `next`
    int readError = 0;        // the bytes the scan needed could not be read
    bool shrank = false;
    bool found = false;
};

FileScanner::FileScanner(FileSystem& fs, const Matcher& matcher, const StopState& stop)
    : m_fs(fs), m_matcher(matcher), m_stop(stop), m_scratch(matcher.NewScratch()) {}

ScanOutcome FileScanner::Search(NativeHandle file, FileStatus& status, MatchHandler* handler) {
    FileView view(m_fs, m_readBuffer);
    if (handler == nullptr && m_matcher.Reach() != Matcher::kUnbounded) {
        view.AllowWindow(kBlock + m_matcher.Reach());  // nothing looks back behind a block
    }
    if (const int error = view.OpenHead(file)) {
        return {error};
    }
    bool known = false;  // whether `status` holds the file's status
    if (!view.SizeKnown()) {
        if (const int error = m_fs.Status(file, status)) {
            return {error};
        }
        if (!status.IsRegular()) {
            return {};
        }
        known = true;
        if (const int error = view.SetSize(status.Size())) {
            return {error};
        }
    }
    if (view.Size() < m_matcher.Shortest()) {
        return {};
    }
    ScanOutcome outcome = ScanView(view, handler);
    if (outcome.found && !known) {
        outcome.error = m_fs.Status(file, status);
    }
    // A device may read like a short file; it is never reported.
    outcome.found = outcome.found && outcome.error == 0 && status.IsRegular();
    return outcome;
}

ScanOutcome FileScanner::Scan(NativeHandle file, uint64_t size, MatchHandler& handler) {
    if (size < m_matcher.Shortest()) {
        return {};
    }
    FileView view(m_fs, m_readBuffer);
    if (const int error = view.Open(file, size)) {
        return {error};
    }
    return ScanView(view, &handler);
}

// Scans the viewed file, then closes the view. When it could not be read as far as the scan
// needed, the outcome is the error, and nothing of it may be put in place.
ScanOutcome FileScanner::ScanView(FileView& view, MatchHandler* handler) {
    Run run{view, view.Size()};
    FindMatches(run, handler);
    if (handler != nullptr && !run.shrank && !m_stop.Stopped() && handler->WantsTail(run.n) &&
        Require(run, run.n)) {
        run.shrank = handler->OnTail(view) == MatchStep::Unreadable;
    }
    view.Close();
    if (run.shrank) {
        return {FileSystem::kShrankMeanwhile};
    }
    if (run.readError != 0) {
        return {run.readError};
    }
    return {0, run.found};
}

// Hands the matches to the handler until it or a stop ends the scan. Searching only, the first
// match is enough.
void FileScanner::FindMatches(Run& run, MatchHandler* handler) {
    for (;;) {
        MatchSpan match;
        if (!NextMatch(run, handler, match)) {
            return;
        }
        run.found = true;
        if (handler == nullptr) {
            return;
        }
        const MatchStep step = handler->OnMatch(run.view, match);
        run.shrank = step == MatchStep::Unreadable;
        if (step != MatchStep::Continue && step != MatchStep::Ended) {
            run.found = step == MatchStep::Halt;
            return;
        }
        run.E = match.end;
        run.next = match.end;
        run.afterEmpty = match.end == match.start;
        if (step == MatchStep::Ended || m_stop.Stopped()) {
            // An answer given while writing: the file is reported only when the search would
            // have had no position left to look at, and so no stop to see.
            run.found = m_matcher.NextLook(run.E) >= run.n;
            return;
        }
    }
}

// Finds the next match: true with it in `match`, or false when there is none before the end or
// a stop. The matcher runs guarded, and only it: the pages a mapped file gives back, and the
// bytes a read file still needs, are seen to between stretches.
bool FileScanner::NextMatch(Run& run, MatchHandler* handler, MatchSpan& match) {
    for (;;) {
        Stretch stretch = Stretch::End;
        auto find = [&] { stretch = FindStretch(run, handler, match); };
        if (!run.view.Read(find)) {
            run.shrank = true;
            stretch = Stretch::Stopped;
        }
        switch (stretch) {
            case Stretch::Match:
                return true;
            case Stretch::End:
                return false;
            case Stretch::Stopped:
                run.found = false;
                return false;
            case Stretch::StoppedAfterMatch:
                run.found = m_matcher.NextLook(run.E) >= run.n;  // as after a match handled outside
                return false;
            case Stretch::Release:
                run.view.ReleaseBefore(run.next);
                run.releaseAt = run.next + kReleaseStride;
                break;
            case Stretch::NeedBytes: {
                const uint64_t starts = run.n - m_matcher.Shortest() + 1;
                if (!Require(run, NeededFor(run, std::min(starts, run.next + kBlock)), run.next)) {
                    return false;
                }
                break;
            }
        }
    }
}

uint64_t FileScanner::NeededFor(const Run& run, uint64_t end) const {
    const uint64_t reach = m_matcher.Reach();
    return reach == Matcher::kUnbounded ? run.n : std::min(run.n, end - 1 + reach);
}

// Looks for matches a block of starts at a time, the stop state read before each, until a match
// the handler does not take in place, the end, or a block that needs what only the caller may
// do. It may be left by a jump: it only reads and computes.
FileScanner::Stretch FileScanner::FindStretch(Run& run, MatchHandler* handler,
                                              MatchSpan& match) const {
    const uint64_t starts = run.n - m_matcher.Shortest() + 1;  // the file is long enough
    const uint64_t available = run.view.Available();
    // A matcher that takes the file whole looks at all the starts left in one call.
    const uint64_t block = m_matcher.Reach() == Matcher::kUnbounded ? starts : kBlock;
    for (uint64_t& s = run.next; s < starts;) {
        if (m_stop.Stopped()) {
            return Stretch::Stopped;
        }
        if (s >= run.releaseAt) {
            return Stretch::Release;
        }
        const uint64_t end = std::min(starts, s + block);
        if (NeededFor(run, end) > available) {
            return Stretch::NeedBytes;
        }
        // A window holds the bytes from its base on.
        const uint64_t base = run.view.Base();
        const MatchQuery query{run.view.Data(),
                               static_cast<size_t>(available - base),
                               static_cast<size_t>(s - base),
                               static_cast<size_t>(end - base),
                               run.afterEmpty,
                               m_scratch.get()};
        run.afterEmpty = false;
        if (!m_matcher.Find(query, match)) {
            if (match.tooComplex) {
                run.readError = FileSystem::kTooComplex;
                run.found = false;
                return Stretch::End;
            }
            s = end;
            continue;
        }
        match.start += base;
        match.end += base;
        if (handler == nullptr || !handler->TakeInPlace(run.view.Data(), match)) {
            return Stretch::Match;
        }
        run.found = true;
        run.E = match.end;
        s = match.end;
        run.afterEmpty = match.end == match.start;
        if (m_stop.Stopped()) {
            return Stretch::StoppedAfterMatch;
        }
    }
    return Stretch::End;
}

// Whether the bytes before `offset` are in view; once they could not be read, the scan ends and
// the file is skipped, whatever a later read would give.
bool FileScanner::Require(Run& run, uint64_t offset, uint64_t from) {
    if (run.readError == 0) {
        run.readError = run.view.Require(offset, from);
    }
    if (run.readError != 0) {
        run.found = false;
        return false;
    }
    return true;
}

}  // namespace pellumar
