#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "NativeTypes.h"
#include "Sys.h"

namespace pellumar {

class FolderListing;

// Names a folder, so that the walk never enters a folder that is already on its path.
struct FolderId {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FolderId&) const = default;
};

// One entry of a folder that the walk has a use for.
struct FolderEntry {
    const char* name = nullptr;  // valid until the next entry
    uint32_t attributes = 0;     // FILE_ATTRIBUTE_ values; DEVICE for anything not a file
    bool matches = false;        // the name passes the filter
};

// The operations the search needs from the system, in its own terms, over the system-call layer
// in which tests inject failures. Each returns 0 or the system's error code. There is one
// implementation for each platform, chosen at build time.
class FileSystem {
  public:
    explicit FileSystem(Sys& sys);

    // Whether one listing of a folder serves both its files and its subfolders.
    static constexpr bool kListsOnce = kOneListingPerFolder;
    // The identity check found the file changed by another program since it was opened.
    static constexpr int kChangedMeanwhile = -1;

    Sys& GetSys() { return m_sys; }

    // Makes the folder current and names it; false when it cannot be entered.
    bool EnterFolder(const std::string& path, FolderId& id);

    // A file of the listing `where` (by its path when there is no listing), opened for reading.
    int Open(const FolderListing* where, const char* name, const std::string& path,
             NativeHandle& handle);
    int Status(NativeHandle handle, FileStatus& status);
    // The status of a file that is not opened, and whether it could be read: 0, or the error
    // that an open would meet.
    int StatusUnopened(const FolderListing* where, const char* name, const std::string& path,
                       FileStatus& status);
    int Close(NativeHandle handle);
    int ReadAt(NativeHandle handle, void* buffer, size_t size, uint64_t offset, size_t& got);
    int Map(NativeHandle handle, uint64_t size, const unsigned char*& data);
    void Unmap(const unsigned char* data, uint64_t size);
    // Lets the system take back mapped pages in [from, to); returns where the given-back part
    // now ends. Only a hint.
    uint64_t Release(const unsigned char* data, uint64_t from, uint64_t to);

    // The file that a rewrite of `path` changes: the path, or a link's target.
    std::string TargetOf(const std::string& path);
    // Creates a new temporary file in `folder` with the access rights of `like`; a retry tries
    // `path` again first. `path` names the file tried; `bCreated` tells whether one now exists.
    int CreateTemporary(const std::string& folder, const FileStatus& like, bool bRetry,
                        std::string& path, NativeHandle& handle, bool& bCreated);
    int WriteSome(NativeHandle handle, const void* data, size_t size, size_t& written);
    // Flushes the file to the disk and closes it, even when the flush fails.
    int FlushAndClose(NativeHandle handle);
    // Whether `target` may take new content: still writable, and still as it was opened.
    int CheckReplaceable(const std::string& target, const FileStatus& opened);
    // Puts the temporary file in the target's place in one step. `bKept` is set when the
    // temporary file must stay, as it then holds the only copy of the content.
    int Replace(const std::string& temporary, const std::string& target, bool& bKept);
    // Deletes a file; one that is already gone is no error.
    int Delete(const std::string& path);

    // The cause code of the prompts for a system error code.
    static int Cause(int error);

  private:
    Sys& m_sys;
    PlatformState m_state;
};

}  // namespace pellumar
