#pragma once

#include <cstdint>
#include <string>

#include "FileScanner.h"

namespace pellumar {

// Counts the matches of a scan, leftmost and non-overlapping, as a replacement takes them. Given
// the replacement, it also tells whether any match would change: one that already reads as its
// replacement changes nothing.
class MatchCounter final : public MatchHandler {
  public:
    explicit MatchCounter(const std::string* pReplace) : m_pReplace(pReplace) {}

    MatchStep OnMatch(const FileView& view, uint64_t at, uint64_t end) override;
    bool TakeInPlace(const unsigned char* text, uint64_t at, uint64_t end) override;
    bool WantsTail(uint64_t /*size*/) const override { return false; }
    MatchStep OnTail(const FileView& /*view*/) override { return MatchStep::Continue; }

    uint64_t Matches() const { return m_nMatches; }
    // Some match reads otherwise than the replacement (without one: there is a match).
    bool WouldChange() const { return m_bChanges; }

  private:
    const std::string* m_pReplace;  // or null
    uint64_t m_nMatches = 0;
    bool m_bChanges = false;
};

}  // namespace pellumar
