#pragma once

#include <cstddef>
#include <string>

namespace pellumar {

// Finds a literal in a buffer many bytes at a time: positions whose first and last bytes both
// fit are picked out 32 at once (16 where the processor lacks AVX2), then checked in full. With
// ignoring case only the ASCII letters fold, exactly as the shift-table scan folds them.
class LiteralFinder {
  public:
    // `pattern` is the search text as the worker holds it (upper-cased when ignoring case).
    explicit LiteralFinder(std::string pattern = {}, bool bIgnoreCase = false);

    // The first start in [from, to) at which the text matches, or `to` when there is none.
    // Reads the bytes up to to + size() - 1, which must lie in the buffer.
    std::size_t Find(const unsigned char* text, std::size_t from, std::size_t to) const;
    std::size_t size() const { return m_strPattern.size(); }

  private:
    bool Matches(const unsigned char* at) const;
    std::size_t FindScalar(const unsigned char* text, std::size_t from, std::size_t to) const;
    std::size_t FindSse2(const unsigned char* text, std::size_t from, std::size_t to) const;
    std::size_t FindAvx2(const unsigned char* text, std::size_t from, std::size_t to) const;

    std::string m_strPattern;
    bool m_bIgnoreCase;
    // The first and last bytes as compared: a letter's lower case, matched by OR-ing 0x20 into
    // the text's byte, which takes exactly its two cases together.
    unsigned char m_first = 0;
    unsigned char m_last = 0;
    unsigned char m_firstFold = 0;
    unsigned char m_lastFold = 0;
};

}  // namespace pellumar
