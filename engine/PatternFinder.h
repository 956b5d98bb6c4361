#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "LiteralFinder.h"
#include "Matcher.h"

namespace pellumar {

// Why a pattern cannot be used: the pattern library's message, and the character where it found
// the fault, counted from 1 (one past the last where it ran out of pattern).
struct PatternFault {
    std::string message;
    std::size_t character = 0;
};

// Finds a regular expression, in the pattern library's Perl syntax, compiled for its fast
// matching where the processor has it. A file is matched whole: a match may take line feeds,
// ^ and $ match at every line's start and end, and . takes any character but a line feed. Bytes
// that are not UTF-8 are never matched by a character and never end the search. Where every
// match holds some literal text, that is looked for first with the literal finder, and the
// pattern run only where it lies.
class PatternFinder final : public Matcher {
  public:
    // The compiled pattern, or null with the fault.
    static std::unique_ptr<PatternFinder> Compile(std::string_view pattern, bool bIgnoreCase,
                                                  PatternFault& fault);
    ~PatternFinder() override;

    bool Find(const MatchQuery& query, MatchSpan& match) const override;
    std::size_t Reach() const override { return kUnbounded; }
    std::size_t Shortest() const override { return m_shortest; }
    std::unique_ptr<MatchScratch> NewScratch() const override;

    // The number of the pattern's groups, and a named group's number, or -1.
    std::size_t Groups() const;
    int GroupNamed(std::string_view name) const;

  private:
    struct Code;
    class Scratch;

    PatternFinder() = default;
    bool FindWithLiteral(const MatchQuery& query, std::size_t from, MatchSpan& match) const;
    bool Take(int result, const MatchQuery& query, Scratch& scratch, MatchSpan& match) const;

    std::unique_ptr<Code> m_code;
    std::optional<LiteralFinder> m_literal;
    bool m_lineBound = false;
    std::size_t m_shortest = 0;
};

}  // namespace pellumar
