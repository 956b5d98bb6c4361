#include "PatternReference.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

namespace pellumar::test {

namespace {

bool ValidUtf8(const std::string& text) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    const std::unique_ptr<pcre2_code, void (*)(pcre2_code*)> any(
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(""), 0, PCRE2_UTF, &error, &offset, nullptr),
        pcre2_code_free);
    const std::unique_ptr<pcre2_match_data, void (*)(pcre2_match_data*)> data(
        pcre2_match_data_create(1, nullptr), pcre2_match_data_free);
    return pcre2_match(any.get(), reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                       data.get(), nullptr) >= 0;
}

}  // namespace

std::optional<Substituted> SubstituteAll(const std::string& text, const std::string& pattern,
                                         const std::string& replacement, bool ignoreCase) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    const uint32_t options =
        PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_MULTILINE | (ignoreCase ? PCRE2_CASELESS : 0);
    const std::unique_ptr<pcre2_code, void (*)(pcre2_code*)> code(
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options, &error,
                      &offset, nullptr),
        pcre2_code_free);
    if (!code) {
        return std::nullopt;
    }
    // Without its fast matching the library checks the text again at each match.
    pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);
    uint32_t matchesEmpty = 0;
    pcre2_pattern_info(code.get(), PCRE2_INFO_MATCHEMPTY, &matchesEmpty);
    if (matchesEmpty != 0 && !ValidUtf8(text)) {
        return std::nullopt;
    }
    const uint32_t substitute =
        PCRE2_SUBSTITUTE_GLOBAL | PCRE2_SUBSTITUTE_UNSET_EMPTY | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH;
    std::string out(text.size() * 2 + 64, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        PCRE2_SIZE length = out.size();
        const int count = pcre2_substitute(
            code.get(), reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, substitute,
            nullptr, nullptr, reinterpret_cast<PCRE2_SPTR>(replacement.data()), replacement.size(),
            reinterpret_cast<PCRE2_UCHAR*>(out.data()), &length);
        if (count == PCRE2_ERROR_NOMEMORY) {
            out.resize(length);  // the length it needs
            continue;
        }
        if (count < 0) {
            return std::nullopt;
        }
        out.resize(length);
        return Substituted{out, static_cast<std::size_t>(count)};
    }
    return std::nullopt;
}

}  // namespace pellumar::test
