#pragma once

#include <cstdint>
#include <string>

#include "FileScanner.h"
#include "Replacement.h"
#include "TempFile.h"

namespace pellumar {

class Placement;
struct FileJob;

// Writes one reading of a file's new content into its placement, match by match, as the scan
// finds the matches: the unchanged stretches and the replacement. The file's matches are counted
// in its job.
class Rewriter final : public MatchHandler {
  public:
    Rewriter(FileSystem& fs, const Replacement& replacement, Placement& placement, FileJob& job)
        : m_fs(fs), m_replacement(replacement), m_place(placement), m_job(job) {}

    MatchStep OnMatch(const FileView& view, const MatchSpan& match) override;
    bool TakeInPlace(const unsigned char* text, const MatchSpan& match) override;
    bool WantsTail(uint64_t size) const override;
    MatchStep OnTail(const FileView& view) override;

    // Scans the job's open file into its placement; with `changes`, the job gets its changed
    // lines as well.
    static ScanOutcome Rewrite(FileScanner& scanner, FileSystem& fs, const Replacement& replacement,
                               bool changes, FileJob& job);

  private:
    // Before the first byte of new content: the file's lock, the name it is rewritten under,
    // and the temporary file. False when the rewrite does not begin; the job tells why.
    bool Begin();
    bool OpenTemporary();
    // False when the bytes could not be read: the file shrank.
    bool WriteOut(const void* pData, size_t nSize, TempFile::CopyBytes copy);

    FileSystem& m_fs;
    const Replacement& m_replacement;
    std::string m_expanded;  // room for a replacement made of the match's groups
    Placement& m_place;
    FileJob& m_job;
    uint64_t m_nWritten = 0;  // the bytes before it are in the temporary file
};

}  // namespace pellumar
