#include "NotificationQueue.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace pellumar {

namespace {

// Questions and the end are handled at once; found and skipped files may wait a little.
bool IsUrgent(SearchEvent::Kind kind) {
    return kind != SearchEvent::Kind::Found && kind != SearchEvent::Kind::Skipped;
}

}  // namespace

// Fills the next event under the lock, in storage used before where there is some.
template <class Fill>
void NotificationQueue::Push(SearchEvent::Kind kind, std::string_view path, Fill fill) {
    bool notify;
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        if (m_bDetached) {
            return;
        }
        const bool urgent = IsUrgent(kind);
        m_nUrgent += urgent ? 1 : 0;
        notify = urgent || std::exchange(m_bWaitingForAny, false);
        const bool wasEmpty = m_queue.empty();
        fill(m_queue.Add(kind, path));
        if (wasEmpty && m_wake) {
            m_wake();
        }
    }
    if (notify) {
        m_ready.notify_one();
    }
}

void NotificationQueue::OnSearchFound(const std::string& path, const FileInformation& info) {
    std::optional<uint64_t> matches;
    if (!m_strCounted.empty() && m_strCounted == path) {
        matches = m_nCounted;
        m_strCounted.clear();
    }
    std::shared_ptr<const FileChanges> changes;
    if (m_pChanged && m_strChanged == path) {
        changes = std::move(m_pChanged);
    }
    m_pChanged.reset();
    Push(SearchEvent::Kind::Found, path, [&](SearchEvent& event) {
        event.info = info;
        event.matches = matches;
        event.changes = std::move(changes);
    });
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
    Push(SearchEvent::Kind::Skipped, path, [&](SearchEvent& event) {
        event.skip = kind;
        event.error = error;
    });
}

ErrorReply NotificationQueue::Ask(SearchEvent::Kind kind, const char* operation,
                                  const CFileException& error) {
    {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        m_reply.reset();
    }
    Push(kind, {}, [&](SearchEvent& event) {
        event.operation = operation;
        event.record = &error;
    });
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
    Push(SearchEvent::Kind::UndoKept, {}, [&](SearchEvent& event) {
        event.undoRun = run;
        event.copiedBytes = copiedBytes;
    });
}

void NotificationQueue::OnSearchFinished(int result) {
    Push(SearchEvent::Kind::Finished, {}, [&](SearchEvent& event) { event.result = result; });
}

// The queue is taken whole, in a moment under the lock, and handed out from there: a worker
// that waited while the events were handed out one by one would wait at every found file.
SearchEvents NotificationQueue::Take(std::size_t most) {
    SearchEvents taken = std::exchange(m_spare, {});
    taken.Clear();
    std::lock_guard<std::mutex> lock(m_mutexQueue);
    if (most >= m_queue.size()) {  // all of them: the storage changes hands, nothing is copied
        m_nUrgent = 0;
        std::swap(taken, m_queue);
        return taken;
    }
    const std::size_t count = std::min(most, m_queue.size());
    for (std::size_t i = 0; i < count; ++i) {
        m_nUrgent -= IsUrgent(m_queue.front().kind) ? 1 : 0;
        m_queue.MoveFrontTo(taken, 1);
    }
    return taken;
}

SearchEvents NotificationQueue::Wait(std::chrono::milliseconds timeout) {
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
    SearchEvents taken = std::exchange(m_queue, std::exchange(m_spare, {}));
    m_queue.Clear();
    return taken;
}

void NotificationQueue::Recycle(SearchEvents handled) {
    if (!m_spare.HasSlots()) {
        m_spare = std::move(handled);
    }
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
        m_queue.Clear();
        m_nUrgent = 0;
    }
    m_answered.notify_one();
}

}  // namespace pellumar
