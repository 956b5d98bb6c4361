#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace pellumar {

// Where one match lies in the bytes searched: its first byte, and the byte just after it.
struct MatchSpan {
    uint64_t start = 0;
    uint64_t end = 0;
};

// What finds the text in a file's bytes; the scanner knows nothing else of what it looks for.
// Its calls are const and may come from several threads at once.
class Matcher {
  public:
    static constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

    virtual ~Matcher() = default;

    // The leftmost match that starts in [from, to) of the `size` bytes at `text`; false when
    // none starts there. Reads no byte at or past to - 1 + Reach(), nor past `size`.
    virtual bool Find(const unsigned char* text, std::size_t size, std::size_t from, std::size_t to,
                      MatchSpan& match) const = 0;
    // The most bytes one match takes, or kUnbounded: then the file is searched whole.
    virtual std::size_t Reach() const = 0;
    // The fewest bytes a match takes: a file shorter holds none.
    virtual std::size_t Shortest() const = 0;
    // Where the search would look next after a match that ends at `end`: a file whose search an
    // answer ended just after a match is reported only when that lies past its last byte.
    virtual uint64_t NextLook(uint64_t end) const { return end; }
};

}  // namespace pellumar
