#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace pellumar {

// The longest path text the lists compare, in bytes.
constexpr std::size_t kMaxPathText = 259;

// The absolute form of a path text, worked out on the text alone: a relative text is joined to
// `currentFolder`, "." and ".." are collapsed, repeated "/" become one and a trailing "/" is
// kept. Nothing when the text is empty, the current folder is unknown for a relative text, or
// the result is longer than kMaxPathText.
std::optional<std::string> FullPathName(const std::string& text, const std::string& currentFolder);

// What a text added as a path is compared by: its absolute form or, when there is none, the
// text itself cut to kMaxPathText bytes.
std::string PathComparand(const std::string& text, const std::string& currentFolder);

// The process's current folder, or "" when it cannot be told.
std::string CurrentFolder();

// Equal ignoring letter case: Unicode case folding when both texts are UTF-8, otherwise ASCII
// folding of the bytes.
bool IsSamePath(const std::string& first, const std::string& second);

// Whether two folder paths name one folder: as IsSamePath on Windows; elsewhere, where names
// that differ in their letters' case are different names, equal byte for byte.
bool IsSameFolder(const std::string& first, const std::string& second);

}  // namespace pellumar
