#pragma once

#include <atomic>
#include <memory>

#include "SearchStopHandle.h"

namespace pellumar {

// The values of the worker's stop state.
enum : int {
    STOP_NONE = 0,    // go on
    STOP_SEARCH = 1,  // end the whole search
    STOP_FILE = 2,    // give up the current file, go on with the next
};

// The answer to an error notification; each is stored in the stop state as its value.
enum class ErrorReply : int {
    Retry = STOP_NONE,         // repeat the step that failed
    StopSearch = STOP_SEARCH,  // end the whole search
    SkipFile = STOP_FILE,      // give up the file, go on with the next
};

// The worker's side of the stop state that it shares with whoever may stop it: STOP_NONE until
// the search is to end, then STOP_SEARCH for good. Every part of the search reads only that. An
// answer to a question is the affair of the file it was asked about: only one that ends the
// search is stored here.
class StopState {
  public:
    StopState() : m_nStop(std::make_shared<std::atomic<int>>(STOP_NONE)) {}

    bool Stopped() const { return m_nStop->load(std::memory_order_relaxed) != STOP_NONE; }
    // The answer to a question: StopSearch ends the search; the others concern only the file.
    void Answered(ErrorReply reply) {
        if (reply == ErrorReply::StopSearch) {
            m_nStop->store(STOP_SEARCH, std::memory_order_relaxed);
        }
    }
    SearchStopHandle Handle() const { return SearchStopHandle(m_nStop); }

  private:
    // Written by the stop handles, from any thread, and by the worker: only ever STOP_SEARCH.
    std::shared_ptr<std::atomic<int>> m_nStop;
};

}  // namespace pellumar
