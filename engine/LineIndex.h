#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace pellumar {

// Whether bytes are a binary file's, whose lines are never shown: they hold a NUL byte.
inline bool IsBinary(const unsigned char* bytes, uint64_t size) {
    return std::memchr(bytes, 0, size) != nullptr;
}

// Where the lines of a file's bytes begin and end, asked in the order of the file: what was
// already passed is never looked at again, so a long line with many matches costs one pass.
class LineIndex {
  public:
    LineIndex(const unsigned char* bytes, uint64_t size) : m_bytes(bytes), m_size(size) {}

    // The first byte of the line that holds `offset`; offsets asked for never go back.
    uint64_t Start(uint64_t offset) {
        const unsigned char* from = m_bytes + m_known;
        for (const unsigned char* p = m_bytes + offset; p > from; --p) {
            if (p[-1] == '\n') {
                m_known = static_cast<uint64_t>(p - m_bytes);
                return m_known;
            }
        }
        return m_known;
    }
    // Just after the line feed that ends the line holding `offset`, or the end of the bytes.
    uint64_t End(uint64_t offset) const {
        if (offset >= m_size) {
            return m_size;
        }
        const void* feed = std::memchr(m_bytes + offset, '\n', m_size - offset);
        return feed ? static_cast<uint64_t>(static_cast<const unsigned char*>(feed) - m_bytes) + 1
                    : m_size;
    }
    // The number, from 1, of the line that starts at `start`, a line start not before the last.
    uint64_t Number(uint64_t start) {
        m_number += static_cast<uint64_t>(
            std::count(m_bytes + m_counted, m_bytes + std::max(start, m_counted), '\n'));
        m_counted = std::max(start, m_counted);
        return m_number;
    }
    // Whether `offset` lies on no line: at the end, just after a last line feed, or in nothing.
    bool PastLastLine(uint64_t offset) const {
        return offset >= m_size && (m_size == 0 || m_bytes[m_size - 1] == '\n');
    }

  private:
    const unsigned char* m_bytes;
    uint64_t m_size;
    uint64_t m_known = 0;    // a line start no later than any offset still to be asked
    uint64_t m_counted = 0;  // the line feeds before it are counted
    uint64_t m_number = 1;
};

}  // namespace pellumar
