// The per-file step of the worker: open, scan, rewrite through a temporary file, report.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "CSearchThread.h"
#include "FileView.h"
#include "ReadFaultGuard.h"
#include "TempFile.h"
#include "UniqueFd.h"

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
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// The identity check found the file changed by another program since it was opened.
constexpr int kChangedMeanwhile = -1;

}  // namespace

struct CSearchThread::ScanState {
    ScanState(Sys& sys, const std::string& path, const struct stat& st, FileView& fileView,
              std::vector<char>& writeBuffer)
        : strPath(path),
          stOpened(st),
          view(fileView),
          T(view.Data()),
          n(view.Size()),
          temp(sys, writeBuffer) {}

    const std::string& strPath;
    const struct stat& stOpened;  // the file as it was when opened
    std::string strTarget;        // the file that is rewritten: the path, or a link's target
    FileView& view;
    const unsigned char* T;
    uint64_t n;
    bool found = false;
    int readError = 0;  // the rest of a read file could not be read
    TempFile temp;
};

int CSearchThread::ProcessFile(const std::string& strPath) {
    return ProcessFile(AT_FDCWD, strPath.c_str(), strPath);
}

// The walk opens each file by its name in the folder it lists, which spares the system the
// lookup of every folder on the path.
int CSearchThread::ProcessFile(int dirfd, const char* name, const std::string& strPath) {
    m_pProgress->FileExamined();
    if (m_bListOnly) {
        return ListFile(dirfd, name, strPath);
    }
    const int raw = m_sys.OpenAt(dirfd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (raw < 0) {
        return errno;
    }
    UniqueFd fd(m_sys, raw);
    if (m_bSearchOnly) {
        return SearchFile(strPath, fd.Get());
    }
    struct stat st;
    if (m_sys.Fstat(fd.Get(), &st) != 0) {
        return errno;  // nothing is known of the file: it is skipped
    }
    if (!S_ISREG(st.st_mode)) {
        return 0;
    }
    return ScanFile(strPath, fd.Get(), st, FileInformationFromStat(st, LeafName(strPath)));
}

// A listed file is never read, so it is not opened either: its information and whether it could
// be opened are told by the system without one, at a third of the cost.
int CSearchThread::ListFile(int dirfd, const char* name, const std::string& strPath) {
    struct stat st;
    if (m_sys.FstatAt(dirfd, name, &st, 0) != 0) {
        return errno;
    }
    if (!S_ISREG(st.st_mode)) {
        return 0;
    }
    if (!MayRead(dirfd, name, st)) {
        return EACCES;
    }
    m_pNotify->OnSearchFound(strPath, FileInformationFromStat(st, LeafName(strPath)));
    return 0;
}

// The owner's read bit decides for the owner, whatever the access lists say; the system is asked
// only about the files of others. The superuser reads every file.
bool CSearchThread::MayRead(int dirfd, const char* name, const struct stat& st) {
    if (m_uidUser == 0) {
        return true;
    }
    if (st.st_uid == m_uidUser) {
        return (st.st_mode & S_IRUSR) != 0;
    }
    return m_sys.FaccessAt(dirfd, name, R_OK, AT_EACCESS) == 0;
}

int CSearchThread::ScanFile(const std::string& strPath, int fd, const struct stat& st,
                            const FileInformation& info) {
    const auto n = static_cast<uint64_t>(st.st_size);
    if (n < m_strSearch.size()) {
        return 0;
    }
    FileView view(m_sys, m_readBuffer);
    if (const int error = view.Open(fd, n)) {
        return error;
    }
    ScanState state(m_sys, strPath, st, view, m_writeBuffer);
    if (const int error = ScanWhole(state)) {
        return error;
    }
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
int CSearchThread::SearchFile(const std::string& strPath, int fd) {
    FileView view(m_sys, m_readBuffer);
    if (const int error = view.OpenHead(fd)) {
        return error;
    }
    struct stat st {};
    bool known = false;  // whether `st` holds the file's information
    if (!view.SizeKnown()) {
        if (m_sys.Fstat(fd, &st) != 0) {
            return errno;
        }
        if (!S_ISREG(st.st_mode)) {
            return 0;
        }
        known = true;
        if (const int error = view.SetSize(static_cast<uint64_t>(st.st_size))) {
            return error;
        }
    }
    if (view.Size() < m_strSearch.size()) {
        return 0;
    }
    ScanState state(m_sys, strPath, st, view, m_writeBuffer);
    if (const int error = ScanWhole(state)) {
        return error;
    }
    if (!state.found) {
        return 0;
    }
    if (!known && m_sys.Fstat(fd, &st) != 0) {
        return errno;
    }
    if (S_ISREG(st.st_mode)) {  // else a device that read like a short file
        m_pNotify->OnSearchFound(strPath, FileInformationFromStat(st, LeafName(strPath)));
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
    state.strTarget = state.strPath;
    struct stat link;
    if (m_sys.Lstat(state.strPath.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // A link stays a link: its target is rewritten, beside the target.
        char resolved[PATH_MAX];
        if (m_sys.Realpath(state.strPath.c_str(), resolved) != nullptr) {
            state.strTarget = resolved;
        }
    }
    const std::string folder = FolderOf(state.strTarget);
    for (bool retry = false;; retry = true) {
        const int error = state.temp.Create(folder, state.stOpened, retry);
        if (error == 0) {
            return true;
        }
        const CFileException record{CauseFromErrno(error), error, state.temp.Path()};
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
    int error = CheckReplaceable(state);
    if (error == 0) {
        error = state.temp.RenameOver(state.strTarget);
    }
    if (error != 0) {
        state.temp.Discard();
        ReportReplaceFailure(state, error);
    }
}

// Whether the file may take its new content: still writable by the user, and still the file
// that was opened, unchanged.
int CSearchThread::CheckReplaceable(const ScanState& state) {
    if (m_sys.Access(state.strTarget.c_str(), W_OK) != 0) {
        return errno;
    }
    struct stat now;
    if (m_sys.Stat(state.strTarget.c_str(), &now) != 0) {
        return errno;
    }
    return SameFile(now, state.stOpened) ? 0 : kChangedMeanwhile;
}

void CSearchThread::ReportReplaceFailure(const ScanState& state, int nError) {
    CFileException record;
    if (nError == kChangedMeanwhile) {
        record.m_cause = CAUSE_SHARING_VIOLATION;  // another program used the file meanwhile
    } else {
        record.m_cause = CauseFromErrno(nError);
        record.m_lOsError = nError;
    }
    record.m_strFileName = state.strPath;
    StoreReply(m_pNotify->OnSearchErrorNoRetry(kReplaceFile, record));
}

}  // namespace pellumar
