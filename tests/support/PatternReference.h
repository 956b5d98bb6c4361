#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace pellumar::test {

// What the pattern library's own global substitution makes of a whole text, with the options the
// engine matches with (UTF-8 that may be invalid, multi-line) and groups that took no part given
// as nothing; with the number of matches. None when the library gives an error, and where its
// substitution is known to go wrong: a pattern that may match empty, on text that is not all
// UTF-8, where its retry after an empty match, anchored, may leap on to the next valid stretch.
struct Substituted {
    std::string text;
    std::size_t matches = 0;
};
std::optional<Substituted> SubstituteAll(const std::string& text, const std::string& pattern,
                                         const std::string& replacement, bool ignoreCase);

}  // namespace pellumar::test
