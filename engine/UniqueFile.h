#pragma once

#include <utility>

#include "FileSystem.h"

namespace pellumar {

// Owns one open file and closes it through the platform layer.
class UniqueFile {
  public:
    UniqueFile() = default;
    explicit UniqueFile(FileSystem& fs, NativeHandle handle = kNoHandle)
        : m_fs(&fs), m_handle(handle) {}
    UniqueFile(UniqueFile&& other) noexcept
        : m_fs(other.m_fs), m_handle(std::exchange(other.m_handle, kNoHandle)) {}
    UniqueFile& operator=(UniqueFile&& other) noexcept {
        if (this != &other) {
            Reset();
            m_fs = other.m_fs;
            m_handle = std::exchange(other.m_handle, kNoHandle);
        }
        return *this;
    }
    ~UniqueFile() { Reset(); }

    NativeHandle Get() const { return m_handle; }
    NativeHandle* Receive() { return &m_handle; }  // for an open that fills it in

    // Closes now; 0, or the error that closing reported.
    int Reset() {
        if (m_handle == kNoHandle) {
            return 0;
        }
        return m_fs->Close(std::exchange(m_handle, kNoHandle));
    }

  private:
    FileSystem* m_fs = nullptr;  // set whenever a handle is held
    NativeHandle m_handle = kNoHandle;
};

}  // namespace pellumar
