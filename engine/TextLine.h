#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellumar {

// A stretch of one line to be shown apart: a match, or the text a replacement wrote.
struct LineMark {
    std::size_t start = 0;
    std::size_t end = 0;
    bool operator==(const LineMark&) const = default;
};

// One line of a file as it is shown: a matching line, or a line of a change.
struct TextLine {
    uint64_t number = 0;   // counted from 1; in a change, the line's number in its own file
    char kind = ' ';       // in a change: ' ' the same in both, '-' the old line, '+' the new one
    std::string text;      // without its line feed; a carriage return stays
    bool lineFeed = true;  // false for a last line that ends without one
    std::vector<LineMark> marks;  // in order, within `text`
};

}  // namespace pellumar
