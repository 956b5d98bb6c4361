#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace pellumar {

// Whether bytes are a binary file's, whose lines are never shown: they hold a NUL byte.
inline bool IsBinary(const unsigned char* bytes, uint64_t size) {
    return size != 0 && std::memchr(bytes, 0, size) != nullptr;  // an empty file has no bytes
}

// Where the lines of a file's bytes begin and end, asked in the order of the file: what was
// already passed is never looked at again, so a long line with many matches costs one pass.
class LineIndex {
  public:
    LineIndex(const unsigned char* bytes, uint64_t size) : m_bytes(bytes), m_size(size) {}

    // The first byte of the line that holds `offset`; offsets asked for never go back. The bytes
    // already looked at are not looked at again, however long the line.
    uint64_t Start(uint64_t offset) {
        for (uint64_t at = offset; at > m_checked; --at) {
            if (m_bytes[at - 1] == '\n') {
                m_known = at;
                break;
            }
        }
        m_checked = std::max(m_checked, offset);
        return m_known;
    }
    // Just after the line feed that ends the line holding `offset`, or the end of the bytes. A
    // line already measured is not measured again.
    uint64_t End(uint64_t offset) const {
        if (offset >= m_size) {
            return m_size;
        }
        if (offset >= m_endAsked && offset < m_end) {
            return m_end;
        }
        const void* feed = std::memchr(m_bytes + offset, '\n', m_size - offset);
        m_endAsked = offset;
        m_end = feed ? static_cast<uint64_t>(static_cast<const unsigned char*>(feed) - m_bytes) + 1
                     : m_size;
        return m_end;
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
    uint64_t m_known = 0;             // the start of the line that holds the last offset asked
    uint64_t m_checked = 0;           // no line feed lies between m_known and it
    mutable uint64_t m_endAsked = 0;  // the last end measured: from this offset
    mutable uint64_t m_end = 0;       // to this line end
    uint64_t m_counted = 0;           // the line feeds before it are counted
    uint64_t m_number = 1;
};

}  // namespace pellumar
