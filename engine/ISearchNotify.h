#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "CFileException.h"
#include "FileChanges.h"
#include "FileInformation.h"
#include "StopState.h"

namespace pellumar {

// Why a file or folder was passed over.
enum class SkipKind {
    Unread,      // it could not be read (a folder: entered or listed)
    NotChanged,  // it holds the text, but its new content could not take its place
};

// The engine's only output. The worker calls these on its own thread, in the order of events.
// A binding must keep that order when it hands them to another thread.
class ISearchNotify {
  public:
    virtual ~ISearchNotify() = default;

    // A file matched (or, listing only, passed the filter). Both values are valid only during the
    // call. The worker does not wait for the report to be handled.
    virtual void OnSearchFound(const std::string& path, const FileInformation& info) = 0;

    // A step on the temporary file failed. Blocks the worker until answered. The operation
    // text and the record are valid only during the call.
    virtual ErrorReply OnSearchError(const char* operation, const CFileException& error) = 0;

    // A failure that cannot be retried: to be answered StopSearch or SkipFile.
    virtual ErrorReply OnSearchErrorNoRetry(const char* operation, const CFileException& error) = 0;

    // The last notification of a search: 0 when the walk ran, 1 when the starting folder could
    // not be made the current folder.
    virtual void OnSearchFinished(int result) = 0;

    // A file or folder was passed over, for the reason `error` (FileSystem::ErrorText tells it
    // in words). Not-regular files and names already walked are passed over without this. A
    // file not changed is told before its found report, if it has one. The window keeps its
    // silence about these; the worker does not wait.
    virtual void OnSearchSkipped(const std::string& /*path*/, SkipKind /*kind*/, int /*error*/) {}

    // Counting matches, just before the found report of the file: how many it holds.
    virtual void OnMatchesCounted(const std::string& /*path*/, uint64_t /*matches*/) {}

    // Replacing with changes asked for, just before the counted and found reports of a file
    // that changed (in a dry run, that would change): its changed lines. The receiver owns them.
    virtual void OnFileChanged(const std::string& /*path*/,
                               std::unique_ptr<FileChanges> /*changes*/) {}

    // Just before the finished notification of a replacement that kept old content for undo:
    // the run's number in the undo store, and the bytes that had to be copied there.
    virtual void OnUndoKept(uint64_t /*run*/, uint64_t /*copiedBytes*/) {}
};

}  // namespace pellumar
