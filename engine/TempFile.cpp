#include "TempFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace pellumar {

namespace {

constexpr size_t kBufferSize = 256 * 1024;
constexpr int kDeleteAttempts = 3;
constexpr unsigned kNameCount = 0x10000;

// The next number to try for a name; shared by all searches of the process.
std::atomic<unsigned> g_nextName{static_cast<unsigned>(
    std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid())};

std::string NameIn(const std::string& folder, unsigned number) {
    char name[16];
    std::snprintf(name, sizeof name, "pel%04X.tmp", number);
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

}  // namespace

TempFile::TempFile(Sys& sys, std::vector<char>& buffer) : m_sys(sys), m_buffer(buffer) {}

int TempFile::Create(const std::string& folder, const struct stat& like, bool bRetry) {
    Discard();
    int error = EEXIST;
    for (unsigned attempt = 0; attempt < kNameCount && error == EEXIST; ++attempt) {
        if (!bRetry || attempt > 0) {
            m_nNumber = g_nextName.fetch_add(1, std::memory_order_relaxed) & 0xFFFF;
        }
        m_strPath = NameIn(folder, m_nNumber);
        m_fd = m_sys.Open(m_strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          0600);
        error = m_fd < 0 ? errno : 0;
    }
    if (error != 0) {
        m_fd = -1;
        return error;
    }
    m_bExists = true;
    error = SetPermissions(like);
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

int TempFile::SetPermissions(const struct stat& like) {
    mode_t mode = like.st_mode & 07777;
    if (like.st_uid != m_sys.Geteuid() || like.st_gid != m_sys.Getegid()) {
        if (m_sys.Fchown(m_fd, like.st_uid, like.st_gid) != 0) {
            // Never hand set-id bits to a file that another owner now holds.
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        }
    }
    return m_sys.Fchmod(m_fd, mode) == 0 ? 0 : errno;
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
    int interrupted = 0;
    while (done < m_nUsed) {
        const ssize_t written = m_sys.Write(m_fd, m_buffer.data() + done, m_nUsed - done);
        if (written < 0 && errno == EINTR && ++interrupted < kInterruptedRetries) {
            continue;
        }
        if (written <= 0) {
            error = written < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(written);
    }
    // Keep what did not reach the file, so that a retry writes it, and nothing twice.
    std::memmove(m_buffer.data(), m_buffer.data() + done, m_nUsed - done);
    m_nUsed -= done;
    return error;
}

int TempFile::Close() {
    if (m_fd < 0) {
        return 0;
    }
    int error = FlushBuffer();
    if (error == 0 && m_sys.Fsync(m_fd) != 0) {
        error = errno;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (m_sys.Close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

int TempFile::RenameOver(const std::string& target) {
    if (m_sys.Rename(m_strPath.c_str(), target.c_str()) != 0) {
        return errno;
    }
    m_bExists = false;
    return 0;
}

void TempFile::Discard() {
    if (m_fd >= 0) {
        m_sys.Close(m_fd);
        m_fd = -1;
    }
    // A failed delete is tried again: a passing fault should leave nothing behind.
    for (int attempt = 0; m_bExists && attempt < kDeleteAttempts; ++attempt) {
        m_bExists = m_sys.Unlink(m_strPath.c_str()) != 0 && errno != ENOENT;
    }
    m_bExists = false;
    m_nUsed = 0;
}

}  // namespace pellumar
