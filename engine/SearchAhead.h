#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FileJob.h"

namespace pellumar {

class FolderListing;

// A lock for a few instructions at a time between two threads on their own processors: it
// spins, where a sleeping mutex costs each of them a system call whenever the other holds it.
class SpinLock {
  public:
    void lock();
    void unlock() { m_bHeld.store(false, std::memory_order_release); }

  private:
    std::atomic<bool> m_bHeld{false};
};

// Searches the next files the walk lists on a second thread, whatever folders they are in, while
// the worker searches the one in hand. The worker keeps the order: it takes each file's result
// in the order the files were named, searching a file itself when the second thread has not
// begun it, and it alone reports, checks the stop before each entry and asks questions. The
// second thread runs at most a few files ahead, so that a stop leaves little begun.
class SearchAhead {
  public:
    // Searches `name` in the listing into the job's search results, with the searching parts of
    // the thread that calls it.
    using SearchOne = std::function<void(int helper, const FolderListing& where,
                                         const std::string& name, FileJob& job)>;

    SearchAhead(SearchOne search, size_t filesAhead);
    SearchAhead(const SearchAhead&) = delete;
    SearchAhead& operator=(const SearchAhead&) = delete;
    ~SearchAhead();

    // One more file to search, `name` in the listing, which stays open until the file is taken
    // or the search ends.
    void Add(const FolderListing& where, std::string name);
    // The next named file's job, when it is `name` in `where`: true, with it in `job`, once it is
    // searched (here, when the second thread has not begun it). False, and nothing searched, when
    // the next file is another or none is left.
    bool Take(const FolderListing* where, const char* name, FileJob& job);
    // Forgets the files not taken: the second thread is idle when it returns.
    void End();

  private:
    enum class State : unsigned char { Waiting, Worker, Helper, Done };
    struct Item {
        const FolderListing* where = nullptr;
        std::string name;
        State state = State::Waiting;
        FileJob result;
    };
    void Run();
    size_t Claimable() const;
    bool HelperWanted() const;
    void SpinForWork(std::unique_lock<SpinLock>& lock);
    bool SearchAnother(std::unique_lock<SpinLock>& lock);
    void WaitForHelper(std::unique_lock<SpinLock>& lock);
    void WakeHelper();
    void WakeWorker();

    SearchOne m_search;
    const size_t m_nAhead;

    SpinLock m_lock;                          // guards every field below, except where said
    std::condition_variable_any m_forHelper;  // files to search, or the end
    std::condition_variable_any m_forWorker;  // a file searched, or the second thread idle
    bool m_bHelperAsleep = false;             // each is told only when it sleeps
    size_t m_nWakeAt = 1;                     // how many files the sleeping helper waits for
    int m_nHelperSpins;  // how long the second thread looks for work: only it uses this
    bool m_bWorkerAsleep = false;
    // The files not taken yet, the worker's next first. Only the worker adds and removes them;
    // where and name of each never change, and the deque keeps them in place meanwhile.
    std::deque<Item> m_items;
    size_t m_nTaken = 0;   // how many files the worker has taken: the number of the first item
    size_t m_nNext = 0;    // the number of the next file the second thread looks at
    bool m_bBusy = false;  // the second thread searches a file outside the lock
    bool m_bQuit = false;
    // How many files the second thread has searched: written by it, read by the worker to wait
    // without the lock at first.
    std::atomic<size_t> m_nHelped{0};
    // How often the worker has moved on (to a new folder, or past a file): written by it, read by
    // the second thread in the same way.
    std::atomic<size_t> m_nMoves{0};
    std::thread m_thread;  // last: it starts once the rest is made
};

}  // namespace pellumar
