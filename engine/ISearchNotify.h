#pragma once

#include <string>

#include "CFileException.h"
#include "FileInformation.h"

namespace pellumar {

// The engine's only output. The worker calls these on its own thread, in the order of events.
// A binding must keep that order when it hands them to another thread.
class ISearchNotify {
  public:
    virtual ~ISearchNotify() = default;

    // A file matched (or, listing only, passed the filter). The receiver owns both values. The
    // worker does not wait for the report to be handled.
    virtual void OnSearchFound(std::string path, FileInformation info) = 0;

    // A step on the temporary file failed. Blocks the worker until answered:
    // STOP_NONE retries the step, STOP_SEARCH ends the search, STOP_FILE skips the file.
    // The operation text and the record are valid only during the call.
    virtual int OnSearchError(const char* operation, const CFileException& error) = 0;

    // A failure that cannot be retried: STOP_SEARCH or STOP_FILE.
    virtual int OnSearchErrorNoRetry(const char* operation, const CFileException& error) = 0;

    // The last notification of a search: 0 when the walk ran, 1 when the starting folder could
    // not be made the current folder.
    virtual void OnSearchFinished(int result) = 0;
};

}  // namespace pellumar
