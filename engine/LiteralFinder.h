#pragma once

#include <cstddef>
#include <string>

namespace pellumar {

// Finds a literal in a buffer many bytes at a time: positions where two chosen bytes of the text
// both fit are picked out 32 at once (16 where the processor lacks AVX2), then checked in full.
// The two are the text's rarest bytes in ordinary files, so that a common text ("in", "the")
// gives few candidates; the first and last bytes where they are as rare. With ignoring case only
// the ASCII letters fold, exactly as the shift-table scan folds them.
class LiteralFinder {
  public:
    // `pattern` is the search text as the worker holds it (upper-cased when ignoring case).
    explicit LiteralFinder(std::string pattern = {}, bool bIgnoreCase = false);

    // The first start in [from, to) at which the text matches, or `to` when there is none.
    // Reads the bytes up to to + size() - 1, which must lie in the buffer.
    std::size_t Find(const unsigned char* text, std::size_t from, std::size_t to) const;
    std::size_t size() const { return m_strPattern.size(); }
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
    std::size_t m_at1 = 0;
    std::size_t m_at2 = 0;
    unsigned char m_byte1 = 0;
    unsigned char m_byte2 = 0;
    unsigned char m_fold1 = 0;
    unsigned char m_fold2 = 0;
};

}  // namespace pellumar
