#pragma once

#include <cstdint>
#include <string>

#include "FileScanner.h"
#include "TempFile.h"

namespace pellumar {

class Placement;
struct FileJob;

// Writes one reading of a file's new content into its placement, match by match, as the scan
// finds the matches: the unchanged stretches and the replacement. The file's matches are counted
// in its job.
class Rewriter final : public MatchHandler {
  public:
    Rewriter(FileSystem& fs, const std::string& strReplace, Placement& placement, FileJob& job)
        : m_fs(fs), m_strReplace(strReplace), m_place(placement), m_job(job) {}

    MatchStep OnMatch(const FileView& view, uint64_t at, uint64_t end) override;
    bool TakeInPlace(const unsigned char* text, uint64_t at, uint64_t end) override;
    bool WantsTail(uint64_t size) const override;
    MatchStep OnTail(const FileView& view) override;

  private:
    // Before the first byte of new content: the file's lock, the name it is rewritten under,
    // and the temporary file. False when the rewrite does not begin; the job tells why.
    bool Begin();
    bool OpenTemporary();
    // False when the bytes could not be read: the file shrank.
    bool WriteOut(const void* pData, size_t nSize, TempFile::CopyBytes copy);

    FileSystem& m_fs;
    const std::string& m_strReplace;
    Placement& m_place;
    FileJob& m_job;
    uint64_t m_nWritten = 0;  // the bytes before it are in the temporary file
};

}  // namespace pellumar
