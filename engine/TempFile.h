#pragma once

#include <cstddef>
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

    // Creates a new temporary file in `folder` with the access rights of `like`: 0 or the
    // error; Path() then names the file that was tried. A retry tries the same name first.
    int Create(const std::string& folder, const FileStatus& like, bool bRetry = false);

    // Takes bytes into the buffered stream; returns how many it took. When writing out fails,
    // *error holds the reason and the bytes not taken may be offered again.
    size_t Write(const void* data, size_t size, int* error);

    // Writes out what is buffered, flushes it to the disk and closes: 0 or the error.
    int Close();

    // Takes the place of `target` in one step: 0 or the error.
    int RenameOver(const std::string& target);

    // Closes and deletes the file, if there is one.
    void Discard();

    bool IsOpen() const { return m_handle != kNoHandle; }
    const std::string& Path() const { return m_strPath; }

  private:
    int FlushBuffer();

    FileSystem& m_fs;
    NativeHandle m_handle = kNoHandle;
    bool m_bExists = false;  // a file of ours stands at m_strPath
    std::string m_strPath;
    std::vector<char>& m_buffer;
    size_t m_nUsed = 0;
};

}  // namespace pellumar
