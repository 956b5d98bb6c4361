#pragma once

#include <string>

namespace pellumar {

// Ignoring case folds the ASCII letters only, in the search text, the files and the filters
// alike; every other byte is its own.
constexpr bool IsAsciiLetter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

constexpr unsigned char AsciiUpper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

inline std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace pellumar
