// The rewrite of one file's reading: the new content, written as the scan finds the matches.
#include "Rewriter.h"

#include <cstring>

#include "FileJob.h"
#include "FileView.h"
#include "MatchRecorder.h"
#include "Placement.h"

namespace pellumar {

namespace {

constexpr const char* kOpenTemporary = "open the temporary file";
constexpr const char* kWriteTemporary = "write to the temporary file";

}  // namespace

// Writes the unchanged stretch before an accepted match and the replacement. A match that
// already reads as its replacement changes nothing: until a match does, the file is not
// rewritten at all.
MatchStep Rewriter::OnMatch(const FileView& view, const MatchSpan& match) {
    ++m_job.matches;
    const uint64_t at = match.start;
    const uint64_t m = match.end - at;
    std::string_view replace;
    auto expand = [&] { replace = m_replacement.For(view.Data(), match, m_expanded); };
    if (!view.Read(expand)) {
        return MatchStep::Unreadable;
    }
    if (!m_place.Temp().IsOpen()) {
        bool same = false;
        auto compare = [&] {
            same = m == replace.size() &&
                   (m == 0 || std::memcmp(view.Data() + at, replace.data(), m) == 0);
        };
        if (!view.Read(compare)) {
            return MatchStep::Unreadable;
        }
        if (same) {
            return MatchStep::Continue;
        }
        if (!Begin()) {
            return m_job.withdrawn ? MatchStep::Withdraw : MatchStep::Halt;
        }
    }
    if (at > m_nWritten &&
        !WriteOut(view.Data() + m_nWritten, static_cast<size_t>(at - m_nWritten), view.Copier())) {
        return MatchStep::Unreadable;
    }
    WriteOut(replace.data(), replace.size(), &TempFile::PlainCopy);
    m_nWritten = match.end;
    return m_place.GivenUp() ? MatchStep::Ended : MatchStep::Continue;
}

// Most matches of a rewrite that has begun need only the unchanged stretch and the replacement
// copied into the write buffer: that is done where the scan found them, and everything else is
// left to OnMatch. It reads the file's bytes, and writes only into the buffer.
bool Rewriter::TakeInPlace(const unsigned char* text, const MatchSpan& match) {
    if (m_place.Halted()) {
        return false;
    }
    const std::string_view replace = m_replacement.For(text, match, m_expanded);
    const auto stretch = static_cast<size_t>(match.start - m_nWritten);
    char* room = m_place.Temp().Room(stretch + replace.size());
    if (room == nullptr) {
        return false;
    }
    std::memcpy(room, text + m_nWritten, stretch);
    std::memcpy(room + stretch, replace.data(), replace.size());
    m_place.Temp().Taken(stretch + replace.size());
    m_nWritten = match.end;
    ++m_job.matches;
    return true;
}

MatchStep Rewriter::OnTail(const FileView& view) {
    const bool read = WriteOut(view.Data() + m_nWritten,
                               static_cast<size_t>(view.Size() - m_nWritten), view.Copier());
    return read ? MatchStep::Continue : MatchStep::Unreadable;
}

// The file's lock is taken, so that no other run of this program rewrites it until this one is
// done, and under it the name that is rewritten is found and checked to lead to the very file
// that is being read.
bool Rewriter::Begin() {
    int error = m_fs.Lock(m_job.file.Get(), [this] { return m_place.Halted(); });
    if (error == 0) {
        error = m_fs.ResolveTarget(m_job.pWhere, m_job.name.c_str(), m_job.path, m_place.Opened(),
                                   m_place.Target());
    }
    if (error == FileSystem::kGaveUp) {
        m_job.withdrawn = true;  // stopped while waiting: as a stop during the scan
    } else if (error == FileSystem::kChangedMeanwhile) {
        m_job.changedMeanwhile = true;
    } else if (error != 0) {
        m_place.Refuse(error);
    } else {
        return OpenTemporary();
    }
    return false;
}

bool Rewriter::OpenTemporary() {
    const auto stopped = [this] { return m_place.Halted(); };
    for (bool retry = false;; retry = true) {
        const int error = m_place.Temp().Create(m_place.Target(), m_job.file.Get(),
                                                m_place.Opened(), retry, stopped);
        if (error == 0) {
            return true;
        }
        if (error == FileSystem::kGaveUp) {
            m_job.withdrawn = true;  // stopped while waiting: as a stop during the scan
            return false;
        }
        m_place.AskAboutTemporary(kOpenTemporary, FileSystem::Cause(error), error);
        if (m_place.Halted()) {
            return false;
        }
    }
}

bool Rewriter::WantsTail(uint64_t size) const {
    return m_place.Temp().IsOpen() && m_nWritten != size && !m_place.GivenUp();
}

bool Rewriter::WriteOut(const void* pData, size_t nSize, TempFile::CopyBytes copy) {
    const char* bytes = static_cast<const char*>(pData);
    size_t done = 0;
    while (done < nSize && !m_place.Halted()) {
        int error = 0;
        done += m_place.Temp().Write(bytes + done, nSize - done, &error, copy);
        if (error == FileSystem::kShrankMeanwhile) {
            return false;
        }
        if (error != 0) {
            // A full disk is told as one; every other failed write as the buffered stream
            // tells it, unspecified.
            const FileCause cause = FileSystem::CauseOfSystemError(error) == FileCause::DiskFull
                                        ? FileCause::DiskFull
                                        : FileCause::Generic;
            m_place.AskAboutTemporary(kWriteTemporary, cause, error);
        }
    }
    return true;
}

ScanOutcome Rewriter::Rewrite(FileScanner& scanner, FileSystem& fs, const Replacement& replacement,
                              bool changes, FileJob& job) {
    Rewriter rewriter(fs, replacement, *job.placement, job);
    if (!changes) {
        return scanner.Scan(job.file.Get(), job.status.Size(), rewriter);
    }
    MatchRecorder recorder(&replacement, &rewriter);
    const ScanOutcome outcome = scanner.Scan(job.file.Get(), job.status.Size(), recorder);
    job.changes = recorder.TakeChanges();
    const RewriteTarget& target = job.placement->Target();
    if (job.changes && !target.name.empty()) {
        job.changes->path = fs.PathBeside(target, target.name);
    }
    return outcome;
}

}  // namespace pellumar
