#include "LineCollector.h"

#include <algorithm>

namespace pellumar {

bool LineCollector::Collect(std::size_t most, std::vector<TextLine>& lines) {
    const std::size_t before = lines.size();
    while (m_next < m_matches.size()) {
        // A batch ends only where the next match begins past the last line made.
        if (lines.size() - before >= most && m_matches[m_next].start >= m_lastLineEnd) {
            return true;
        }
        Take(m_matches[m_next++], lines);
    }
    return false;
}

void LineCollector::Take(const FoundSpan& match, std::vector<TextLine>& lines) {
    // An empty match after the last line feed lies on no line.
    if (m_index.PastLastLine(match.start)) {
        return;
    }
    const uint64_t last = match.end > match.start ? match.end - 1 : match.start;
    for (uint64_t at = match.start;;) {
        const uint64_t start = m_index.Start(at);
        const uint64_t number = m_index.Number(start);
        const uint64_t end = m_index.End(start);
        const uint64_t textEnd = end > start && m_bytes[end - 1] == '\n' ? end - 1 : end;
        if (number != m_lastLine) {
            TextLine& line = lines.emplace_back();
            line.number = m_lastLine = number;
            line.text.assign(reinterpret_cast<const char*>(m_bytes + start), textEnd - start);
            line.lineFeed = end != textEnd;
            m_lastLineEnd = end;
        }
        const uint64_t markStart = std::max(match.start, start);
        const uint64_t markEnd = std::min(match.end, textEnd);
        if (markStart < markEnd) {
            lines.back().marks.push_back({markStart - start, markEnd - start});
        }
        if (end > last || end >= m_size) {
            return;
        }
        at = end;
    }
}

}  // namespace pellumar
