#pragma once

#include <atomic>
#include <memory>

namespace pellumar {

// A worker's stop state, shared so that a stop request stays harmless after the worker has
// ended and been deleted.
class SearchStopHandle {
  public:
    SearchStopHandle() = default;
    explicit SearchStopHandle(std::shared_ptr<std::atomic<int>> state)
        : m_state(std::move(state)) {}

    // Sets the state to STOP_SEARCH, then yields the processor twice (at once, then for 10 ms).
    // Does nothing when the handle holds no state.
    void RequestStop() const;

    // Only the store, for contexts that must not sleep (a signal handler).
    void RequestStopNow() const;

  private:
    std::shared_ptr<std::atomic<int>> m_state;
};

}  // namespace pellumar
