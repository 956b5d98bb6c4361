#include "BackgroundSync.h"

#include <cerrno>

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

void BackgroundSync::Start(std::vector<File> files) {
    Wait();
    {
        std::lock_guard lock(m_mutex);
        m_files = std::move(files);
        m_bBusy = true;
        m_nError = 0;
    }
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { Loop(); });
    }
    m_changed.notify_all();
}

int BackgroundSync::Wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_bBusy; });
    return m_nError;
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
        int error = 0;
        for (const File& file : files) {
            const int done = file.dataOnly ? m_sys.Fdatasync(file.fd) : m_sys.Fsync(file.fd);
            if (error == 0 && done != 0) {
                error = errno ? errno : EIO;
            }
        }
        lock.lock();
        m_nError = error;
        m_bBusy = false;
        m_changed.notify_all();
    }
}

}  // namespace pellumar
