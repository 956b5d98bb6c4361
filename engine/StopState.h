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

// The worker's side of the stop state that it shares with whoever may stop it. Others only
// ever store STOP_SEARCH, and the worker never replaces that value.
class StopState {
  public:
    StopState() : m_nStop(std::make_shared<std::atomic<int>>(STOP_NONE)) {}

    int Current() const { return m_nStop->load(std::memory_order_relaxed); }
    bool Stopped() const { return Current() != STOP_NONE; }
    // Before each entry of the walk: true when the search is to end. A skip of the previous
    // file ends here.
    bool EndsBeforeEntry();
    // Records an answer to an error notification.
    void Store(ErrorReply reply);
    SearchStopHandle Handle() const { return SearchStopHandle(m_nStop); }

    // Taken before a search on another thread that a stop state may cut short. Untouched then
    // tells whether none could have: no stop state at either end, and none cleared between (an
    // answer Ignore, for another file, set and cleared while the file was searched).
    class Witness {
      public:
        explicit Witness(const StopState& stop)
            : m_stop(stop), m_nClears(stop.Clears()), m_bStopped(stop.StoppedNow()) {}
        bool Untouched() const {
            return !m_bStopped && !m_stop.StoppedNow() && m_stop.Clears() == m_nClears;
        }

      private:
        const StopState& m_stop;
        uint64_t m_nClears;
        bool m_bStopped;
    };

  private:
    // Read so that a clear seen is a count seen: the count grows before each clear.
    bool StoppedNow() const { return m_nStop->load(std::memory_order_acquire) != STOP_NONE; }
    uint64_t Clears() const { return m_nClears->load(std::memory_order_acquire); }
    void Clearing() { m_nClears->fetch_add(1, std::memory_order_release); }

    // Written by the worker: how often it may have cleared the stop state. Copies share it.
    std::shared_ptr<std::atomic<uint64_t>> m_nClears = std::make_shared<std::atomic<uint64_t>>(0);
    // Shared with the stop handles: they store STOP_SEARCH, the worker everything else.
    std::shared_ptr<std::atomic<int>> m_nStop;
};

}  // namespace pellumar
