#include "NotificationQueue.h"

#include <algorithm>
#include <utility>

namespace pellumar {

namespace {

// Questions and the end are handled at once; found and skipped files may wait a little.
bool IsUrgent(const SearchEvent& event) {
    return event.kind != SearchEvent::Kind::Found && event.kind != SearchEvent::Kind::Skipped;
}

}  // namespace

void NotificationQueue::Push(SearchEvent event) {
    bool notify;
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        if (m_bDetached) {
            return;
        }
        const bool urgent = IsUrgent(event);
        m_nUrgent += urgent ? 1 : 0;
        notify = urgent || std::exchange(m_bWaitingForAny, false);
        const bool wasEmpty = m_queue.empty();
        m_queue.push_back(std::move(event));
        if (wasEmpty && m_wake) {
            m_wake();
        }
    }
    if (notify) {
        m_ready.notify_one();
    }
}

void NotificationQueue::OnSearchFound(std::string path, FileInformation info) {
    SearchEvent event;
    event.kind = SearchEvent::Kind::Found;
    if (!m_strCounted.empty() && m_strCounted == path) {
        event.matches = m_nCounted;
        m_strCounted.clear();
    }
    if (m_pChanged && m_strChanged == path) {
        event.changes = std::move(m_pChanged);
    }
    m_pChanged.reset();
    event.path = std::move(path);
    event.info = info;
    Push(std::move(event));
}

void NotificationQueue::OnMatchesCounted(const std::string& path, uint64_t matches) {
    m_strCounted = path;
    m_nCounted = matches;
}

void NotificationQueue::OnFileChanged(const std::string& path,
                                      std::unique_ptr<FileChanges> changes) {
    m_strChanged = path;
    m_pChanged = std::move(changes);
}

void NotificationQueue::OnSearchSkipped(const std::string& path, SkipKind kind, int error) {
    SearchEvent event;
    event.kind = SearchEvent::Kind::Skipped;
    event.path = path;
    event.skip = kind;
    event.error = error;
    Push(std::move(event));
}

ErrorReply NotificationQueue::Ask(SearchEvent::Kind kind, const char* operation,
                                  const CFileException& error) {
    SearchEvent event;
    event.kind = kind;
    event.operation = operation;
    event.record = &error;
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        m_reply.reset();
    }
    Push(std::move(event));
    std::unique_lock<std::mutex> lock(m_mutexQueue);
    m_answered.wait(lock, [this] { return m_reply.has_value() || m_bDetached; });
    return m_bDetached ? ErrorReply::StopSearch : *m_reply;
}

ErrorReply NotificationQueue::OnSearchError(const char* operation, const CFileException& error) {
    return Ask(SearchEvent::Kind::Error, operation, error);
}

ErrorReply NotificationQueue::OnSearchErrorNoRetry(const char* operation,
                                                   const CFileException& error) {
    return Ask(SearchEvent::Kind::ErrorNoRetry, operation, error);
}

void NotificationQueue::OnUndoKept(uint64_t run, uint64_t copiedBytes) {
    SearchEvent event;
    event.kind = SearchEvent::Kind::UndoKept;
    event.undoRun = run;
    event.copiedBytes = copiedBytes;
    Push(std::move(event));
}

void NotificationQueue::OnSearchFinished(int result) {
    SearchEvent event;
    event.kind = SearchEvent::Kind::Finished;
    event.result = result;
    Push(std::move(event));
}

std::deque<SearchEvent> NotificationQueue::Take(std::size_t most) {
    std::lock_guard<std::mutex> lock(m_mutexQueue);
    std::deque<SearchEvent> taken;
    while (!m_queue.empty() && taken.size() < most) {
        m_nUrgent -= IsUrgent(m_queue.front()) ? 1 : 0;
        taken.push_back(std::move(m_queue.front()));
        m_queue.pop_front();
    }
    return taken;
}

std::deque<SearchEvent> NotificationQueue::Wait(std::chrono::milliseconds timeout) {
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

void NotificationQueue::Answer(ErrorReply reply) {
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        m_reply = reply;
    }
    m_answered.notify_one();
}

void NotificationQueue::Detach() {
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        m_bDetached = true;
        m_queue.clear();
        m_nUrgent = 0;
    }
    m_answered.notify_one();
}

}  // namespace pellumar
