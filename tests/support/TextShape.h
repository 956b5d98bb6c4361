#pragma once

#include <string>
#include <string_view>

namespace pellumar::test {

// Whether a file name is one the engine gives a temporary file: "pel", one to four hexadecimal
// digits and ".tmp", in any case.
bool IsTemporaryName(std::string_view name);
// The text with every temporary file name in it written "pel*.tmp".
std::string MaskTemporaryNames(std::string_view text);
// The text with every occurrence of `from` replaced by `to`, found from left to right; with
// `ignoreCase`, ASCII letters match in either case, and no other byte does. The engine's scan is
// compared with it.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignoreCase = false);
// Whether the text has the shape: '#' stands for one decimal digit, every other character for
// itself.
bool MatchesShape(std::string_view text, std::string_view shape);

}  // namespace pellumar::test
