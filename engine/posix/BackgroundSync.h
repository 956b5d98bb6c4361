#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "Sys.h"

namespace pellumar {

// Flushes files to the disk on a thread of its own, so that the caller's own flush runs at the
// same time: two flushes at once cost about what one costs.
class BackgroundSync {
  public:
    explicit BackgroundSync(Sys& sys) : m_sys(sys) {}
    BackgroundSync(const BackgroundSync&) = delete;
    BackgroundSync& operator=(const BackgroundSync&) = delete;
    ~BackgroundSync();

    struct File {
        int fd;
        bool dataOnly;  // its size and blocks did not change: the data is enough
    };
    // Flushes each file in turn; the files stay open until Wait returns.
    void Start(std::vector<File> files);
    // Waits for the flushes started last: 0, or the first error.
    int Wait();

  private:
    void Loop();
    int Flush(const std::vector<File>& files);

    Sys& m_sys;
    std::mutex m_mutex;  // guards every field below
    std::condition_variable m_changed;
    std::vector<File> m_files;  // written by the caller's thread, emptied by the flushing one
    bool m_bBusy = false;       // written by both, under the mutex
    bool m_bEnd = false;        // written by the caller's thread
    int m_nError = 0;           // written by the flushing thread
    std::thread m_thread;       // started with the first flush
};

}  // namespace pellumar
