#include "MatchedLines.h"

#include "LineCollector.h"

namespace pellumar {

MatchedLines MatchedLines::Of(const unsigned char* bytes, uint64_t size,
                              const std::vector<FoundSpan>& matches) {
    MatchedLines result;
    result.binary = IsBinary(bytes, size);
    if (!result.binary) {
        LineCollector collector(bytes, size, matches);
        while (collector.Collect(matches.size(), result.lines)) {
        }
    }
    return result;
}

}  // namespace pellumar
