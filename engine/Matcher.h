#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

namespace pellumar {

// What one thread's matching keeps between calls: a pattern's match data.
class MatchScratch {
  public:
    virtual ~MatchScratch() = default;
};

// Where one match lies in the bytes searched: its first byte, and the byte just after it.
struct MatchSpan {
    static constexpr std::size_t kNoGroup = std::numeric_limits<std::size_t>::max();

    uint64_t start = 0;
    uint64_t end = 0;
    // A pattern's groups, as offsets in the bytes searched: group i from groups[2i] to
    // groups[2i + 1], both kNoGroup where it took no part. They live in the scratch the match was
    // found with, until its next search.
    const std::size_t* groups = nullptr;
    std::size_t groupCount = 0;
    // No match was found because matching this text took more than the limits allow.
    bool tooComplex = false;
};

// One call's question: the bytes, and the starts to look at.
struct MatchQuery {
    const unsigned char* text = nullptr;
    std::size_t size = 0;
    std::size_t from = 0;
    std::size_t to = 0;
    // Just after an empty match at `from`: a match that starts there must take a byte.
    bool notEmptyAtFrom = false;
    MatchScratch* scratch = nullptr;  // from NewScratch, used by one thread at a time
};

// What finds the text in a file's bytes; the scanner knows nothing else of what it looks for.
// Its calls are const and may come from several threads at once, each with its own scratch.
class Matcher {
  public:
    static constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

    virtual ~Matcher() = default;

    // The leftmost match that starts in [from, to) of the `size` bytes at `text`; false when
    // none starts there. Reads no byte at or past to - 1 + Reach(), nor past `size`.
    virtual bool Find(const MatchQuery& query, MatchSpan& match) const = 0;
    // The most bytes one match takes, or kUnbounded: then the file is searched whole, and its
    // offsets are the file's own.
    virtual std::size_t Reach() const = 0;
    // The fewest bytes a match takes: a file shorter holds none.
    virtual std::size_t Shortest() const = 0;
    // Where the search would look next after a match that ends at `end`: a file whose search an
    // answer ended just after a match is reported only when that lies past its last byte.
    virtual uint64_t NextLook(uint64_t end) const { return end; }
    // The room one thread's searches need, or null.
    virtual std::unique_ptr<MatchScratch> NewScratch() const { return nullptr; }
};

}  // namespace pellumar
