#include "FileView.h"

#include <cerrno>

namespace pellumar {

int FileView::Open(int fd, uint64_t size) {
    Close();
    if (size <= kReadLimit) {
        return ReadAll(fd, size);
    }
    void* address = m_sys.Mmap(static_cast<size_t>(size), fd);
    if (address == nullptr) {
        return errno ? errno : ENOMEM;
    }
    m_data = static_cast<const unsigned char*>(address);
    m_size = size;
    m_mapped = true;
    return 0;
}

int FileView::ReadAll(int fd, uint64_t size) {
    if (m_buffer.size() < size) {
        m_buffer.resize(static_cast<size_t>(size));
    }
    uint64_t done = 0;
    while (done < size) {
        const ssize_t got = m_sys.Pread(fd, m_buffer.data() + done,
                                        static_cast<size_t>(size - done), static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno ? errno : EIO;
        }
        if (got == 0) {
            return EIO;  // the file shrank since its size was read
        }
        done += static_cast<uint64_t>(got);
    }
    m_data = m_buffer.data();
    m_size = size;
    return 0;
}

void FileView::Close() {
    if (m_mapped) {
        m_sys.Munmap(const_cast<unsigned char*>(m_data), static_cast<size_t>(m_size));
    }
    m_data = nullptr;
    m_size = 0;
    m_mapped = false;
}

}  // namespace pellumar
