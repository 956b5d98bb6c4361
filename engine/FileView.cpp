#include "FileView.h"

#include <algorithm>
#include <cerrno>

namespace pellumar {

int FileView::Open(NativeHandle file, uint64_t size) {
    Close();
    m_file = file;
    return SetSize(size);
}

int FileView::OpenHead(NativeHandle file) {
    Close();
    m_file = file;
    if (m_buffer.size() < kHead) {
        m_buffer.resize(kHead);
    }
    m_data = m_buffer.data();
    m_size = kHead;
    const int error = ReadRange(0, kHead, true);
    m_bSizeKnown = m_available < kHead;
    m_size = m_available;
    return error;
}

int FileView::SetSize(uint64_t size) {
    m_bSizeKnown = true;
    if (size > kReadLimit) {
        return Map(size);
    }
    if (m_buffer.size() < size) {
        m_buffer.resize(static_cast<size_t>(size));  // keeps the head already read
    }
    m_data = m_buffer.data();
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

// Reads [from, to) into the buffer; the file ending first is an error unless `bUntilEnd`.
int FileView::ReadRange(uint64_t from, uint64_t to, bool bUntilEnd) {
    uint64_t done = from;
    while (done < to) {
        size_t got = 0;
        const int error =
            m_fs.ReadAt(m_file, m_buffer.data() + done, static_cast<size_t>(to - done), done, got);
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
    m_file = kNoHandle;
}

}  // namespace pellumar
