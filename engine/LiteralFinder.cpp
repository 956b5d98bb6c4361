#include "LiteralFinder.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pellumar {
namespace {

bool IsLetter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

unsigned char Upper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

}  // namespace

LiteralFinder::LiteralFinder(std::string pattern, bool bIgnoreCase)
    : m_strPattern(std::move(pattern)), m_bIgnoreCase(bIgnoreCase) {
    if (m_strPattern.empty())
        return;
    auto fold = [&](unsigned char c) -> unsigned char {
        return m_bIgnoreCase && IsLetter(c) ? 0x20 : 0;
    };
    const auto first = static_cast<unsigned char>(m_strPattern.front());
    const auto last = static_cast<unsigned char>(m_strPattern.back());
    m_firstFold = fold(first);
    m_lastFold = fold(last);
    m_first = first | m_firstFold;
    m_last = last | m_lastFold;
}

bool LiteralFinder::Matches(const unsigned char* at) const {
    const auto* pattern = reinterpret_cast<const unsigned char*>(m_strPattern.data());
    const std::size_t m = m_strPattern.size();
    if (!m_bIgnoreCase)
        return std::memcmp(at, pattern, m) == 0;
    for (std::size_t j = 0; j < m; ++j)
        if (Upper(at[j]) != pattern[j])
            return false;
    return true;
}

std::size_t LiteralFinder::FindScalar(const unsigned char* text, std::size_t from,
                                      std::size_t to) const {
    const std::size_t lastAt = m_strPattern.size() - 1;
    for (std::size_t s = from; s < to; ++s) {
        if ((text[s] | m_firstFold) == m_first && (text[s + lastAt] | m_lastFold) == m_last &&
            Matches(text + s))
            return s;
    }
    return to;
}

#if defined(__x86_64__)

std::size_t LiteralFinder::FindSse2(const unsigned char* text, std::size_t s,
                                    std::size_t to) const {
    const std::size_t lastAt = m_strPattern.size() - 1;
    const __m128i first = _mm_set1_epi8(static_cast<char>(m_first));
    const __m128i last = _mm_set1_epi8(static_cast<char>(m_last));
    const __m128i firstFold = _mm_set1_epi8(static_cast<char>(m_firstFold));
    const __m128i lastFold = _mm_set1_epi8(static_cast<char>(m_lastFold));
    for (; s + 16 <= to; s += 16) {
        const __m128i heads =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + s)), firstFold);
        const __m128i tails = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + s + lastAt)), lastFold);
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

__attribute__((target("avx2"))) std::size_t LiteralFinder::FindAvx2(const unsigned char* text,
                                                                    std::size_t s,
                                                                    std::size_t to) const {
    const std::size_t lastAt = m_strPattern.size() - 1;
    const __m256i first = _mm256_set1_epi8(static_cast<char>(m_first));
    const __m256i last = _mm256_set1_epi8(static_cast<char>(m_last));
    const __m256i firstFold = _mm256_set1_epi8(static_cast<char>(m_firstFold));
    const __m256i lastFold = _mm256_set1_epi8(static_cast<char>(m_lastFold));
    for (; s + 32 <= to; s += 32) {
        const __m256i heads = _mm256_or_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + s)), firstFold);
        const __m256i tails = _mm256_or_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + s + lastAt)), lastFold);
        auto bits = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(heads, first), _mm256_cmpeq_epi8(tails, last))));
        for (; bits != 0; bits &= bits - 1) {
            const std::size_t at = s + static_cast<std::size_t>(__builtin_ctz(bits));
            if (Matches(text + at))
                return at;
        }
    }
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
