#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "FileSystem.h"

namespace pellumar {

// The file that receives a file's new content before it takes the file's place. It is deleted
// when its owner goes away, unless it was put in place.
class TempFile {
  public:
    // `buffer` is the write buffer, kept by the caller so that one serves every file.
    TempFile(FileSystem& fs, std::vector<char>& buffer) : m_fs(fs), m_buffer(buffer) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() { Discard(); }

    // Creates a new temporary file beside `target` with the access rights and attributes of
    // `source`, which `like` describes: 0 or the error; Path() then names the file that was
    // tried. A retry tries the same name first. The target must outlive the temporary file.
    int Create(const RewriteTarget& target, NativeHandle source, const FileStatus& like,
               bool bRetry, const std::function<bool()>& giveUp);

    // How bytes are taken in: false when they could not be read.
    using CopyBytes = bool (*)(void* dest, const void* source, size_t size);
    static bool PlainCopy(void* dest, const void* source, size_t size);

    // Takes bytes into the buffered stream; returns how many it took. When writing out fails,
    // *error holds the reason and the bytes not taken may be offered again; when `copy` could
    // not read them, it is FileSystem::kShrankMeanwhile.
    size_t Write(const void* data, size_t size, int* error, CopyBytes copy = PlainCopy);

    // Room for `size` more bytes in the buffer, without writing anything out; null when they
    // do not fit. Bytes copied there count once Taken.
    char* Room(size_t size) {
        return IsOpen() && m_buffer.size() - m_nUsed >= size ? m_buffer.data() + m_nUsed : nullptr;
    }
    void Taken(size_t size) { m_nUsed += size; }

    // Writes out what is buffered, so that Written() tells the new file's size and time: 0 or
    // the error. Complete does it too, where it was not done.
    int WriteOut();
    // Writes out what is buffered and flushes it to the disk: 0 or the error. `flushedAlready`:
    // a flush of its file system took what was written out before to the disk. Where a file that
    // is open cannot take another's place, it is closed as well; elsewhere it stays open, and
    // locked, until it is in place.
    int Complete(bool flushedAlready = false);

    // Takes the target's place in one step, provided that it is still the file `source` as
    // `opened` describes it: 0 or the error. Kept() then tells whether the temporary file had to
    // stay, holding content that exists nowhere else.
    int RenameOver(NativeHandle source, const FileStatus& opened);
    bool Kept() const { return m_bKept; }

    // Deletes and closes the file, if there is one.
    void Discard();

    bool IsOpen() const { return m_handle != kNoHandle; }
    NativeHandle Handle() const { return m_handle; }
    // The temporary file's path, as messages show it.
    std::string Path() const;
    // The new file as it was completed, which it stays when it is put in place.
    const FileStatus& Written() const { return m_written; }
    // The new file as it stands in place, its status changed by the rename; as it was completed
    // where it was closed before.
    const FileStatus& Placed() const { return m_placed; }

  private:
    int FlushBuffer();

    FileSystem& m_fs;
    NativeHandle m_handle = kNoHandle;
    bool m_bExists = false;  // a file of ours stands at m_strName
    bool m_bKept = false;    // the file stays, as the only copy of some content
    const RewriteTarget* m_pTarget = nullptr;
    std::string m_strName;  // beside the target
    FileStatus m_written;
    FileStatus m_placed;
    bool m_bKnown = false;  // m_written names the file at m_strName
    std::vector<char>& m_buffer;
    size_t m_nUsed = 0;
};

}  // namespace pellumar
