#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "LineIndex.h"
#include "MatchedLines.h"

namespace pellumar {

// Makes the lines that matches touch a batch at a time, so that a file with millions of
// matching lines is shown as it is read rather than held whole. A batch never ends inside a
// line: the matches of one line are in one batch.
class LineCollector {
  public:
    LineCollector(const unsigned char* bytes, uint64_t size, const std::vector<FoundSpan>& matches)
        : m_bytes(bytes), m_size(size), m_matches(matches), m_index(bytes, size) {}

    // Adds the next lines to `lines`, at least `most` where there are as many: false once every
    // match has been taken.
    bool Collect(std::size_t most, std::vector<TextLine>& lines);

  private:
    void Take(const FoundSpan& match, std::vector<TextLine>& lines);

    const unsigned char* m_bytes;
    uint64_t m_size;
    const std::vector<FoundSpan>& m_matches;
    LineIndex m_index;
    std::size_t m_next = 0;      // the next match to take
    uint64_t m_lastLine = 0;     // the number of the last line made
    uint64_t m_lastLineEnd = 0;  // just after it
};

}  // namespace pellumar
