#include "CliQueue.h"

#include <algorithm>
#include <utility>

namespace pellumar::cli {

void CliQueue::Push(CliEvent event) {
    bool wake;
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        const bool urgent = event.kind != CliEvent::Found && event.kind != CliEvent::Skipped;
        m_nUrgent += urgent ? 1 : 0;
        wake = urgent || std::exchange(m_bWaitingForAny, false);
        m_queue.push_back(std::move(event));
    }
    if (wake) {
        m_ready.notify_one();
    }
}

void CliQueue::OnSearchFound(std::string path, FileInformation info) {
    CliEvent event;
    event.kind = CliEvent::Found;
    event.path = std::move(path);
    event.info = info;
    Push(std::move(event));
}

void CliQueue::OnSearchSkipped(const std::string& path, SkipKind kind, int error) {
    CliEvent event;
    event.kind = CliEvent::Skipped;
    event.path = path;
    event.skip = kind;
    event.skipError = error;
    Push(std::move(event));
}

int CliQueue::Ask(CliEvent::Kind kind, const char* operation, const CFileException& error) {
    std::promise<int> reply;
    std::future<int> answer = reply.get_future();
    CliEvent event;
    event.kind = kind;
    event.operation = operation;
    event.error = &error;
    event.reply = &reply;
    Push(std::move(event));
    return answer.get();
}

int CliQueue::OnSearchError(const char* operation, const CFileException& error) {
    return Ask(CliEvent::Error, operation, error);
}

int CliQueue::OnSearchErrorNoRetry(const char* operation, const CFileException& error) {
    return Ask(CliEvent::ErrorNoRetry, operation, error);
}

void CliQueue::OnSearchFinished(int result) {
    CliEvent event;
    event.kind = CliEvent::Finished;
    event.result = result;
    Push(std::move(event));
}

std::deque<CliEvent> CliQueue::Take(std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::unique_lock<std::mutex> lock(m_mutexQueue);
    m_ready.wait_until(lock, std::min(m_lastTake + kCollectFound, start + timeout),
                       [this] { return m_nUrgent > 0; });
    m_bWaitingForAny = m_queue.empty();
    m_ready.wait_until(lock, start + timeout, [this] { return !m_queue.empty(); });
    m_bWaitingForAny = false;
    m_nUrgent = 0;
    m_lastTake = Clock::now();
    return std::exchange(m_queue, {});
}

}  // namespace pellumar::cli
