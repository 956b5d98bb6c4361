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
    enum Kind { Found, Error, ErrorNoRetry, Finished } kind = Finished;
    std::string path;
    FileInformation info;
    const char* operation = nullptr;        // Error kinds: valid until answered
    const CFileException* error = nullptr;  // Error kinds: valid until answered
    std::promise<int>* reply = nullptr;     // Error kinds: the worker waits on it
    int result = 0;                         // Finished
};

// Binds the engine's notifications to a queue that the main thread drains in order. The two
// error notifications block the worker until the main thread has answered them.
class CliQueue : public ISearchNotify {
  public:
    void OnSearchFound(std::string path, FileInformation info) override;
    int OnSearchError(const char* operation, const CFileException& error) override;
    int OnSearchErrorNoRetry(const char* operation, const CFileException& error) override;
    void OnSearchFinished(int result) override;

    // Main thread: waits up to `timeout` for events and takes all that are queued.
    std::deque<CliEvent> Take(std::chrono::milliseconds timeout);

  private:
    void Push(CliEvent event);
    int Ask(CliEvent::Kind kind, const char* operation, const CFileException& error);

    std::mutex m_mutexQueue;
    std::condition_variable m_ready;
    std::deque<CliEvent> m_queue;  // guarded by m_mutexQueue; the worker pushes, main takes
};

}  // namespace pellumar::cli
