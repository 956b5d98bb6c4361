#include "TempFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace pellumar {

namespace {

constexpr size_t kBufferSize = 256 * 1024;
constexpr int kDeleteAttempts = 3;

}  // namespace

int TempFile::Create(const std::string& folder, const FileStatus& like, bool bRetry) {
    Discard();
    const int error = m_fs.CreateTemporary(folder, like, bRetry, m_strPath, m_handle, m_bExists);
    if (error != 0) {
        Discard();
        return error;
    }
    if (m_buffer.size() < kBufferSize) {
        m_buffer.resize(kBufferSize);
    }
    m_nUsed = 0;
    return 0;
}

size_t TempFile::Write(const void* data, size_t size, int* error) {
    const char* bytes = static_cast<const char*>(data);
    size_t taken = 0;
    while (taken < size) {
        if (m_nUsed == m_buffer.size()) {
            *error = FlushBuffer();
            if (*error != 0) {
                return taken;
            }
        }
        const size_t part = std::min(m_buffer.size() - m_nUsed, size - taken);
        std::memcpy(m_buffer.data() + m_nUsed, bytes + taken, part);
        m_nUsed += part;
        taken += part;
    }
    *error = 0;
    return taken;
}

int TempFile::FlushBuffer() {
    size_t done = 0;
    int error = 0;
    while (done < m_nUsed && error == 0) {
        size_t written = 0;
        error = m_fs.WriteSome(m_handle, m_buffer.data() + done, m_nUsed - done, written);
        done += written;
    }
    // Keep what did not reach the file, so that a retry writes it, and nothing twice.
    std::memmove(m_buffer.data(), m_buffer.data() + done, m_nUsed - done);
    m_nUsed -= done;
    return error;
}

int TempFile::Close() {
    if (!IsOpen()) {
        return 0;
    }
    const int error = FlushBuffer();
    const NativeHandle handle = std::exchange(m_handle, kNoHandle);
    if (error != 0) {
        m_fs.Close(handle);
        return error;
    }
    return m_fs.FlushAndClose(handle);
}

int TempFile::RenameOver(const std::string& target) {
    bool kept = false;
    const int error = m_fs.Replace(m_strPath, target, kept);
    if (error == 0 || kept) {
        m_bExists = false;  // in place, or the only copy of the content: never deleted
    }
    return error;
}

void TempFile::Discard() {
    if (IsOpen()) {
        m_fs.Close(std::exchange(m_handle, kNoHandle));
    }
    // A failed delete is tried again: a passing fault should leave nothing behind.
    for (int attempt = 0; m_bExists && attempt < kDeleteAttempts; ++attempt) {
        m_bExists = m_fs.Delete(m_strPath) != 0;
    }
    m_bExists = false;
    m_nUsed = 0;
}

}  // namespace pellumar
