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

}  // namespace pellumar
