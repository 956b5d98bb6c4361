#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ISearchNotify.h"
#include "StopState.h"

namespace pellumar::test {

// Records every notification as a line of text, with paths relative to a root and temporary
// file names written as "pel*.tmp", and answers the error notifications from a script.
class RecordingSink : public ISearchNotify {
  public:
    explicit RecordingSink(std::string root = "") : m_strRoot(std::move(root)) {}

    // Replies to the next error notifications, in order; after them, `fallback`.
    void Reply(std::initializer_list<int> replies, int fallback = STOP_FILE);
    // Called after each notification has been recorded, with its line.
    void OnEach(std::function<void(const std::string&)> hook) { m_hook = std::move(hook); }

    void OnSearchFound(std::string path, FileInformation info) override;
    int OnSearchError(const char* operation, const CFileException& error) override;
    int OnSearchErrorNoRetry(const char* operation, const CFileException& error) override;
    void OnSearchFinished(int result) override;

    std::vector<std::string> Lines() const;
    // The "found" lines' paths only, in order.
    std::vector<std::string> Found() const;
    std::vector<FileInformation> FoundInfo() const;
    // Every line but the found ones.
    std::vector<std::string> Others() const;

  private:
    void Record(const std::string& line);
    std::string Relative(const std::string& path) const;
    int NextReply();

    std::string m_strRoot;
    std::function<void(const std::string&)> m_hook;
    mutable std::mutex m_mutexLines;
    std::vector<std::string> m_lines;          // guarded by m_mutexLines
    std::vector<FileInformation> m_foundInfo;  // guarded by m_mutexLines
    std::deque<int> m_replies;                 // guarded by m_mutexLines
    int m_nFallback = STOP_FILE;
};

}  // namespace pellumar::test
