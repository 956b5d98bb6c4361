#pragma once

#include <cstddef>
#include <string>

#include "Matcher.h"

namespace pellumar {

// Finds a literal in a buffer many bytes at a time: positions where two chosen bytes of the text
// both fit are picked out 32 at once (16 where the processor lacks AVX2), then checked in full.
// The two are the text's rarest bytes in ordinary files, so that a common text ("in", "the")
// gives few candidates; the first and last bytes where they are as rare. With ignoring case only
// the ASCII letters fold.
class LiteralFinder final : public Matcher {
  public:
    explicit LiteralFinder(std::string pattern = {}, bool bIgnoreCase = false);

    // The first start in [from, to) at which the text matches, or `to` when there is none.
    // Reads the bytes up to to + size() - 1, which must lie in the buffer.
    std::size_t Find(const unsigned char* text, std::size_t from, std::size_t to) const;
    std::size_t size() const { return m_strPattern.size(); }

    bool Find(const MatchQuery& query, MatchSpan& match) const override;
    std::size_t Reach() const override { return m_strPattern.size(); }
    std::size_t Shortest() const override { return m_strPattern.size(); }
    // A search one position at a time would look next at the last byte of a match that begins
    // as far on as the text's last byte occurs again before its end.
    uint64_t NextLook(uint64_t end) const override { return end - 1 + m_nLastShift; }
    // The offsets in the text of the two bytes that pick out candidates.
    std::size_t FirstProbe() const { return m_at1; }
    std::size_t SecondProbe() const { return m_at2; }

  private:
    void ChooseProbes();
    bool Matches(const unsigned char* at) const;
    std::size_t FindScalar(const unsigned char* text, std::size_t from, std::size_t to) const;
    std::size_t FindSse2(const unsigned char* text, std::size_t from, std::size_t to) const;
    std::size_t FindAvx2(const unsigned char* text, std::size_t from, std::size_t to) const;

    std::string m_strPattern;
    bool m_bIgnoreCase;
    // The two bytes as compared, and where they lie in the text: a letter's lower case, matched
    // by OR-ing 0x20 into the text's byte, which takes exactly its two cases together.
    std::size_t m_nLastShift = 1;  // from the last byte back to where it occurs again, or m
    std::size_t m_at1 = 0;
    std::size_t m_at2 = 0;
    unsigned char m_byte1 = 0;
    unsigned char m_byte2 = 0;
    unsigned char m_fold1 = 0;
    unsigned char m_fold2 = 0;
};

}  // namespace pellumar
