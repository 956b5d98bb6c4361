#pragma once

#include <string>
#include <string_view>

namespace pellumar::cli {

// A name or a typed text as a message shows it, as `ls -b` shows names: each control byte
// escaped (\n, \t, \033), and a backslash doubled, so that no byte of it can move the cursor,
// change the colours or ring the bell of a terminal. Other bytes, UTF-8 or not, stay as they are.
std::string Escaped(std::string_view text);

}  // namespace pellumar::cli
