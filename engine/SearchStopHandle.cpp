#include "SearchStopHandle.h"

#include <sched.h>

#include <chrono>
#include <thread>

#include "StopState.h"

namespace pellumar {

void SearchStopHandle::RequestStop() const {
    if (!m_state) {
        return;
    }
    RequestStopNow();
    ::sched_yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void SearchStopHandle::RequestStopNow() const {
    if (m_state) {
        m_state->store(STOP_SEARCH, std::memory_order_relaxed);
    }
}

bool StopState::EndsBeforeEntry() {
    int current = Current();
    if (current == STOP_SEARCH) {
        return true;
    }
    if (current != STOP_NONE) {
        Clearing();
        // Fails harmlessly when a stop came in between.
        m_nStop->compare_exchange_strong(current, STOP_NONE, std::memory_order_acq_rel);
    }
    return false;
}

void StopState::Store(ErrorReply reply) {
    const int value = static_cast<int>(reply);
    if (value == STOP_NONE) {
        Clearing();  // Retry: the stop state goes back to none
    }
    int current = Current();
    while (current != STOP_SEARCH &&
           !m_nStop->compare_exchange_weak(current, value, std::memory_order_acq_rel)) {
    }
}

}  // namespace pellumar
