#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CSearchThread.h"
#include "TempTree.h"

namespace pellumar::test {

using Lines = std::vector<std::string>;

// Records every notification as a line of text, with paths relative to a root and temporary
// file names written "pel*.tmp", and answers the error notifications from a script.
class RecordingSink : public ISearchNotify {
  public:
    explicit RecordingSink(std::string root = "") : m_strRoot(std::move(root)) {}

    // Replies to the next error notifications, in order; after them, Ignore (skip the file).
    void Reply(std::initializer_list<ErrorReply> replies);
    // Runs after each notification has been recorded, with its line.
    void OnEach(std::function<void(const std::string&)> hook) { m_hook = std::move(hook); }

    void OnSearchFound(const std::string& path, const FileInformation& info) override;
    ErrorReply OnSearchError(const char* operation, const CFileException& error) override {
        return Ask("error", operation, error);
    }
    ErrorReply OnSearchErrorNoRetry(const char* operation, const CFileException& error) override {
        return Ask("noretry", operation, error);
    }
    void OnSearchFinished(int result) override { Record("finished " + std::to_string(result)); }
    // "skipped PATH: REASON", or "not changed PATH: REASON".
    void OnSearchSkipped(const std::string& path, SkipKind kind, int error) override;
    void OnMatchesCounted(const std::string& path, uint64_t matches) override {
        Record("counted " + path + ": " + std::to_string(matches));
    }

    // "changed PATH: N hunks" (or "binary"); the changes are kept by path.
    void OnFileChanged(const std::string& path, std::unique_ptr<FileChanges> changes) override;
    FileChanges ChangesOf(const std::string& path) const;

    Lines Found() const { return Select(true); }    // the paths of the "found" lines, in order
    Lines Others() const { return Select(false); }  // every other line
    Lines Told() const {                            // every line, in order
        const std::lock_guard lock(m_mutex);
        return m_lines;
    }
    FileInformation LastInfo() const;

  private:
    void Record(const std::string& line);
    Lines Select(bool found) const;
    ErrorReply Ask(const char* kind, const char* operation, const CFileException& error);

    std::string m_strRoot;
    std::function<void(const std::string&)> m_hook;
    mutable std::mutex m_mutex;
    Lines m_lines;                                 // guarded by m_mutex; written by the worker
    FileInformation m_lastInfo;                    // guarded by m_mutex; written by the worker
    std::deque<ErrorReply> m_replies;              // guarded by m_mutex
    std::map<std::string, FileChanges> m_changes;  // guarded by m_mutex; by full path
};

// The lines in the order of their bytes.
inline Lines Sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Tests ask with the dialog's first-run defaults, except that case matters.
using Request = SearchRequest;

// Runs the search on the calling thread; returns its result.
inline int RunSearch(const Request& r, ISearchNotify& sink, Sys& sys = DefaultSys()) {
    CSearchThread worker(&sink, r, sys);
    return worker.Run();
}

// A search of a tree run at once, and what it told: in the root, or in the folder the request
// names relative to it, answering the questions with `replies`, then Ignore.
struct Heard : RecordingSink {
    Heard(const TempTree& tree, Request request, Sys& sys = DefaultSys(),
          std::initializer_list<ErrorReply> replies = {})
        : RecordingSink(tree.Root()) {
        Reply(replies);
        request.folder = request.folder.empty() ? tree.Root() : tree.Path(request.folder);
        result = RunSearch(request, *this, sys);
    }
    int result;
};

}  // namespace pellumar::test
