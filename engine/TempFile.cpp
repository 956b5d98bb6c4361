#include "TempFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace pellumar {

namespace {

constexpr size_t kBufferSize = 256 * 1024;
constexpr int kDeleteAttempts = 3;

}  // namespace

// The file is held until it is in place or deleted: another run passes over a file of this
// name that is held. That run looks for a moment, so the lock is waited for.
int TempFile::Create(const RewriteTarget& target, NativeHandle source, const FileStatus& like,
                     bool bRetry, const std::function<bool()>& giveUp) {
    Discard();
    m_pTarget = &target;
    m_bKept = false;
    m_bKnown = false;
    int error = m_fs.CreateTemporary(target, source, like, bRetry, m_strName, m_handle, m_bExists);
    if (error == 0) {
        error = m_fs.Lock(m_handle, giveUp);
    }
    if (error == 0) {
        error = m_fs.StatusAndGeneration(m_handle, m_written);
        m_bKnown = error == 0;
    }
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

bool TempFile::PlainCopy(void* dest, const void* source, size_t size) {
    std::memcpy(dest, source, size);
    return true;
}

size_t TempFile::Write(const void* data, size_t size, int* error, CopyBytes copy) {
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
        if (!copy(m_buffer.data() + m_nUsed, bytes + taken, part)) {
            *error = FileSystem::kShrankMeanwhile;
            return taken;
        }
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

int TempFile::WriteOut() {
    int error = IsOpen() ? FlushBuffer() : 0;
    if (error == 0 && IsOpen()) {
        error = m_fs.StatusAndGeneration(m_handle, m_written);
    }
    return error;
}

int TempFile::Complete(bool flushedAlready) {
    if (!IsOpen()) {
        return 0;
    }
    const bool writesLeft = m_nUsed != 0;  // bytes the flush before did not see
    int error = FlushBuffer();
    if (error == 0 && (!flushedAlready || writesLeft)) {
        error = m_fs.Flush(m_handle);
    }
    if (error == 0) {
        error = m_fs.StatusAndGeneration(m_handle, m_written);
    }
    if (!FileSystem::kKeepsOpen) {
        const int closed = m_fs.Close(std::exchange(m_handle, kNoHandle));
        error = error != 0 ? error : closed;
    }
    return error;
}

std::string TempFile::Path() const {
    return m_pTarget ? m_fs.PathBeside(*m_pTarget, m_strName) : m_strName;
}

int TempFile::RenameOver(NativeHandle source, const FileStatus& opened) {
    bool kept = false;
    const int error = m_fs.Replace(*m_pTarget, m_strName, m_written, source, opened, kept);
    m_bKept = kept;
    m_placed = m_written;
    if (error == 0 && IsOpen()) {
        m_fs.Status(m_handle, m_placed);
    }
    if (error == 0 || error == FileSystem::kSavedOver || kept) {
        m_bExists = false;  // in place, or the only copy of the content: never deleted
        if (IsOpen()) {
            m_fs.Close(std::exchange(m_handle, kNoHandle));  // its content is on the disk
        }
    }
    return error;
}

// Deleted before it is closed, so that no other run finds it unlocked under its name; where a
// file that is open cannot be deleted, closed first.
void TempFile::Discard() {
    if (!FileSystem::kKeepsOpen && IsOpen()) {
        m_fs.Close(std::exchange(m_handle, kNoHandle));
    }
    // A failed delete is tried again: a passing fault should leave nothing behind.
    for (int attempt = 0; m_bExists && attempt < kDeleteAttempts; ++attempt) {
        m_bExists = m_fs.Delete(*m_pTarget, m_strName, m_bKnown ? &m_written : nullptr) != 0;
    }
    m_bExists = false;
    if (IsOpen()) {
        m_fs.Close(std::exchange(m_handle, kNoHandle));
    }
    m_nUsed = 0;
}

}  // namespace pellumar
