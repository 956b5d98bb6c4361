// A cautious reading of a pattern's text: the literal text every match holds, and whether its
// matches stay within a line.
#include "PatternShape.h"

#include <cstring>
#include <vector>

#include "ByteRanks.h"

namespace pellumar {

namespace {

bool IsAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

// Escapes after which a letter takes more characters, or changes what the reading assumes:
// the reading gives up.
constexpr const char* kUnfollowedEscapes = "xocpPgkQENKu0123456789";
// Escapes that may match a line feed, or look past one.
constexpr const char* kLineEscapes = "nrsSWDHvVRXCzZG";

class Reader {
  public:
    Reader(std::string_view pattern, bool bIgnoreCase) : m_p(pattern), m_bIgnoreCase(bIgnoreCase) {}

    PatternShape Read();

  private:
    bool Step();
    bool Escape();
    bool Class();
    bool Group();
    bool CloseGroup();
    std::size_t SkipGroupHead(bool& plain) const;
    bool Quantifier(std::size_t length);
    void Literal(unsigned char c);
    void EndRun();
    std::size_t BraceQuantifier(std::size_t at) const;

    // The pattern, or a group of it: the runs of literal text it must match.
    struct Level {
        std::vector<std::string> runs;
        bool alternatives = false;  // a | in it
        bool plain = true;          // a group whose runs its parent must match too, unrepeated
    };

    std::string_view m_p;
    bool m_bIgnoreCase;
    std::size_t m_i = 0;
    bool m_lineBound = true;
    bool m_lastWasLiteral = false;  // the last item was a literal byte of the current run
    std::string m_run;
    std::vector<Level> m_levels{1};
};

PatternShape Reader::Read() {
    while (m_i < m_p.size()) {
        if (!Step()) {
            return {};
        }
    }
    EndRun();
    PatternShape shape;
    shape.lineBound = m_lineBound;
    if (m_levels.size() != 1 || m_levels[0].alternatives) {
        return shape;
    }
    // The run whose rarest byte is rarest, then the longest.
    int best = 256;
    for (const std::string& run : m_levels[0].runs) {
        int rarest = 256;
        for (const char c : run) {
            rarest = std::min<int>(rarest, kByteRank[static_cast<unsigned char>(c)]);
        }
        if (rarest < best || (rarest == best && run.size() > shape.literal.size())) {
            best = rarest;
            shape.literal = run;
        }
    }
    return shape;
}

// One item of the pattern; false when the reading gives up.
bool Reader::Step() {
    const auto c = static_cast<unsigned char>(m_p[m_i]);
    switch (c) {
        case '\\':
            return Escape();
        case '[':
            EndRun();
            return Class();
        case '(':
            EndRun();
            return Group();
        case ')':
            return CloseGroup();
        case '|':
            m_levels.back().alternatives = true;
            EndRun();
            ++m_i;
            return true;
        case '?':
        case '*':
        case '+':
            return Quantifier(1);
        case '{':
            if (const std::size_t length = BraceQuantifier(m_i)) {
                return Quantifier(length);
            }
            Literal(c);
            ++m_i;
            return true;
        case '.':
        case '^':
        case '$':
            EndRun();
            ++m_i;
            return true;
        default:
            Literal(c);
            ++m_i;
            return true;
    }
}

bool Reader::Escape() {
    if (m_i + 1 >= m_p.size()) {
        return false;
    }
    const auto e = static_cast<unsigned char>(m_p[m_i + 1]);
    m_i += 2;
    if (e >= 0x80 || !IsAsciiAlnum(e)) {
        Literal(e);  // an escaped sign stands for itself
        return true;
    }
    if (std::strchr(kUnfollowedEscapes, e) != nullptr) {
        return false;
    }
    if (std::strchr(kLineEscapes, e) != nullptr) {
        m_lineBound = false;
    }
    EndRun();
    return true;
}

// A character class, to its closing bracket.
bool Reader::Class() {
    std::size_t j = m_i + 1;
    if (j < m_p.size() && m_p[j] == '^') {
        m_lineBound = false;  // a class of what it does not name takes a line feed
        ++j;
    }
    if (j < m_p.size() && m_p[j] == ']') {
        ++j;
    }
    for (; j < m_p.size() && m_p[j] != ']'; ++j) {
        const auto c = static_cast<unsigned char>(m_p[j]);
        if (c == '\\') {
            if (j + 1 >= m_p.size() || m_p[j + 1] == 'Q' || m_p[j + 1] == 'E') {
                return false;
            }
            const auto e = static_cast<unsigned char>(m_p[j + 1]);
            if (IsAsciiAlnum(e) && std::strchr("wdhbf", e) == nullptr) {
                m_lineBound = false;  // whatever else a letter stands for, it may be a line feed
            }
            ++j;
        } else if (c == '[' && j + 1 < m_p.size() && m_p[j + 1] == ':') {
            m_lineBound = false;
            const std::size_t close = m_p.find(":]", j + 2);
            if (close == std::string_view::npos) {
                return false;
            }
            j = close + 1;
        } else if (c < 0x20) {
            m_lineBound = false;
        }
    }
    if (j >= m_p.size()) {
        return false;
    }
    m_i = j + 1;
    return true;
}

// A group's opening, read past what follows its parenthesis: only the kinds that change nothing
// of the pattern's options.
bool Reader::Group() {
    ++m_i;
    if (m_i >= m_p.size() || m_p[m_i] == '*') {
        return false;  // a verb or an option at the start
    }
    Level level;
    if (m_p[m_i] == '?') {
        const std::size_t close = SkipGroupHead(level.plain);
        if (close == std::string_view::npos) {
            return false;
        }
        m_i = close;
    }
    m_levels.push_back(std::move(level));
    return true;
}

// Where a group's content begins after "(?": its kind (`plain` when what it matches is part of
// the match), or npos for the kinds this reading does not follow: comments, option settings,
// conditions and callouts.
std::size_t Reader::SkipGroupHead(bool& plain) const {
    const std::size_t at = m_i + 1;  // just after the question mark
    const char kind = at < m_p.size() ? m_p[at] : '\0';
    const auto after = [this](std::size_t from, char end) {
        const std::size_t found = m_p.find(end, from);
        return found == std::string_view::npos ? found : found + 1;
    };
    const char next = at + 1 < m_p.size() ? m_p[at + 1] : '\0';
    plain = kind == ':' || kind == '>';
    switch (kind) {
        case ':':
        case '>':
        case '|':
        case '=':
        case '!':
            return at + 1;
        case '<':
            if (next == '=' || next == '!') {
                plain = false;
                return at + 2;
            }
            plain = true;
            return after(at + 1, '>');  // a named group
        case '\'':
            plain = true;
            return after(at + 1, '\'');
        case 'P':
            plain = next == '<';
            return plain ? after(at + 1, '>') : m_p.find(')', at);  // named, or a reference
        case '-':  // a recursion to a group before, or options turned off
            return next >= '0' && next <= '9' ? m_p.find(')', at) : std::string_view::npos;
        case '&':
        case 'R':
        case '+':
            return m_p.find(')', at);  // a recursion: nothing of its own
        default:
            return kind >= '0' && kind <= '9' ? m_p.find(')', at) : std::string_view::npos;
    }
}

// A group's end: its runs are its parent's too where it is plain, has no alternatives and is
// not repeated.
bool Reader::CloseGroup() {
    EndRun();
    ++m_i;
    if (m_levels.size() < 2) {
        return false;
    }
    Level group = std::move(m_levels.back());
    m_levels.pop_back();
    const bool repeated =
        m_i < m_p.size() && (std::strchr("?*+", m_p[m_i]) != nullptr || BraceQuantifier(m_i) != 0);
    if (group.plain && !group.alternatives && !repeated) {
        std::vector<std::string>& runs = m_levels.back().runs;
        runs.insert(runs.end(), group.runs.begin(), group.runs.end());
    }
    return true;
}

// A quantifier of `length` characters, with its lazy or possessive sign: the byte before it may
// be there any number of times, so it leaves the run.
bool Reader::Quantifier(std::size_t length) {
    if (m_lastWasLiteral && !m_run.empty()) {
        m_run.pop_back();
    }
    EndRun();
    m_i += length;
    if (m_i < m_p.size() && (m_p[m_i] == '?' || m_p[m_i] == '+')) {
        ++m_i;
    }
    return true;
}

void Reader::Literal(unsigned char c) {
    const unsigned char folded = c | 0x20;
    // In either case, k and s also match letters beyond ASCII.
    const bool foldsBeyond = m_bIgnoreCase && (folded == 'k' || folded == 's');
    if (c < 0x20 || c >= 0x80 || foldsBeyond) {
        if (c == '\n' || c == '\r') {
            m_lineBound = false;
        }
        EndRun();
        return;
    }
    m_run += static_cast<char>(c);
    m_lastWasLiteral = true;
}

void Reader::EndRun() {
    if (!m_run.empty()) {
        m_levels.back().runs.push_back(std::move(m_run));
        m_run.clear();
    }
    m_lastWasLiteral = false;
}

// The length of a {n}, {n,} or {n,m} at `at`, or 0 when the brace is a plain character.
std::size_t Reader::BraceQuantifier(std::size_t at) const {
    std::size_t j = at + 1;
    const std::size_t first = j;
    while (j < m_p.size() && m_p[j] >= '0' && m_p[j] <= '9') {
        ++j;
    }
    if (j == first) {
        return 0;
    }
    if (j < m_p.size() && m_p[j] == ',') {
        ++j;
        while (j < m_p.size() && m_p[j] >= '0' && m_p[j] <= '9') {
            ++j;
        }
    }
    return j < m_p.size() && m_p[j] == '}' ? j + 1 - at : 0;
}

}  // namespace

PatternShape ShapeOf(std::string_view pattern, bool bIgnoreCase) {
    return Reader(pattern, bIgnoreCase).Read();
}

}  // namespace pellumar
