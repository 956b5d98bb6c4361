// A regular expression, matched with the pattern library.
#include "PatternFinder.h"

#include <cstring>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "PatternShape.h"

namespace pellumar {

namespace {

constexpr uint32_t kOptions = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_MULTILINE;
constexpr PCRE2_SIZE kJitStackLeast = 32 << 10;
constexpr PCRE2_SIZE kJitStackMost = 8 << 20;

template <class T, void (*Free)(T*)>
struct Freer {
    void operator()(T* p) const { Free(p); }
};
template <class T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Freer<T, Free>>;

// The pattern library's message for an error code.
std::string ErrorMessage(int code) {
    PCRE2_UCHAR buffer[256];
    if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0) {
        return "error " + std::to_string(code);
    }
    return reinterpret_cast<const char*>(buffer);
}

// How many characters the `bytes` bytes of UTF-8 at `text` hold.
std::size_t Characters(std::string_view text, std::size_t bytes) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < bytes && i < text.size(); ++i) {
        count += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    }
    return count;
}

}  // namespace

struct PatternFinder::Code {
    Owned<pcre2_code, pcre2_code_free> code;
};

class PatternFinder::Scratch final : public MatchScratch {
  public:
    explicit Scratch(const pcre2_code* code)
        : data(pcre2_match_data_create_from_pattern(code, nullptr)),
          context(pcre2_match_context_create(nullptr)),
          stack(pcre2_jit_stack_create(kJitStackLeast, kJitStackMost, nullptr)) {
        if (context && stack) {
            pcre2_jit_stack_assign(context.get(), nullptr, stack.get());
        }
    }

    int Match(const Code& code, const unsigned char* text, std::size_t size, std::size_t from,
              uint32_t options) {
        if (!data || !context) {
            return PCRE2_ERROR_NOMEMORY;
        }
        return pcre2_match(code.code.get(), text, size, from, options, data.get(), context.get());
    }

    Owned<pcre2_match_data, pcre2_match_data_free> data;
    Owned<pcre2_match_context, pcre2_match_context_free> context;
    Owned<pcre2_jit_stack, pcre2_jit_stack_free> stack;
};

PatternFinder::~PatternFinder() = default;

std::unique_ptr<PatternFinder> PatternFinder::Compile(std::string_view pattern, bool bIgnoreCase,
                                                      PatternFault& fault) {
    const uint32_t options = kOptions | (bIgnoreCase ? PCRE2_CASELESS : 0);
    std::unique_ptr<PatternFinder> finder(new PatternFinder());
    int error = 0;
    PCRE2_SIZE offset = 0;
    finder->m_code = std::make_unique<Code>();
    finder->m_code->code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()),
                                             pattern.size(), options, &error, &offset, nullptr));
    if (!finder->m_code->code) {
        fault = {ErrorMessage(error), Characters(pattern, offset) + 1};
        return nullptr;
    }
    pcre2_jit_compile(finder->m_code->code.get(), PCRE2_JIT_COMPLETE);  // else it is interpreted
    uint32_t shortest = 0;
    pcre2_pattern_info(finder->m_code->code.get(), PCRE2_INFO_MINLENGTH, &shortest);
    finder->m_shortest = shortest;
    const PatternShape shape = ShapeOf(pattern, bIgnoreCase);
    if (!shape.literal.empty()) {
        finder->m_literal.emplace(shape.literal, bIgnoreCase);
        finder->m_lineBound = shape.lineBound;
    }
    return finder;
}

std::unique_ptr<MatchScratch> PatternFinder::NewScratch() const {
    return std::make_unique<Scratch>(m_code->code.get());
}

std::size_t PatternFinder::Groups() const {
    uint32_t count = 0;
    pcre2_pattern_info(m_code->code.get(), PCRE2_INFO_CAPTURECOUNT, &count);
    return count;
}

int PatternFinder::GroupNamed(std::string_view name) const {
    const std::string text(name);
    const int number = pcre2_substring_number_from_name(m_code->code.get(),
                                                        reinterpret_cast<PCRE2_SPTR>(text.c_str()));
    return number > 0 ? number : -1;
}

// After an empty match the search looks for a longer one at the same place, then on from the
// next place the library itself would try, as its global substitution does.
bool PatternFinder::Find(const MatchQuery& query, MatchSpan& match) const {
    match.tooComplex = false;
    auto& scratch = static_cast<Scratch&>(*query.scratch);
    if (query.from >= query.to || query.from > query.size) {
        return false;
    }
    if (m_literal && !query.notEmptyAtFrom) {
        return FindWithLiteral(query, query.from, match);
    }
    const uint32_t options = query.notEmptyAtFrom ? PCRE2_NOTEMPTY_ATSTART : 0;
    return Take(scratch.Match(*m_code, query.text, query.size, query.from, options), query, scratch,
                match);
}

// Every match holds the literal: where it is not, there is none. Where every match lies within
// a line, only the lines that hold it are matched.
bool PatternFinder::FindWithLiteral(const MatchQuery& query, std::size_t from,
                                    MatchSpan& match) const {
    auto& scratch = static_cast<Scratch&>(*query.scratch);
    const std::size_t length = m_literal->size();
    if (query.size < length) {
        return false;
    }
    const std::size_t last = query.size - length + 1;  // no literal starts at or after it
    while (from < last) {
        const std::size_t at = m_literal->Find(query.text, from, last);
        if (at == last) {
            return false;
        }
        if (!m_lineBound) {
            return Take(scratch.Match(*m_code, query.text, query.size, from, 0), query, scratch,
                        match);
        }
        std::size_t lineStart = at;
        while (lineStart > from && query.text[lineStart - 1] != '\n') {
            --lineStart;
        }
        const void* feed = std::memchr(query.text + at, '\n', query.size - at);
        const std::size_t lineEnd =
            feed ? static_cast<std::size_t>(static_cast<const unsigned char*>(feed) - query.text)
                 : query.size;
        const int result = scratch.Match(*m_code, query.text, lineEnd, lineStart, 0);
        if (result != PCRE2_ERROR_NOMATCH) {
            return Take(result, query, scratch, match);
        }
        from = lineEnd + 1;
    }
    return false;
}

// A match found: taken when it starts among the starts asked for.
bool PatternFinder::Take(int result, const MatchQuery& query, Scratch& scratch,
                         MatchSpan& match) const {
    if (result == PCRE2_ERROR_NOMATCH) {
        return false;
    }
    const PCRE2_SIZE* groups = pcre2_get_ovector_pointer(scratch.data.get());
    // Any failure (a limit reached, or memory) leaves the file as it is; so does a match that
    // would end before it starts or start before the starts asked for.
    if (result <= 0 || groups[0] < query.from || groups[1] < groups[0]) {
        match.tooComplex = true;
        return false;
    }
    if (groups[0] >= query.to) {
        return false;
    }
    match.start = groups[0];
    match.end = groups[1];
    match.groups = groups;
    match.groupCount = static_cast<std::size_t>(result);
    return true;
}

}  // namespace pellumar
