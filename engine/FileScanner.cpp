// The scan of one file for the search text.
#include "FileScanner.h"

#include <algorithm>

#include "AsciiCase.h"
#include "FileView.h"
#include "StopState.h"

namespace pellumar {

namespace {

// ASCII upper-casing; every other byte stays as it is.
struct UpperTable {
    unsigned char map[256];
    constexpr UpperTable() : map() {
        for (int c = 0; c < 256; ++c) {
            map[c] = AsciiUpper(static_cast<unsigned char>(c));
        }
    }
};
constexpr UpperTable kUpper;

// Whether the bytes before a candidate's last one equal the text's, compared right to left.
bool RestMatches(const unsigned char* candidate, const unsigned char* P, uint64_t m,
                 bool ignoreCase) {
    for (uint64_t j = m - 1; j-- > 0;) {
        if ((ignoreCase ? kUpper.map[candidate[j]] : candidate[j]) != P[j]) {
            return false;
        }
    }
    return true;
}

constexpr uint64_t kBlock = 4096;             // candidates are looked for this many at a time
constexpr uint64_t kReleaseStride = 8 << 20;  // mapped pages are given back this often

}  // namespace

// Where one stretch of the candidate scan stopped, and why.
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
    uint64_t m;
    uint64_t next;   // the candidate scan's next start, or the shift-table scan's next last byte
    uint64_t E = 0;  // just after the last accepted match
    uint64_t releaseAt = kReleaseStride;
    int readError = 0;  // the bytes the scan needed could not be read
    bool shrank = false;
    bool found = false;
};

FileScanner::FileScanner(FileSystem& fs, const std::string& text, bool bIgnoreCase,
                         const StopState& stop)
    : m_fs(fs),
      m_strSearch(text),
      m_bIgnoreCase(bIgnoreCase),
      m_stop(stop),
      m_finder(text, bIgnoreCase) {
    m_nShift.fill(0);  // entry 0 at 0: the table is not built yet
}

void FileScanner::BuildShiftTable() {
    const auto m = static_cast<int32_t>(m_strSearch.size());
    if (m == 0) {
        return;
    }
    m_nShift.fill(m);
    for (int32_t j = 0; j + 1 < m; ++j) {
        m_nShift[static_cast<unsigned char>(m_strSearch[j])] = m - 1 - j;
    }
    int32_t& last = m_nShift[static_cast<unsigned char>(m_strSearch[m - 1])];
    last = -last;
}

ScanOutcome FileScanner::Search(NativeHandle file, FileStatus& status, MatchHandler* handler) {
    FileView view(m_fs, m_readBuffer);
    if (handler == nullptr && !m_bShiftTable) {
        view.AllowWindow(kBlock + m_strSearch.size());  // nothing looks back behind a block
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
    if (view.Size() < m_strSearch.size()) {
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
    if (size < m_strSearch.size()) {
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
    if (m_nShift[0] == 0) {
        BuildShiftTable();
    }
    const uint64_t m = m_strSearch.size();
    Run run{view, view.Size(), m, m_bShiftTable ? m - 1 : 0};
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
        uint64_t at = 0;
        if (!(m_bShiftTable ? NextByShiftTable(run, at) : NextCandidate(run, handler, at))) {
            return;
        }
        run.found = true;
        if (handler == nullptr) {
            return;
        }
        const MatchStep step = handler->OnMatch(run.view, at);
        run.shrank = step == MatchStep::Unreadable;
        if (step != MatchStep::Continue) {
            run.found = step == MatchStep::Halt;
            return;
        }
        run.E = at + run.m;
        run.next = m_bShiftTable ? NextLastByte(run) : run.E;
        if (m_stop.Stopped()) {
            // An answer given while writing: the file is reported only when the shift-table scan
            // would have had no position left to look at, and so no stop to see.
            run.found = NextLastByte(run) >= run.n;
            return;
        }
    }
}

// The byte the shift-table scan looks at next after the last accepted match.
uint64_t FileScanner::NextLastByte(const Run& run) const {
    const auto last = static_cast<unsigned char>(m_strSearch.back());
    return run.E - 1 + static_cast<uint64_t>(-m_nShift[last]);
}

// Finds the next match by candidates: true with its start in `at`, or false when there is none
// before the end or a stop. The finder runs guarded, and only it: the pages a mapped file gives
// back, and the bytes a read file still needs, are seen to between stretches.
bool FileScanner::NextCandidate(Run& run, MatchHandler* handler, uint64_t& at) {
    for (;;) {
        Stretch stretch = Stretch::End;
        auto find = [&] { stretch = FindStretch(run, handler, at); };
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
                run.found = NextLastByte(run) >= run.n;  // as after a match handled outside
                return false;
            case Stretch::Release:
                run.view.ReleaseBefore(run.next);
                run.releaseAt = run.next + kReleaseStride;
                break;
            case Stretch::NeedBytes:
                if (!Require(run, std::min(run.n - run.m + 1, run.next + kBlock) + run.m - 1,
                             run.next)) {
                    return false;
                }
                break;
        }
    }
}

// Looks for candidates a block at a time, the stop state read before each, until a match the
// handler does not take in place, the end, or a block that needs what only the caller may do.
// It may be left by a jump: it only reads and computes.
FileScanner::Stretch FileScanner::FindStretch(Run& run, MatchHandler* handler, uint64_t& at) const {
    const uint64_t starts = run.n - run.m + 1;  // the file is at least as long as the text
    const uint64_t available = run.view.Available();
    for (uint64_t& s = run.next; s < starts;) {
        if (m_stop.Stopped()) {
            return Stretch::Stopped;
        }
        if (s >= run.releaseAt) {
            return Stretch::Release;
        }
        const uint64_t end = std::min(starts, s + kBlock);
        if (end + run.m - 1 > available) {
            return Stretch::NeedBytes;
        }
        // A window holds the bytes from its base on.
        const uint64_t base = run.view.Base();
        at = base + m_finder.Find(run.view.Data(), static_cast<size_t>(s - base),
                                  static_cast<size_t>(end - base));
        if (at == end) {
            s = end;
            continue;
        }
        if (handler == nullptr || !handler->TakeInPlace(run.view.Data(), at)) {
            return Stretch::Match;
        }
        run.found = true;
        run.E = at + run.m;
        s = run.E;
        if (m_stop.Stopped()) {
            return Stretch::StoppedAfterMatch;
        }
    }
    return Stretch::End;
}

// The reference scan: one position at a time, by the shift table, over a file read whole.
bool FileScanner::NextByShiftTable(Run& run, uint64_t& at) {
    if (!Require(run, run.n)) {
        return false;
    }
    const auto* P = reinterpret_cast<const unsigned char*>(m_strSearch.data());
    const unsigned char* T = run.view.Data();
    const uint64_t n = run.n;
    const uint64_t m = run.m;
    const bool ignoreCase = m_bIgnoreCase;
    bool matched = false;
    auto scan = [&] {
        uint64_t& i = run.next;
        while (i < n) {
            const unsigned char c = ignoreCase ? kUpper.map[T[i]] : T[i];
            if (m_stop.Stopped()) {
                run.found = false;
                return;
            }
            const int32_t t = m_nShift[c];
            if (t > 0) {
                i += static_cast<uint64_t>(t);
                continue;
            }
            const uint64_t s = i + 1 - m;  // the candidate's start; never inside the last match
            if (s >= run.E && RestMatches(T + s, P, m, ignoreCase)) {
                at = s;
                matched = true;
                return;
            }
            i += static_cast<uint64_t>(-t);
        }
    };
    if (!run.view.Read(scan)) {
        run.shrank = true;
        run.found = false;
        return false;
    }
    return matched;
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
