#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "SearchEvents.h"

namespace pellumar {

// Binds the engine's notifications to a queue that another thread takes in order. The two error
// notifications block the worker until that thread answers them, or until the queue is detached.
//
// Waking the handling thread for every found file would cost the worker a system call each,
// more than finding the file itself: the wake-up comes only when the queue was empty, and the
// waiting side collects found files for a millisecond, while questions and the end wake it at
// once. Longer, and the storage of the reports waiting grows with them: at 5 ms, its fresh pages
// cost a listing more than the wake-ups saved.
class NotificationQueue final : public ISearchNotify {
  public:
    // `wake` runs on the worker's thread, with the queue's lock held, whenever a notification
    // comes to an empty queue. It must not call into the queue.
    explicit NotificationQueue(std::function<void()> wake = {}) : m_wake(std::move(wake)) {}

    void OnSearchFound(const std::string& path, const FileInformation& info) override;
    ErrorReply OnSearchError(const char* operation, const CFileException& error) override;
    ErrorReply OnSearchErrorNoRetry(const char* operation, const CFileException& error) override;
    void OnSearchFinished(int result) override;
    void OnSearchSkipped(const std::string& path, SkipKind kind, int error) override;
    void OnUndoKept(uint64_t run, uint64_t copiedBytes) override;
    // Goes with the file's found report.
    void OnMatchesCounted(const std::string& path, uint64_t matches) override;
    void OnFileChanged(const std::string& path, std::unique_ptr<FileChanges> changes) override;

    // Takes up to `most` notifications, in order, without waiting.
    SearchEvents Take(std::size_t most);
    // Waits up to `timeout` for notifications and takes all that are queued.
    SearchEvents Wait(std::chrono::milliseconds timeout);
    // Gives back notifications taken and handled: their storage is used again.
    void Recycle(SearchEvents handled);
    // Answers the question the worker is waiting on.
    void Answer(ErrorReply reply);
    // Nothing more is queued, and the worker's question, now or later, is answered StopSearch.
    // Called by the thread that takes the notifications.
    void Detach();

    static constexpr std::chrono::milliseconds kCollectFound{1};

  private:
    template <class Fill>
    void Push(SearchEvent::Kind kind, std::string_view path, Fill fill);
    ErrorReply Ask(SearchEvent::Kind kind, const char* operation, const CFileException& error);

    std::function<void()> m_wake;
    std::mutex m_mutexQueue;
    std::condition_variable m_ready;     // the handling thread waits on it
    std::condition_variable m_answered;  // the worker waits on it
    SearchEvents m_queue;                // guarded by m_mutexQueue; the worker adds to it
    SearchEvents m_spare;                // the taking thread's only: storage handed back
    int m_nUrgent = 0;                   // guarded by m_mutexQueue: queued questions and ends
    bool m_bWaitingForAny = false;       // guarded by m_mutexQueue; set by the waiting thread
    bool m_bDetached = false;            // guarded by m_mutexQueue; set by the handling thread
    std::optional<ErrorReply> m_reply;   // guarded by m_mutexQueue; set by the handling thread
    std::chrono::steady_clock::time_point m_lastTake;  // the waiting thread's only
    std::string m_strCounted;  // the worker's only: the file whose count comes with its report
    uint64_t m_nCounted = 0;   // the worker's only
    std::string m_strChanged;  // the worker's only: the file whose changes come with its report
    std::shared_ptr<const FileChanges> m_pChanged;  // the worker's only
};

}  // namespace pellumar
