#include "SearchAhead.h"

#include <algorithm>

namespace pellumar {

namespace {

// How long the worker looks for a result before it sleeps, in pauses of the processor (PAUSE
// takes about 19 ns here).
constexpr int kSpins = 4000;

// How long the second thread looks for work at most: about 0.4 ms, in which the worker lists a
// folder, so that the second thread is still awake when the next folder's files come. Where its
// looks come to nothing (the worker rewrites files, and waits for the disk), it looks less and
// less, down to the least.
constexpr int kMostHelperSpins = 20000;
constexpr int kLeastHelperSpins = 500;

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// The lock is held for a few instructions: past this many pauses its holder has lost its processor.
constexpr int kLockSpins = 1000;

}  // namespace

void SpinLock::lock() {
    for (int spins = 0; m_bHeld.exchange(true, std::memory_order_acquire);) {
        while (m_bHeld.load(std::memory_order_relaxed)) {
            if (++spins < kLockSpins) {
                CpuRelax();
            } else {
                std::this_thread::yield();
            }
        }
    }
}

SearchAhead::SearchAhead(SearchOne search, size_t filesAhead)
    : m_search(std::move(search)),
      m_nAhead(filesAhead),
      m_nHelperSpins(kMostHelperSpins),
      m_thread([this] { Run(); }) {}

SearchAhead::~SearchAhead() {
    End();
    {
        std::lock_guard lock(m_lock);
        m_bQuit = true;
    }
    m_nMoves.fetch_add(1, std::memory_order_release);  // a second thread that looks sees it now
    m_forHelper.notify_one();
    m_thread.join();
}

void SearchAhead::Add(const FolderListing& where, std::string name) {
    std::lock_guard lock(m_lock);
    Item& item = m_items.emplace_back();
    item.where = &where;
    item.name = std::move(name);
    m_nMoves.fetch_add(1, std::memory_order_release);
    WakeHelper();
}

bool SearchAhead::Take(const FolderListing* where, const char* name, FileJob& job) {
    // Where and name of an item never change, and only this thread removes items.
    if (m_items.empty() || m_items.front().where != where || m_items.front().name != name) {
        return false;
    }
    std::unique_lock lock(m_lock);
    Item& item = m_items.front();
    while (item.state == State::Helper) {
        if (!SearchAnother(lock)) {
            WaitForHelper(lock);
        }
    }
    if (item.state == State::Waiting) {
        item.state = State::Worker;
        lock.unlock();
        m_search(0, *item.where, item.name, job);
        lock.lock();
    } else {
        job = std::move(item.result);
    }
    m_items.pop_front();
    ++m_nTaken;
    m_nMoves.fetch_add(1, std::memory_order_release);
    WakeHelper();  // room for one more file ahead
    return true;
}

// While the second thread searches the worker's next file, the worker searches a later one that
// nobody has begun: false when there is none within reach.
bool SearchAhead::SearchAnother(std::unique_lock<SpinLock>& lock) {
    const size_t end = std::min(m_items.size(), 1 + m_nAhead);
    size_t other = 1;
    while (other < end && m_items[other].state != State::Waiting) {
        ++other;
    }
    if (other == end) {
        return false;
    }
    Item& item = m_items[other];
    item.state = State::Worker;
    FileJob job;
    lock.unlock();
    m_search(0, *item.where, item.name, job);
    lock.lock();
    item.result = std::move(job);
    item.state = State::Done;
    return true;
}

// Looks for a while without the lock before it sleeps: a sleep and its wake-up cost two system
// calls, about what a small file takes to search.
void SearchAhead::WaitForHelper(std::unique_lock<SpinLock>& lock) {
    const size_t seen = m_nHelped.load(std::memory_order_relaxed);
    lock.unlock();
    for (int spins = 0; spins < kSpins && m_nHelped.load(std::memory_order_acquire) == seen;
         ++spins) {
        CpuRelax();
    }
    lock.lock();
    m_bWorkerAsleep = true;
    m_forWorker.wait(lock, [&] { return m_items.front().state != State::Helper; });
    m_bWorkerAsleep = false;
}

void SearchAhead::End() {
    std::unique_lock lock(m_lock);
    m_bWorkerAsleep = true;
    m_forWorker.wait(lock, [&] { return !m_bBusy; });
    m_bWorkerAsleep = false;
    m_nTaken += m_items.size();
    m_items.clear();
    m_nNext = m_nTaken;
}

// The second thread looks at the files after the worker's, up to a few ahead of it: how many of
// them it may begin now.
size_t SearchAhead::Claimable() const {
    const size_t first = std::max(m_nNext, m_nTaken + 1);
    const size_t end = m_nTaken + std::min(m_items.size(), 1 + m_nAhead);
    return first < end ? end - first : 0;
}

// Whether the sleeping second thread is to wake: room for the files it waits for, or for every
// file listed so far.
bool SearchAhead::HelperWanted() const {
    const size_t claimable = Claimable();
    return m_bQuit || claimable >= m_nWakeAt || (claimable != 0 && 1 + m_nAhead >= m_items.size());
}

void SearchAhead::Run() {
    std::unique_lock lock(m_lock);
    for (;;) {
        SpinForWork(lock);
        // Asleep, it waits for room for several files: else a worker slower than it wakes it at
        // every file it takes.
        m_nWakeAt = m_bQuit || Claimable() != 0 ? 1 : std::max<size_t>(1, m_nAhead / 2);
        m_bHelperAsleep = true;
        m_forHelper.wait(lock, [this] { return HelperWanted(); });
        m_bHelperAsleep = false;
        if (m_bQuit) {
            return;
        }
        m_nNext = std::max(m_nNext, m_nTaken + 1);
        const size_t at = m_nNext++;
        if (m_items[at - m_nTaken].state != State::Waiting) {
            continue;  // the worker took it meanwhile
        }
        Item& item = m_items[at - m_nTaken];
        item.state = State::Helper;
        m_bBusy = true;
        FileJob job;
        lock.unlock();
        m_search(1, *item.where, item.name, job);
        lock.lock();
        m_bBusy = false;
        item.result = std::move(job);
        item.state = State::Done;
        m_nHelped.fetch_add(1, std::memory_order_release);
        WakeWorker();
    }
}

// The worker comes to the next file, or the next folder, soon: the second thread looks for
// work for a while without the lock before it sleeps, which would cost the worker a system call
// to end. Each move of the worker is looked at, as most of them bring nothing to claim.
void SearchAhead::SpinForWork(std::unique_lock<SpinLock>& lock) {
    if (m_bQuit || Claimable() != 0) {
        return;
    }
    int spins = 0;
    while (spins < m_nHelperSpins && !m_bQuit && Claimable() == 0) {
        const size_t seen = m_nMoves.load(std::memory_order_relaxed);
        lock.unlock();
        while (spins < m_nHelperSpins && m_nMoves.load(std::memory_order_acquire) == seen) {
            CpuRelax();
            ++spins;
        }
        lock.lock();
    }
    const bool found = m_bQuit || Claimable() != 0;
    m_nHelperSpins = found ? std::min(m_nHelperSpins * 2, kMostHelperSpins)
                           : std::max(m_nHelperSpins / 2, kLeastHelperSpins);
}

// With the lock held: the sleeper set its flag under it before it slept, so none is missed.
void SearchAhead::WakeHelper() {
    if (m_bHelperAsleep && HelperWanted()) {
        m_forHelper.notify_one();
    }
}

void SearchAhead::WakeWorker() {
    if (m_bWorkerAsleep) {
        m_forWorker.notify_one();
    }
}

}  // namespace pellumar
