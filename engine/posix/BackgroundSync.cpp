#include "BackgroundSync.h"

#include <cerrno>
#include <system_error>
#include <utility>

namespace pellumar {

BackgroundSync::~BackgroundSync() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_bEnd = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

// Without a thread of its own, the files are flushed at once.
void BackgroundSync::Start(std::vector<File> files) {
    Wait();
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread([this] { Loop(); });
        } catch (const std::system_error&) {
            const int error = Flush(files);
            std::lock_guard lock(m_mutex);
            m_nError = error;
            return;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_files = std::move(files);
        m_bBusy = true;
    }
    m_changed.notify_all();
}

// An error is told once: the flushes after it start clean.
int BackgroundSync::Wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_bBusy; });
    return std::exchange(m_nError, 0);
}

int BackgroundSync::Flush(const std::vector<File>& files) {
    int error = 0;
    for (const File& file : files) {
        const int done = file.dataOnly ? m_sys.Fdatasync(file.fd) : m_sys.Fsync(file.fd);
        if (error == 0 && done != 0) {
            error = errno ? errno : EIO;
        }
    }
    return error;
}

void BackgroundSync::Loop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_bEnd || m_bBusy; });
        if (m_bEnd) {
            return;
        }
        const std::vector<File> files = std::move(m_files);
        lock.unlock();
        const int error = Flush(files);
        lock.lock();
        m_nError = error;
        m_bBusy = false;
        m_changed.notify_all();
    }
}

}  // namespace pellumar
