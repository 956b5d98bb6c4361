#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Matcher.h"

namespace pellumar {

// The text written for each match: fixed, or, for a pattern, text with the match's groups put
// in: $1 or ${1} for a group, ${name} for a named one, $0 for the whole match, $$ for a dollar
// sign. Every other character, a backslash or a $ that names nothing among them, stands for
// itself; a group that took no part in the match gives nothing.
class Replacement {
  public:
    Replacement() = default;
    explicit Replacement(std::string text) : m_text(std::move(text)) {}

    // A pattern's replacement. `groups` is the number of the pattern's groups; `named` gives a
    // named group's number, or -1. On a reference to a group the pattern does not have, it is
    // named in `unknown` (as it was written), and the replacement is not to be used.
    static Replacement ForPattern(std::string_view text, std::size_t groups,
                                  const std::function<int(std::string_view)>& named,
                                  std::string& unknown);

    // Whether every match gets the same text, Text().
    bool Fixed() const { return m_pieces.empty(); }
    const std::string& Text() const { return m_text; }
    // The text for one match in `bytes` (whose offsets the match's are), made in `room` unless
    // it is fixed.
    std::string_view For(const unsigned char* bytes, const MatchSpan& match,
                         std::string& room) const;

  private:
    struct Piece {
        std::string text;  // written first
        int group = -1;    // then this group, if any
    };

    std::string m_text;
    std::vector<Piece> m_pieces;  // empty: fixed
};

}  // namespace pellumar
