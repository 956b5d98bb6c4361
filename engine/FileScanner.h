#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "FileSystem.h"
#include "Matcher.h"

namespace pellumar {

class FileView;
class StopState;

// What a match handler makes of a match.
enum class MatchStep {
    Continue,    // the scan goes on to the next match
    Halt,        // the scan ends; the file holds the text
    Withdraw,    // the scan ends, and the file is not reported
    Unreadable,  // the file shrank under the bytes that were to be copied
    Ended,       // the scan ends after this match, as after a stop: an answer gave up the file
};

// Receives each accepted match of a scan, in order, and then the rest of the file.
class MatchHandler {
  public:
    virtual MatchStep OnMatch(const FileView& view, const MatchSpan& match) = 0;
    // Handles a match where that takes only reading the file's bytes and copying them into
    // memory already held: true when it was handled so. It runs inside the scan's read-fault
    // guard, so it may be left by a jump; OnMatch follows for a match it declines.
    virtual bool TakeInPlace(const unsigned char* text, const MatchSpan& match) = 0;
    // Whether the bytes after the last match are wanted, of a file of `size` bytes.
    virtual bool WantsTail(uint64_t size) const = 0;
    virtual MatchStep OnTail(const FileView& view) = 0;

  protected:
    ~MatchHandler() = default;
};

// What came of scanning a file.
struct ScanOutcome {
    int error = 0;       // why the file could not be read as far as the scan needed
    bool found = false;  // it holds the text, and is to be reported
};

// Finds the matcher's matches in files: chooses how each file is read, runs the matcher over it
// a block of starts at a time and tells whether the file was found. The stop state is read
// before every block.
class FileScanner {
  public:
    FileScanner(FileSystem& fs, const Matcher& matcher, const StopState& stop);

    // Searching only. A file's head is read first, as most files that hold the text hold it
    // near the start; its status is read only when its size or its report needs it, and it is
    // then in `status`. Given a handler, every match goes to it; else the first one ends it.
    ScanOutcome Search(NativeHandle file, FileStatus& status, MatchHandler* handler = nullptr);
    // Scans the first `size` bytes of an open file, handing every match to `handler`.
    ScanOutcome Scan(NativeHandle file, uint64_t size, MatchHandler& handler);

  private:
    struct Run;
    enum class Stretch;

    ScanOutcome ScanView(FileView& view, MatchHandler* handler);
    void FindMatches(Run& run, MatchHandler* handler);
    bool NextMatch(Run& run, MatchHandler* handler, MatchSpan& match);
    Stretch FindStretch(Run& run, MatchHandler* handler, MatchSpan& match) const;
    // The bytes that the starts before `end` may need.
    uint64_t NeededFor(const Run& run, uint64_t end) const;
    // Whether the bytes before `offset` are in view; those before `from` are needed no more.
    bool Require(Run& run, uint64_t offset, uint64_t from = 0);

    FileSystem& m_fs;
    const Matcher& m_matcher;
    const StopState& m_stop;
    std::unique_ptr<MatchScratch> m_scratch;  // the matcher's room, for this scanner's thread
    std::vector<unsigned char> m_readBuffer;  // reused for every small file of the search
};

}  // namespace pellumar
