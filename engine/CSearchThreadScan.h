#pragma once

// The worker's per-file state, shared by its scan and its rewrite; not for other users.
#include "CSearchThread.h"
#include "FileView.h"
#include "TempFile.h"

namespace pellumar {

// One scan of one file. What it owns is released in order when it goes: the temporary file
// first, then the folder it was made in.
struct CSearchThread::ScanState {
    ScanState(FileSystem& fileSystem, const std::string& path, const FileStatus& status,
              FileView& fileView, std::vector<char>& writeBuffer)
        : fs(fileSystem),
          strPath(path),
          opened(status),
          view(fileView),
          T(view.Data()),
          n(view.Size()),
          temp(fs, writeBuffer) {}
    ScanState(const ScanState&) = delete;
    ScanState& operator=(const ScanState&) = delete;
    ~ScanState() {
        temp.Discard();
        fs.ReleaseTarget(target);
    }

    FileSystem& fs;
    const std::string& strPath;
    const FolderListing* pWhere = nullptr;  // the listing the file is in, when there is one
    const char* name = nullptr;             // its name in that listing
    NativeHandle file = kNoHandle;          // the file, open for reading
    const FileStatus& opened;               // the file as it was when opened
    FileView& view;
    const unsigned char* T;
    uint64_t n;
    bool found = false;
    int readError = 0;              // the rest of a read file could not be read
    uint64_t written = 0;           // the bytes before it are in the temporary file
    int failure = 0;                // the file holds the text but was not changed: why
    bool changedMeanwhile = false;  // another program changed the file: it is read again
    RewriteTarget target;
    TempFile temp;
};

// What came of scanning a file that is being replaced, over every reading of it.
struct CSearchThread::Attempt {
    const FolderListing* pWhere;
    const char* name;
    const std::string& strPath;
    bool found = false;
    int failure = 0;
    bool changedMeanwhile = false;
};

}  // namespace pellumar
