#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FileSystem.h"
#include "FolderListing.h"

namespace pellumar {

class StopState;

// Reads the folders the walk enters next, on a second thread, in the walk's own order (depth
// first, each folder's subfolders as they are listed), while the walk hands on the files of the
// folders before. Where files are listed rather than searched, reading folders is most of the
// walk's work, and the second thread has no files to search.
//
// The walk still opens and enters each folder itself, and takes a folder's entries from here only
// when they were read whole from the folder it entered; any other folder it reads itself, as it
// would alone. A read that fails is dropped here, never told: the walk meets the failure itself.
class FolderReadAhead {
  public:
    FolderReadAhead(FileSystem& fs, const StopState& stop, bool bHiddenFolders);
    FolderReadAhead(const FolderReadAhead&) = delete;
    FolderReadAhead& operator=(const FolderReadAhead&) = delete;
    ~FolderReadAhead();  // stops the thread and waits for it

    // Begins below a folder the walk has listed, `subfolders` in the order the walk enters them;
    // once only, at the first folder that has any.
    void Start(const FolderState& top, const FileId& topId, std::vector<std::string> subfolders);
    // The entries of the folder the walk has just entered, named `name` in the folder `parent`,
    // when they were read from that very folder; null when the walk is to read them itself.
    // Waits while the folder is being read.
    std::unique_ptr<FolderRead> Take(const FileId& parent, const std::string& name,
                                     const FileId& id);

  private:
    struct Pending {
        FileId parent;
        std::string name;
        std::string relative;  // below the top folder
    };
    void Run(int top, const FileId& topId, std::vector<std::string> subfolders);
    std::unique_ptr<FolderRead> Read(int top, const Pending& pending,
                                     std::vector<std::string>& subfolders);
    bool Publish(std::unique_ptr<FolderRead> read, const Pending* next);
    void SetReading(const Pending* next);  // with m_mutexReads held

    FileSystem& m_fs;
    const StopState& m_stop;
    const bool m_bHiddenFolders;
    std::unique_ptr<char[]> m_buffer;  // the reader's only: one batch of entries
    std::vector<char> m_entries;       // the reader's only: a folder's entries so far
    std::mutex m_mutexReads;
    std::condition_variable m_changed;                // either side waits on it
    std::deque<std::unique_ptr<FolderRead>> m_reads;  // guarded by m_mutexReads; the reader adds
    bool m_bReading = false;                          // guarded by m_mutexReads; set by the reader
    FileId m_readingParent;                           // guarded by m_mutexReads; set by the reader
    std::string m_strReadingName;                     // guarded by m_mutexReads; set by the reader
    size_t m_nBytesAhead = 0;                         // guarded by m_mutexReads: of m_reads
    std::atomic<uint64_t> m_nHandedOver{0};           // the reader adds, under m_mutexReads
    bool m_bEnd = false;                              // guarded by m_mutexReads; set by the walk
    std::thread m_thread;
};

}  // namespace pellumar
