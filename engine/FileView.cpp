#include "FileView.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pellumar {

int FileView::Open(NativeHandle file, uint64_t size) {
    Close();
    m_file = file;
    return SetSize(size);
}

int FileView::OpenHead(NativeHandle file) {
    Close();
    m_file = file;
    Reserve(kHead);
    m_size = kHead;
    const int error = ReadRange(0, kHead, true);
    m_bSizeKnown = m_available < kHead;
    m_size = m_available;
    return error;
}

int FileView::SetSize(uint64_t size) {
    m_bSizeKnown = true;
    if (size > kReadLimit && m_windowKeep == 0) {
        return Map(size);
    }
    m_window = m_windowKeep != 0 && size > kWindow;  // larger unwindowed files were mapped above
    if (m_window) {
        // The window is as large as the buffer has become, and never less than twice what it
        // must keep, so that each slide reads at least as much as it keeps.
        Reserve(std::max({kWindow, 2 * m_windowKeep, Room()}));
        m_size = size;
        return 0;
    }
    Reserve(size);  // keeps the head already read
    m_size = size;
    m_available = std::min(m_available, size);
    return ReadRange(m_available, std::min(size, kHead));
}

int FileView::Map(uint64_t size) {
    if (const int error = m_fs.Map(m_file, size, m_data)) {
        return error;
    }
    m_size = size;
    m_available = size;
    m_mapped = true;
    return 0;
}

// Moves the window to start at `from`, keeping the bytes it already holds from there, and fills
// it as far as the file goes.
int FileView::Slide(uint64_t from) {
    Align(std::clamp(from, m_base, m_available));
    return ReadRange(m_available, std::min(m_size, m_base + Room()));
}

void FileView::Reserve(uint64_t bytes) {
    if (m_buffer.size() < bytes + kAlign) {
        m_buffer.resize(static_cast<size_t>(bytes + kAlign));
    }
    Align(m_base);  // where the buffer moved, the bytes in view stand elsewhere in their lines
}

void FileView::Align(uint64_t base) {
    const auto start = reinterpret_cast<uintptr_t>(m_buffer.data());
    const size_t lead = (base - start) % kAlign;
    const size_t from = m_lead + static_cast<size_t>(base - m_base);
    std::memmove(m_buffer.data() + lead, m_buffer.data() + from,
                 static_cast<size_t>(m_available - std::min(m_available, base)));
    m_base = base;
    m_lead = lead;
    m_data = m_buffer.data() + lead;
}

// Reads [from, to) into the buffer; the file ending first is an error unless `bUntilEnd`.
int FileView::ReadRange(uint64_t from, uint64_t to, bool bUntilEnd) {
    uint64_t done = from;
    while (done < to) {
        size_t got = 0;
        const int error = m_fs.ReadAt(m_file, m_buffer.data() + m_lead + (done - m_base),
                                      static_cast<size_t>(to - done), done, got);
        if (error != 0) {
            return error;
        }
        if (got == 0) {
            return bUntilEnd
                       ? 0
                       : FileSystem::kShrankMeanwhile;  // else it shrank since its size was read
        }
        done += got;
        m_available = done;
    }
    return 0;
}

void FileView::ReleaseBefore(uint64_t offset) {
    if (m_mapped && offset > m_released) {
        m_released = m_fs.Release(m_data, m_released, std::min(offset, m_size));
    }
}

void FileView::Close() {
    if (m_mapped) {
        m_fs.Unmap(m_data, m_size);
    }
    m_data = nullptr;
    m_size = 0;
    m_available = 0;
    m_bSizeKnown = false;
    m_mapped = false;
    m_released = 0;
    m_window = false;
    m_base = 0;
    m_lead = 0;
    m_file = kNoHandle;
}

}  // namespace pellumar
