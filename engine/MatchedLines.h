#pragma once

#include <cstdint>
#include <vector>

#include "TextLine.h"

namespace pellumar {

// Where one match lies in a file, without its groups.
struct FoundSpan {
    uint64_t start = 0;
    uint64_t end = 0;
};

// The lines of one file that hold a match, each with its matches marked. A match that crosses
// lines puts each line it touches here; an empty match marks nothing, but its line is one.
struct MatchedLines {
    bool binary = false;  // the file holds a NUL byte: its lines are not shown
    std::vector<TextLine> lines;
};

}  // namespace pellumar
