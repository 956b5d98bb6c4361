#include "MatchedLines.h"

#include <algorithm>
#include <cstring>

#include "LineIndex.h"

namespace pellumar {

MatchedLines MatchedLines::Of(const unsigned char* bytes, uint64_t size,
                              const std::vector<FoundSpan>& matches) {
    MatchedLines result;
    result.binary = IsBinary(bytes, size);
    if (result.binary) {
        return result;
    }
    LineIndex index(bytes, size);
    for (const FoundSpan& match : matches) {
        // An empty match after the last line feed lies on no line.
        if (index.PastLastLine(match.start)) {
            continue;
        }
        const uint64_t last = match.end > match.start ? match.end - 1 : match.start;
        for (uint64_t at = match.start;;) {
            const uint64_t start = index.Start(at);
            const uint64_t number = index.Number(start);
            const uint64_t end = index.End(start);
            const uint64_t textEnd = end > start && bytes[end - 1] == '\n' ? end - 1 : end;
            if (result.lines.empty() || result.lines.back().number != number) {
                TextLine& line = result.lines.emplace_back();
                line.number = number;
                line.text.assign(reinterpret_cast<const char*>(bytes + start), textEnd - start);
                line.lineFeed = end != textEnd;
            }
            const uint64_t markStart = std::max(match.start, start);
            const uint64_t markEnd = std::min(match.end, textEnd);
            if (markStart < markEnd) {
                result.lines.back().marks.push_back({markStart - start, markEnd - start});
            }
            if (end > last || end >= size) {
                break;
            }
            at = end;
        }
    }
    return result;
}

}  // namespace pellumar
