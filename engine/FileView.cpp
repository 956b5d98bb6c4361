#include "FileView.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace pellumar {

int FileView::Open(int fd, uint64_t size) {
    Close();
    m_fd = fd;
    return SetSize(size);
}

int FileView::OpenHead(int fd) {
    Close();
    m_fd = fd;
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
    void* address = m_sys.Mmap(static_cast<size_t>(size), m_fd);
    if (address == nullptr) {
        return errno ? errno : ENOMEM;
    }
    m_data = static_cast<const unsigned char*>(address);
    m_size = size;
    m_available = size;
    m_mapped = true;
    return 0;
}

// Reads [from, to) into the buffer; the file ending first is an error unless `bUntilEnd`.
int FileView::ReadRange(uint64_t from, uint64_t to, bool bUntilEnd) {
    uint64_t done = from;
    int interrupted = 0;
    while (done < to) {
        const ssize_t got = m_sys.Pread(m_fd, m_buffer.data() + done,
                                        static_cast<size_t>(to - done), static_cast<off_t>(done));
        if (got < 0 && errno == EINTR && ++interrupted < kInterruptedRetries) {
            continue;
        }
        if (got < 0) {
            return errno ? errno : EIO;
        }
        if (got == 0) {
            return bUntilEnd ? 0 : EIO;  // else the file shrank since its size was read
        }
        done += static_cast<uint64_t>(got);
        m_available = done;
    }
    return 0;
}

void FileView::ReleaseBefore(uint64_t offset) {
    static const auto page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    const uint64_t end = std::min(offset, m_size) / page * page;
    if (!m_mapped || end <= m_released) {
        return;
    }
    // Only a hint: should it fail, the pages simply stay.
    m_sys.Madvise(const_cast<unsigned char*>(m_data) + m_released,
                  static_cast<size_t>(end - m_released), MADV_DONTNEED);
    m_released = end;
}

void FileView::Close() {
    if (m_mapped) {
        m_sys.Munmap(const_cast<unsigned char*>(m_data), static_cast<size_t>(m_size));
    }
    m_data = nullptr;
    m_size = 0;
    m_available = 0;
    m_bSizeKnown = false;
    m_mapped = false;
    m_released = 0;
    m_fd = -1;
}

}  // namespace pellumar
