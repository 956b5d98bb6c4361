// The worker's rewrite of one file: the new content goes to a temporary file beside it, which
// then takes the file's place in one step.
#include <cstring>

#include "CSearchThreadScan.h"

namespace pellumar {

namespace {

constexpr const char* kOpenTemporary = "open the temporary file";
constexpr const char* kWriteTemporary = "write to the temporary file";
constexpr const char* kCloseOutput = "close the output file";
constexpr const char* kReplaceFile = "replace the file";

// The record of a failure on the temporary file, which names the file being replaced as well.
CFileException Record(int cause, int error, const TempFile& temp, const std::string& replacing) {
    CFileException record;
    record.m_cause = cause;
    record.m_lOsError = error;
    record.m_strFileName = temp.Path();
    record.m_strReplacing = replacing;
    return record;
}

}  // namespace

// Writes the unchanged stretch before an accepted match and the replacement; false when the
// rewrite cannot go on. A match that already reads as its replacement changes nothing: until a
// match does, the file is not rewritten at all.
bool CSearchThread::ReplaceMatch(ScanState& state, uint64_t s) {
    const uint64_t m = m_strSearch.size();
    if (!state.temp.IsOpen()) {
        if (m == m_strReplace.size() && std::memcmp(state.T + s, m_strReplace.data(), m) == 0) {
            return true;
        }
        if (!BeginRewrite(state)) {
            return false;
        }
    }
    if (s > state.written) {
        WriteOut(state, state.T + state.written, static_cast<size_t>(s - state.written));
    }
    WriteOut(state, m_strReplace.data(), m_strReplace.size());
    state.written = s + m;
    return true;
}

// Before the first byte of new content: the file's lock is taken, so that no other run of this
// program rewrites it until this one is done, and under it the name that is rewritten is found
// and checked to lead to the very file that is being read.
bool CSearchThread::BeginRewrite(ScanState& state) {
    int error = m_fs.Lock(state.file, [this] { return CurrentStop() != STOP_NONE; });
    if (error == 0) {
        error =
            m_fs.ResolveTarget(state.pWhere, state.name, state.strPath, state.opened, state.target);
    }
    if (error == FileSystem::kGaveUp) {
        state.found = false;  // stopped while waiting: as a stop during the scan
    } else if (error == FileSystem::kChangedMeanwhile) {
        state.changedMeanwhile = true;
    } else if (error != 0) {
        GiveUpRewrite(state, error);
        ReportReplaceFailure(state.strPath, error);
    } else {
        return OpenTemporary(state);
    }
    return false;
}

bool CSearchThread::OpenTemporary(ScanState& state) {
    const auto stopped = [this] { return CurrentStop() != STOP_NONE; };
    for (bool retry = false;; retry = true) {
        const int error = state.temp.Create(state.target, state.file, state.opened, retry, stopped);
        if (error == 0) {
            return true;
        }
        if (error == FileSystem::kGaveUp) {
            state.found = false;  // stopped while waiting: as a stop during the scan
            return false;
        }
        const CFileException record =
            Record(FileSystem::Cause(error), error, state.temp, state.strPath);
        StoreReply(m_pNotify->OnSearchError(kOpenTemporary, record));
        if (CurrentStop() != STOP_NONE) {
            GiveUpRewrite(state, error);
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
            const CFileException record = Record(CAUSE_GENERIC, error, state.temp, state.strPath);
            StoreReply(m_pNotify->OnSearchError(kWriteTemporary, record));
            if (CurrentStop() != STOP_NONE) {
                GiveUpRewrite(state, error);
            }
        }
    }
}

// A stop that comes before the new content is in place leaves the file as it was; unless an
// answer to a prompt made the stop, the file is then not reported either.
void CSearchThread::PutInPlace(ScanState& state) {
    if (CurrentStop() != STOP_NONE) {
        DiscardOnStop(state);
        return;
    }
    if (const int error = state.temp.Complete()) {
        // A failed flush is never trusted again: the new content is given up.
        const CFileException record = Record(CAUSE_DISK_FULL, error, state.temp, state.strPath);
        GiveUpRewrite(state, error);
        StoreReply(m_pNotify->OnSearchErrorNoRetry(kCloseOutput, record));
        state.temp.Discard();
        return;
    }
    if (CurrentStop() != STOP_NONE) {
        DiscardOnStop(state);
        return;
    }
    int error = m_fs.CheckReplaceable(state.target, state.file, state.opened);
    if (error == 0) {
        error = state.temp.RenameOver(state.file, state.opened);
    }
    if (error == 0) {
        // The new file is never scanned again. The old one may still have other names: each of
        // them is rewritten when reached, from the old content, so that none keeps the text.
        m_filesSeen[state.temp.Written().Id()] = state.temp.Written().Version();
        m_filesSeen.erase(state.opened.Id());
        return;
    }
    // Should the names have been exchanged back in vain, the other program's content stands at
    // the temporary name: the prompt names that file.
    const std::string kept = state.temp.Kept() ? state.temp.Path() : state.strPath;
    state.temp.Discard();
    if (error == FileSystem::kChangedMeanwhile) {
        state.changedMeanwhile = true;
        return;
    }
    GiveUpRewrite(state, error);
    ReportReplaceFailure(kept, error);
}

void CSearchThread::DiscardOnStop(ScanState& state) {
    state.temp.Discard();
    if (state.failure == 0) {
        state.found = false;
    }
}

// The file stays as it was; the first reason is the one told.
void CSearchThread::GiveUpRewrite(ScanState& state, int nError) {
    if (state.failure == 0) {
        state.failure = nError;
    }
}

void CSearchThread::ReportReplaceFailure(const std::string& strPath, int nError) {
    CFileException record;
    record.m_cause = FileSystem::Cause(nError);
    record.m_lOsError = nError > 0 ? nError : -1;
    record.m_strFileName = strPath;
    StoreReply(m_pNotify->OnSearchErrorNoRetry(kReplaceFile, record));
}

}  // namespace pellumar
