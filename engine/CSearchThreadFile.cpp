// The per-file step of the worker: open, scan, report; the rewrite itself is beside it.
#include <algorithm>
#include <cerrno>

#include "CSearchThreadScan.h"
#include "FolderListing.h"
#include "ReadFaultGuard.h"
#include "UniqueFile.h"

namespace pellumar {

namespace {

// ASCII upper-casing; every other byte stays as it is.
struct UpperTable {
    unsigned char map[256];
    constexpr UpperTable() : map() {
        for (int c = 0; c < 256; ++c) {
            map[c] = static_cast<unsigned char>((c >= 'a' && c <= 'z') ? c - 32 : c);
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

std::string LeafName(const std::string& path) {
    const size_t at = path.find_last_of(kSeparators);
    return at == std::string::npos ? path : path.substr(at + 1);
}

// How often a file that other programs keep changing is read before it is given up.
constexpr int kReadings = 3;

}  // namespace

int CSearchThread::ProcessFile(const std::string& strPath) {
    return ProcessFile(nullptr, strPath.c_str(), strPath);
}

int CSearchThread::ProcessFile(const FolderListing* pWhere, const char* name,
                               const std::string& strPath) {
    m_pProgress->FileExamined();
    if (m_bListOnly) {
        return ListFile(pWhere, name, strPath);
    }
    UniqueFile file(m_fs);
    const int opened = m_fs.Open(pWhere, name, strPath, *file.Receive());
    // Another run's temporary file is passed over: it is held while it is written, and it is
    // gone once in place.
    if (FileSystem::IsTemporaryName(LeafName(strPath)) &&
        m_fs.IsAnotherRunsTemporary(pWhere, name, strPath, opened, file.Get())) {
        return 0;
    }
    if (opened != 0) {
        return opened;
    }
    if (m_bSearchOnly) {
        return SearchFile(strPath, file.Get());
    }
    FileStatus status;
    if (const int error = m_fs.StatusAndGeneration(file.Get(), status)) {
        return error;  // nothing is known of the file: it is skipped
    }
    if (!status.IsRegular() || !SeeFile(status)) {
        return 0;
    }
    return RewriteFile(pWhere, name, strPath, file, status);
}

// False for a file reached again, through a link or another name, as this search left it: its
// text is replaced once. A file that another program changed since, or a new file that the
// system gave the number of one deleted since, is a file to search.
bool CSearchThread::SeeFile(const FileStatus& status) {
    const auto [seen, isNew] = m_filesSeen.try_emplace(status.Id(), status.Version());
    if (isNew) {
        return true;
    }
    if (seen->second == status.Version()) {
        return false;
    }
    seen->second = status.Version();
    return true;
}

// Whether a file of a temporary file's name is another run's: opened only to be asked.
bool CSearchThread::IsAnotherRunsTemporary(const FolderListing* pWhere, const char* name,
                                           const std::string& strPath) {
    UniqueFile file(m_fs);
    const int opened = m_fs.Open(pWhere, name, strPath, *file.Receive());
    return m_fs.IsAnotherRunsTemporary(pWhere, name, strPath, opened, file.Get());
}

// A listed file is never read: what is reported is its status and that it could be opened.
int CSearchThread::ListFile(const FolderListing* pWhere, const char* name,
                            const std::string& strPath) {
    FileStatus status;
    const int error = m_fs.StatusUnopened(pWhere, name, strPath, status);
    if (FileSystem::IsTemporaryName(LeafName(strPath)) &&
        IsAnotherRunsTemporary(pWhere, name, strPath)) {
        return 0;
    }
    if (error != 0) {
        return error;
    }
    if (status.IsRegular()) {
        m_pNotify->OnSearchFound(strPath, status.Information(LeafName(strPath)));
    }
    return 0;
}

// Scans the file and puts new content in its place. Should another program change the file
// meanwhile, it is read again, so that its change stays and this one is made on top of it.
int CSearchThread::RewriteFile(const FolderListing* pWhere, const char* name,
                               const std::string& strPath, UniqueFile& file, FileStatus status) {
    Attempt attempt{pWhere, name, strPath};
    for (int reading = 1;; ++reading) {
        if (const int error = ScanOnce(attempt, file, status)) {
            return error;
        }
        if (!attempt.changedMeanwhile) {
            break;
        }
        attempt.changedMeanwhile = false;
        file.Reset();
        int error = FileSystem::kChangedMeanwhile;
        if (reading < kReadings) {
            error = m_fs.Open(pWhere, name, strPath, *file.Receive());
        }
        if (error == 0) {
            error = m_fs.StatusAndGeneration(file.Get(), status);
        }
        if (error == 0 && !status.IsRegular()) {
            error = FileSystem::kChangedMeanwhile;
        }
        if (error != 0) {
            attempt.failure = error;
            ReportReplaceFailure(strPath, error);
            break;
        }
        m_filesSeen[status.Id()] = status.Version();
    }
    if (attempt.failure != 0) {
        m_pNotify->OnSearchSkipped(strPath, SkipKind::NotChanged, attempt.failure);
    }
    if (attempt.found) {
        m_pNotify->OnSearchFound(strPath, status.Information(LeafName(strPath)));
    }
    return 0;
}

// One reading of a file that is being replaced: 0, or the error that kept it from being read.
int CSearchThread::ScanOnce(Attempt& attempt, UniqueFile& file, const FileStatus& status) {
    attempt.found = false;
    const uint64_t n = status.Size();
    if (n < m_strSearch.size()) {
        return 0;
    }
    FileView view(m_fs, m_readBuffer);
    if (const int error = view.Open(file.Get(), n)) {
        return error;
    }
    ScanState state(m_fs, attempt.strPath, status, view, m_writeBuffer);
    state.pWhere = attempt.pWhere;
    state.name = attempt.name;
    state.file = file.Get();
    if (const int error = ScanWhole(state)) {
        return error;
    }
    if (!FileSystem::kKeepsOpen) {
        file.Reset();  // where a file that is still open cannot be replaced
        state.file = kNoHandle;
    }
    if (state.temp.IsOpen()) {
        PutInPlace(state);
    }
    attempt.found = state.found;
    attempt.failure = state.failure;
    attempt.changedMeanwhile = state.changedMeanwhile;
    return 0;
}

// Searching only, the size of most files is learnt from reading them, and the information of a
// file is read only when it is reported: most files are not, and this spares a call for each.
int CSearchThread::SearchFile(const std::string& strPath, NativeHandle file) {
    FileView view(m_fs, m_readBuffer);
    if (const int error = view.OpenHead(file)) {
        return error;
    }
    FileStatus status;
    bool known = false;  // whether `status` holds the file's status
    if (!view.SizeKnown()) {
        if (const int error = m_fs.Status(file, status)) {
            return error;
        }
        if (!status.IsRegular()) {
            return 0;
        }
        known = true;
        if (const int error = view.SetSize(status.Size())) {
            return error;
        }
    }
    if (view.Size() < m_strSearch.size()) {
        return 0;
    }
    ScanState state(m_fs, strPath, status, view, m_writeBuffer);
    if (const int error = ScanWhole(state)) {
        return error;
    }
    if (!state.found) {
        return 0;
    }
    if (!known) {
        if (const int error = m_fs.Status(file, status)) {
            return error;
        }
    }
    if (status.IsRegular()) {  // else a device that read like a short file
        m_pNotify->OnSearchFound(strPath, status.Information(LeafName(strPath)));
    }
    return 0;
}

// Scans the viewed file: 0, or the error that kept it from being read to the end the scan
// needed, in which case nothing of it is put in place.
int CSearchThread::ScanWhole(ScanState& state) {
    if (m_nShift[0] == 0) {
        BuildShiftTable();
    }
    bool completed = true;
    if (state.view.IsMapped()) {
        auto scan = [this, &state] { ScanView(state); };
        completed = ReadFaultGuard::Run(state.T, static_cast<size_t>(state.n), scan);
    } else {
        ScanView(state);
    }
    state.view.Close();
    if (!completed || state.readError != 0) {
        state.temp.Discard();  // the file shrank under the scan: skipped, as it now is
        return completed ? state.readError : FileSystem::kShrankMeanwhile;
    }
    return 0;
}

// The scan. It may be left by a jump when the mapped file shrinks: it holds no object with a
// destructor, and everything it owns lives in the caller's `state`.
void CSearchThread::ScanView(ScanState& state) {
    uint64_t E = 0;  // just after the last accepted match
    if (m_bShiftTableScan) {
        if (!Require(state, state.n)) {
            return;
        }
        ScanShiftTable(state, E);
    } else {
        ScanCandidates(state, E);
    }
    if (state.temp.IsOpen() && state.written != state.n && CurrentStop() == STOP_NONE &&
        Require(state, state.n)) {
        WriteOut(state, state.T + state.written, static_cast<size_t>(state.n - state.written));
    }
}

// Candidates are looked for in blocks, and the stop state is read before each, so that a stop
// ends even the scan of a huge file at once. The pages of a mapped file are given back behind
// the scan, so that memory does not grow with the file.
void CSearchThread::ScanCandidates(ScanState& state, uint64_t& E) {
    constexpr uint64_t kBlock = 4096;
    constexpr uint64_t kReleaseStride = 8 << 20;
    const uint64_t m = m_strSearch.size();
    const uint64_t starts = state.n - m + 1;  // the file is at least as long as the text
    uint64_t releaseAt = kReleaseStride;
    for (uint64_t s = 0; s < starts;) {
        if (CurrentStop() != STOP_NONE) {
            state.found = false;
            return;
        }
        if (s >= releaseAt) {
            state.view.ReleaseBefore(s);
            releaseAt = s + kReleaseStride;
        }
        const uint64_t end = std::min(starts, s + kBlock);
        if (!Require(state, end + m - 1)) {
            return;
        }
        const uint64_t at =
            m_finder.Find(state.T, static_cast<size_t>(s), static_cast<size_t>(end));
        if (at == end) {
            s = end;
            continue;
        }
        state.found = true;
        if (m_bSearchOnly || !ReplaceMatch(state, at)) {
            return;
        }
        E = at + m;
        s = E;
        if (CurrentStop() != STOP_NONE) {
            // An answer given while writing: the file is reported only when the shift-table
            // scan would have had no position left to look at, and so no stop to see.
            const auto last = static_cast<unsigned char>(m_strSearch.back());
            state.found = E - 1 + static_cast<uint64_t>(-m_nShift[last]) >= state.n;
            return;
        }
    }
}

// Whether the bytes before `offset` are in view; once they could not be read, the scan ends and
// the file is skipped, whatever a later read would give.
bool CSearchThread::Require(ScanState& state, uint64_t offset) {
    if (state.readError == 0) {
        state.readError = state.view.Require(offset);
    }
    if (state.readError != 0) {
        state.found = false;
        return false;
    }
    return true;
}

// The reference scan: one position at a time, by the shift table.
void CSearchThread::ScanShiftTable(ScanState& state, uint64_t& E) {
    const unsigned char* T = state.T;
    const uint64_t n = state.n;
    const auto* P = reinterpret_cast<const unsigned char*>(m_strSearch.data());
    const uint64_t m = m_strSearch.size();
    const bool ignoreCase = m_bIgnoreCase;
    uint64_t i = m - 1;
    while (i < n) {
        const unsigned char c = ignoreCase ? kUpper.map[T[i]] : T[i];
        if (CurrentStop() != STOP_NONE) {
            state.found = false;
            return;
        }
        const int32_t t = m_nShift[c];
        if (t > 0) {
            i += static_cast<uint64_t>(t);
            continue;
        }
        const uint64_t s = i + 1 - m;  // the candidate's start; never inside the previous match
        if (s >= E && RestMatches(T + s, P, m, ignoreCase)) {
            state.found = true;
            if (m_bSearchOnly || !ReplaceMatch(state, s)) {
                return;
            }
            E = i + 1;
        }
        i += static_cast<uint64_t>(-t);
    }
}

}  // namespace pellumar
