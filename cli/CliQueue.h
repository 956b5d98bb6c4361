#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

#include "ISearchNotify.h"

namespace pellumar::cli {

// One notification on its way from the worker to the main thread.
struct CliEvent {
    enum Kind { Found, Skipped, Error, ErrorNoRetry, Finished } kind = Finished;
    std::string path;                  // Found, Skipped
    SkipKind skip = SkipKind::Unread;  // Skipped
    int skipError = 0;                 // Skipped
    FileInformation info;
    const char* operation = nullptr;        // Error kinds: valid until answered
    const CFileException* error = nullptr;  // Error kinds: valid until answered
    std::promise<int>* reply = nullptr;     // Error kinds: the worker waits on it
    int result = 0;                         // Finished
};

// Binds the engine's notifications to a queue that the main thread drains in order. The two
// error notifications block the worker until the main thread has answered them.
//
// Waking the main thread for every found file would cost the worker a system call each, more
// than listing the file itself: found files are collected for a few milliseconds between takes,
// while errors and the end wake the main thread at once.
class CliQueue : public ISearchNotify {
  public:
    void OnSearchFound(std::string path, FileInformation info) override;
    int OnSearchError(const char* operation, const CFileException& error) override;
    int OnSearchErrorNoRetry(const char* operation, const CFileException& error) override;
    void OnSearchFinished(int result) override;
    void OnSearchSkipped(const std::string& path, SkipKind kind, int error) override;

    // Main thread: waits up to `timeout` for events and takes all that are queued.
    std::deque<CliEvent> Take(std::chrono::milliseconds timeout);

    static constexpr std::chrono::milliseconds kCollectFound{5};

  private:
    void Push(CliEvent event);
    int Ask(CliEvent::Kind kind, const char* operation, const CFileException& error);

    std::mutex m_mutexQueue;
    std::condition_variable m_ready;
    std::deque<CliEvent> m_queue;  // guarded by m_mutexQueue; the worker pushes, main takes
    int m_nUrgent = 0;  // guarded by m_mutexQueue: queued events other than found or skipped files
    bool m_bWaitingForAny = false;  // guarded by m_mutexQueue; main sets it, either clears it
    std::chrono::steady_clock::time_point m_lastTake;  // main thread only
};

}  // namespace pellumar::cli
