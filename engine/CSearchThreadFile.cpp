// The per-file step of the worker: open, scan, rewrite through a temporary file, report.
#include <algorithm>
#include <cerrno>

#include "CSearchThread.h"
#include "FileView.h"
#include "FolderListing.h"
#include "ReadFaultGuard.h"
#include "TempFile.h"
#include "UniqueFile.h"

namespace pellumar {

namespace {

constexpr const char* kOpenTemporary = "open the temporary file";
constexpr const char* kWriteTemporary = "write to the temporary file";
constexpr const char* kCloseOutput = "close the output file";
constexpr const char* kReplaceFile = "replace the file";

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

// The folder that holds `path`; a root keeps its separator ("/", "C:\\").
std::string FolderOf(const std::string& path) {
    const size_t at = path.find_last_of(kSeparators);
    if (at == std::string::npos) {
        return ".";
    }
    std::string folder = path.substr(0, at);
    if (folder.empty() || folder.back() == ':') {
        folder += path[at];
    }
    return folder;
}

}  // namespace

struct CSearchThread::ScanState {
    ScanState(FileSystem& fs, const std::string& path, const FileStatus& status, FileView& fileView,
              std::vector<char>& writeBuffer)
        : strPath(path),
          opened(status),
          view(fileView),
          T(view.Data()),
          n(view.Size()),
          temp(fs, writeBuffer) {}

    const std::string& strPath;
    const FileStatus& opened;  // the file as it was when opened
    std::string strTarget;     // the file that is rewritten: the path, or a link's target
    FileView& view;
    const unsigned char* T;
    uint64_t n;
    bool found = false;
    int readError = 0;  // the rest of a read file could not be read
    TempFile temp;
};

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
    if (const int error = m_fs.Open(pWhere, name, strPath, *file.Receive())) {
        return error;
    }
    if (m_bSearchOnly) {
        return SearchFile(strPath, file.Get());
    }
    FileStatus status;
    if (const int error = m_fs.Status(file.Get(), status)) {
        return error;  // nothing is known of the file: it is skipped
    }
    if (!status.IsRegular()) {
        return 0;
    }
    return ScanFile(strPath, file, status);
}

// A listed file is never read: what is reported is its status and that it could be opened.
int CSearchThread::ListFile(const FolderListing* pWhere, const char* name,
                            const std::string& strPath) {
    FileStatus status;
    if (const int error = m_fs.StatusUnopened(pWhere, name, strPath, status)) {
        return error;
    }
    if (status.IsRegular()) {
        m_pNotify->OnSearchFound(strPath, status.Information(LeafName(strPath)));
    }
    return 0;
}

int CSearchThread::ScanFile(const std::string& strPath, UniqueFile& file,
                            const FileStatus& status) {
    const uint64_t n = status.Size();
    if (n < m_strSearch.size()) {
        return 0;
    }
    const FileInformation info = status.Information(LeafName(strPath));
    FileView view(m_fs, m_readBuffer);
    if (const int error = view.Open(file.Get(), n)) {
        return error;
    }
    ScanState state(m_fs, strPath, status, view, m_writeBuffer);
    if (const int error = ScanWhole(state)) {
        return error;
    }
    file.Reset();  // a file that is still open cannot be replaced on every system
    if (state.temp.IsOpen()) {
        PutInPlace(state);
    }
    if (state.found) {
        m_pNotify->OnSearchFound(strPath, info);
    }
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
        return completed ? state.readError : EIO;
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
    if (state.temp.IsOpen() && E != state.n && CurrentStop() == STOP_NONE &&
        Require(state, state.n)) {
        WriteOut(state, state.T + E, static_cast<size_t>(state.n - E));
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
        if (m_bSearchOnly || !ReplaceMatch(state, E, at)) {
            return;
        }
        E = at + m;
        s = E;
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
            if (m_bSearchOnly || !ReplaceMatch(state, E, s)) {
                return;
            }
            E = i + 1;
        }
        i += static_cast<uint64_t>(-t);
    }
}

// Writes the unchanged stretch before an accepted match and the replacement; false when the
// temporary file could not be had.
bool CSearchThread::ReplaceMatch(ScanState& state, uint64_t E, uint64_t s) {
    if (!state.temp.IsOpen() && !OpenTemporary(state)) {
        return false;
    }
    if (s > E) {
        WriteOut(state, state.T + E, static_cast<size_t>(s - E));
    }
    WriteOut(state, m_strReplace.data(), m_strReplace.size());
    return true;
}

bool CSearchThread::OpenTemporary(ScanState& state) {
    state.strTarget = m_fs.TargetOf(state.strPath);
    const std::string folder = FolderOf(state.strTarget);
    for (bool retry = false;; retry = true) {
        const int error = state.temp.Create(folder, state.opened, retry);
        if (error == 0) {
            return true;
        }
        const CFileException record{FileSystem::Cause(error), error, state.temp.Path()};
        StoreReply(m_pNotify->OnSearchError(kOpenTemporary, record));
        if (CurrentStop() != STOP_NONE) {
            return false;
        }
    }
}

void CSearchThread::WriteOut(ScanState& state, const void* pData, size_t nSize) {
    const char* bytes = static_cast<const char*>(pData);
    size_t done = 0;
    while (done < nSize && CurrentStop() == STOP_NONE) {
        int error = 0;
        done += state.temp.Write(bytes + done, nSize - done, &error);
        if (error != 0) {
            const CFileException record{CAUSE_GENERIC, error, state.temp.Path()};
            StoreReply(m_pNotify->OnSearchError(kWriteTemporary, record));
        }
    }
}

void CSearchThread::PutInPlace(ScanState& state) {
    if (CurrentStop() != STOP_NONE) {
        state.temp.Discard();
        return;
    }
    if (const int error = state.temp.Close()) {
        // A failed flush is never trusted again: the new content is given up.
        const CFileException record{CAUSE_DISK_FULL, error, state.temp.Path()};
        StoreReply(m_pNotify->OnSearchErrorNoRetry(kCloseOutput, record));
        state.temp.Discard();
        return;
    }
    if (CurrentStop() != STOP_NONE) {
        state.temp.Discard();
        return;
    }
    int error = m_fs.CheckReplaceable(state.strTarget, state.opened);
    if (error == 0) {
        error = state.temp.RenameOver(state.strTarget);
    }
    if (error != 0) {
        state.temp.Discard();
        ReportReplaceFailure(state, error);
    }
}

void CSearchThread::ReportReplaceFailure(const ScanState& state, int nError) {
    CFileException record;
    if (nError == FileSystem::kChangedMeanwhile) {
        record.m_cause = CAUSE_SHARING_VIOLATION;  // another program used the file meanwhile
    } else {
        record.m_cause = FileSystem::Cause(nError);
        record.m_lOsError = nError;
    }
    record.m_strFileName = state.strPath;
    StoreReply(m_pNotify->OnSearchErrorNoRetry(kReplaceFile, record));
}

}  // namespace pellumar
