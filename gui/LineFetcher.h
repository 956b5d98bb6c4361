#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "SearchRequest.h"
#include "StopState.h"
#include "TextLine.h"

namespace pellumar {

// Reads the lines of files on a thread of its own, as a list asks for them: the lines of each
// file that hold a match of the request's text, or, previewing a replacement, its lines that
// would change, old and new. The newest question is answered first: it is what is shown now.
class LineFetcher {
  public:
    enum class Mode { Lines, Changes };

    // What one file came to: its lines, or a note in their place (binary, none, unreadable).
    struct Fetched {
        std::size_t file = 0;
        std::vector<TextLine> lines;
        std::string note;
        // Previewing, the line of the file as it is where each line stands: a new line's number
        // is the one it would have.
        std::vector<uint64_t> openAt;
    };
    // Runs on the fetcher's thread whenever a file's lines come to a queue that was empty: the
    // window's thread is to Take them.
    using Wake = std::function<void()>;

    LineFetcher(const SearchRequest& request, Mode mode, Wake wake);
    LineFetcher(const LineFetcher&) = delete;
    LineFetcher& operator=(const LineFetcher&) = delete;
    // Stops a file's reading where it is, and waits for the thread.
    ~LineFetcher();

    void Ask(std::size_t file, std::string path);
    // The files read since the last call, in the order they were read.
    std::deque<Fetched> Take();

    // What the note of a file without lines says.
    static constexpr const char* kBinary = "binary file matches";
    static constexpr const char* kNoLines = "no matching line";
    static constexpr const char* kNoChanges = "nothing would change";

  private:
    void Run();
    Fetched Fetch(class LineReader& reader, std::size_t file, const std::string& path) const;

    const SearchRequest m_request;
    const Mode m_mode;
    Wake m_wake;
    StopState m_stop;  // set by the window's thread on the way out
    std::mutex m_mutexFiles;
    std::condition_variable m_askedOrEnding;
    std::deque<std::pair<std::size_t, std::string>> m_asked;  // guarded; the window's thread adds
    std::deque<Fetched> m_read;  // guarded by m_mutexFiles; the fetcher's thread adds
    bool m_bEnding = false;      // guarded by m_mutexFiles; the window's thread sets
    std::thread m_thread;
};

}  // namespace pellumar
