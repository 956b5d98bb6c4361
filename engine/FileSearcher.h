#pragma once

#include <string>

#include "FileScanner.h"

namespace pellumar {

class FilesSeen;
class ISearchNotify;
class StopState;
struct FileJob;
struct SearchRequest;
class Replacement;

// Searches files that it leaves as they are: searching only, with counts when asked, and a dry
// run, which counts what a replacement would change. It tells what it finds through the sink.
class FileSearcher {
  public:
    FileSearcher(ISearchNotify& notify, const StopState& stop, const SearchRequest& request,
                 const Replacement& replacement, FilesSeen& seen)
        : m_notify(notify),
          m_stop(stop),
          m_request(request),
          m_replacement(replacement),
          m_seen(seen) {}

    // Searches an open file into its job with the scanner of the thread that calls it. A count
    // that a stop cut short is not told.
    void Search(FileScanner& scanner, NativeHandle file, FileJob& job) const;
    // Tells a job searched: 0, or the error that kept the file from being read.
    int Report(const std::string& strPath, const FileJob& job);
    // What a replacement would change, counted: a file found only where some match differs from
    // its replacement, once for each name that a replacement would rewrite.
    int DryRun(FileScanner& scanner, FileJob& job);
    // A file found, as it is.
    void Found(const std::string& strPath, const FileStatus& status);

  private:
    ISearchNotify& m_notify;
    const StopState& m_stop;
    const SearchRequest& m_request;
    const Replacement& m_replacement;
    FilesSeen& m_seen;
};

}  // namespace pellumar
