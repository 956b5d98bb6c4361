#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace pellumar {

// How far a search has come, for a progress display that polls it from another thread.
class SearchProgress {
  public:
    void FileExamined() { m_nFilesExamined.fetch_add(1, std::memory_order_relaxed); }
    uint64_t FilesExamined() const { return m_nFilesExamined.load(std::memory_order_relaxed); }

    void SetFolder(const std::string& folder) {
        std::lock_guard<std::mutex> lock(m_mutexFolder);
        m_strFolder = folder;
    }
    std::string Folder() const {
        std::lock_guard<std::mutex> lock(m_mutexFolder);
        return m_strFolder;
    }

  private:
    std::atomic<uint64_t> m_nFilesExamined{0};  // written by the worker
    mutable std::mutex m_mutexFolder;
    std::string m_strFolder;  // guarded by m_mutexFolder; written by the worker
};

}  // namespace pellumar
