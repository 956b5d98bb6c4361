#pragma once

#include <string>
#include <string_view>

namespace pellumar {

// What a pattern's text tells of its matches beyond what the pattern library says, read
// cautiously: where the pattern uses anything this reading does not follow, it claims nothing.
struct PatternShape {
    // Text that every match holds, ASCII only, to be looked for with the literal finder (with
    // ignoring case, ASCII letters in either case match it): empty when there is none.
    std::string literal;
    // No match takes a line feed, and none looks past one: each is found within its line.
    bool lineBound = false;
};

// Reads a valid pattern, compiled with multi-line mode and without dot-all.
PatternShape ShapeOf(std::string_view pattern, bool bIgnoreCase);

}  // namespace pellumar
