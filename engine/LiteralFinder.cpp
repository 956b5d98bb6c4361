#include "LiteralFinder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tuple>

#include "AsciiCase.h"
#include "ByteRanks.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pellumar {

LiteralFinder::LiteralFinder(std::string pattern, bool bIgnoreCase)
    : m_strPattern(bIgnoreCase ? AsciiUpper(std::move(pattern)) : std::move(pattern)),
      m_bIgnoreCase(bIgnoreCase) {
    if (m_strPattern.empty())
        return;
    ChooseProbes();
    const std::size_t m = m_strPattern.size();
    m_nLastShift = m;
    for (std::size_t j = 0; j + 1 < m; ++j) {
        if (m_strPattern[j] == m_strPattern[m - 1]) {
            m_nLastShift = m - 1 - j;
        }
    }
    auto fold = [&](unsigned char c) -> unsigned char {
        return m_bIgnoreCase && IsAsciiLetter(c) ? 0x20 : 0;
    };
    const auto byte1 = static_cast<unsigned char>(m_strPattern[m_at1]);
    const auto byte2 = static_cast<unsigned char>(m_strPattern[m_at2]);
    m_fold1 = fold(byte1);
    m_fold2 = fold(byte2);
    m_byte1 = byte1 | m_fold1;
    m_byte2 = byte2 | m_fold2;
}

// The rarest byte, then the rarest other byte; between bytes as rare, the first and the last of
// the text come first, as a pair far apart is less often matched by chance.
void LiteralFinder::ChooseProbes() {
    const std::size_t m = m_strPattern.size();
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(m_strPattern[at]); };
    auto rank = [&](std::size_t at) {
        const unsigned char c = byte(at);
        const bool folds = m_bIgnoreCase && IsAsciiLetter(c);
        return folds ? std::max(kByteRank[c | 0x20], kByteRank[c & ~0x20]) : kByteRank[c];
    };
    auto key = [&](std::size_t at) { return std::tuple(rank(at), at != 0 && at != m - 1, at); };
    auto same = [&](std::size_t a, std::size_t b) {
        return (m_bIgnoreCase ? AsciiUpper(byte(a)) == AsciiUpper(byte(b)) : byte(a) == byte(b));
    };
    m_at1 = 0;
    for (std::size_t at = 1; at < m; ++at)
        if (key(at) < key(m_at1))
            m_at1 = at;
    m_at2 = m - 1 == m_at1 ? 0 : m - 1;
    bool different = !same(m_at1, m_at2);
    for (std::size_t at = 0; at < m; ++at) {
        if (at == m_at1 || (different && same(at, m_at1)))
            continue;
        if (!same(at, m_at1) && (!different || key(at) < key(m_at2))) {
            m_at2 = at;
            different = true;
        }
    }
}

bool LiteralFinder::Find(const MatchQuery& query, MatchSpan& match) const {
    const std::size_t at = Find(query.text, query.from, query.to);
    match.start = at;
    match.end = at + m_strPattern.size();
    return at != query.to;
}

bool LiteralFinder::Matches(const unsigned char* at) const {
    const auto* pattern = reinterpret_cast<const unsigned char*>(m_strPattern.data());
    const std::size_t m = m_strPattern.size();
    if (!m_bIgnoreCase)
        return std::memcmp(at, pattern, m) == 0;
    for (std::size_t j = 0; j < m; ++j)
        if (AsciiUpper(at[j]) != pattern[j])
            return false;
    return true;
}

std::size_t LiteralFinder::FindScalar(const unsigned char* text, std::size_t from,
                                      std::size_t to) const {
    for (std::size_t s = from; s < to; ++s) {
        if ((text[s + m_at1] | m_fold1) == m_byte1 && (text[s + m_at2] | m_fold2) == m_byte2 &&
            Matches(text + s))
            return s;
    }
    return to;
}

#if defined(__x86_64__)

std::size_t LiteralFinder::FindSse2(const unsigned char* text, std::size_t s,
                                    std::size_t to) const {
    const __m128i first = _mm_set1_epi8(static_cast<char>(m_byte1));
    const __m128i last = _mm_set1_epi8(static_cast<char>(m_byte2));
    const __m128i firstFold = _mm_set1_epi8(static_cast<char>(m_fold1));
    const __m128i lastFold = _mm_set1_epi8(static_cast<char>(m_fold2));
    for (; s + 16 <= to; s += 16) {
        const __m128i heads = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + s + m_at1)), firstFold);
        const __m128i tails = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + s + m_at2)), lastFold);
        auto bits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(heads, first), _mm_cmpeq_epi8(tails, last))));
        for (; bits != 0; bits &= bits - 1) {
            const std::size_t at = s + static_cast<std::size_t>(__builtin_ctz(bits));
            if (Matches(text + at))
                return at;
        }
    }
    return FindScalar(text, s, to);
}

// Two vectors a step: most steps find no candidate, and one test tells so for both.
__attribute__((target("avx2"))) std::size_t LiteralFinder::FindAvx2(const unsigned char* text,
                                                                    std::size_t s,
                                                                    std::size_t to) const {
    const __m256i byte1 = _mm256_set1_epi8(static_cast<char>(m_byte1));
    const __m256i byte2 = _mm256_set1_epi8(static_cast<char>(m_byte2));
    const __m256i fold1 = _mm256_set1_epi8(static_cast<char>(m_fold1));
    const __m256i fold2 = _mm256_set1_epi8(static_cast<char>(m_fold2));
    const unsigned char* probe1 = text + m_at1;
    const unsigned char* probe2 = text + m_at2;
#define PELLUMAR_HITS(at)                                                                        \
    _mm256_and_si256(                                                                            \
        _mm256_cmpeq_epi8(                                                                       \
            _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(probe1 + (at))), \
                            fold1),                                                              \
            byte1),                                                                              \
        _mm256_cmpeq_epi8(                                                                       \
            _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(probe2 + (at))), \
                            fold2),                                                              \
            byte2))
    for (; s + 64 <= to; s += 64) {
        const __m256i low = PELLUMAR_HITS(s);
        const __m256i high = PELLUMAR_HITS(s + 32);
        const __m256i any = _mm256_or_si256(low, high);
        if (_mm256_testz_si256(any, any))
            continue;
        uint64_t bits = static_cast<uint32_t>(_mm256_movemask_epi8(low)) |
                        uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(high))} << 32;
        for (; bits != 0; bits &= bits - 1) {
            const std::size_t at = s + static_cast<std::size_t>(__builtin_ctzll(bits));
            if (Matches(text + at))
                return at;
        }
    }
    for (; s + 32 <= to; s += 32) {
        auto bits = static_cast<uint32_t>(_mm256_movemask_epi8(PELLUMAR_HITS(s)));
        for (; bits != 0; bits &= bits - 1) {
            const std::size_t at = s + static_cast<std::size_t>(__builtin_ctz(bits));
            if (Matches(text + at))
                return at;
        }
    }
#undef PELLUMAR_HITS
    return FindSse2(text, s, to);
}

#endif

std::size_t LiteralFinder::Find(const unsigned char* text, std::size_t from, std::size_t to) const {
    if (m_strPattern.empty())
        return from < to ? from : to;
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 ? FindAvx2(text, from, to) : FindSse2(text, from, to);
#else
    return FindScalar(text, from, to);
#endif
}

}  // namespace pellumar
