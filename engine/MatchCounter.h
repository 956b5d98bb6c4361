#pragma once

#include <cstdint>
#include <string>

#include "FileScanner.h"
#include "Replacement.h"

namespace pellumar {

// Counts the matches of a scan, leftmost and non-overlapping, as a replacement takes them. Given
// the replacement, it also tells whether any match would change: one that already reads as its
// replacement changes nothing.
class MatchCounter final : public MatchHandler {
  public:
    explicit MatchCounter(const Replacement* pReplacement) : m_pReplacement(pReplacement) {}

    MatchStep OnMatch(const FileView& view, const MatchSpan& match) override;
    bool TakeInPlace(const unsigned char* text, const MatchSpan& match) override;
    bool WantsTail(uint64_t /*size*/) const override { return false; }
    MatchStep OnTail(const FileView& /*view*/) override { return MatchStep::Continue; }

    uint64_t Matches() const { return m_nMatches; }
    // Some match reads otherwise than the replacement (without one: there is a match).
    bool WouldChange() const { return m_bChanges; }

  private:
    const Replacement* m_pReplacement;  // or null
    std::string m_expanded;             // room for a replacement made of the match's groups
    uint64_t m_nMatches = 0;
    bool m_bChanges = false;
};

}  // namespace pellumar
