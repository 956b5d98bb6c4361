#pragma once

#include <string>

#include "FileChanges.h"
#include "FileScanner.h"
#include "MatchRecorder.h"
#include "MatchedLines.h"

namespace pellumar {

struct SearchRule;

// Reads one file found by a search for the lines to show of it: where it matches, or what a
// replacement would make of it. It may run beside a search, on any one thread at a time, and
// takes the absolute paths a search reports: a walk moves the current folder as it goes.
class LineReader {
  public:
    LineReader(FileSystem& fs, const SearchRule& rule, const StopState& stop);

    // 0, or the error that kept the file from being read. Given a sink, the lines go there a
    // batch at a time, as MatchRecorder hands them on, and only whether the file is binary is
    // kept in `lines`.
    int Lines(const std::string& path, MatchedLines& lines,
              const MatchRecorder::LineSink& sink = {});
    int Changes(const std::string& path, FileChanges& changes);

  private:
    int Scan(const std::string& path, MatchHandler& handler);

    FileSystem& m_fs;
    const SearchRule& m_rule;
    FileScanner m_scanner;
};

}  // namespace pellumar
