#pragma once

#include <cstdint>

#include "FileInformation.h"

namespace pellumar {

// Every system call the engine makes goes through this layer, so that tests can make any one
// of them fail. Each call follows the Win32 convention: a failure result, with the reason in
// LastError(). Types are the layer's own, so that the system's header stays out of the engine.
class Sys {
  public:
    using Handle = void*;
    // A handle that names nothing, as CreateFileA and FindFirstFileA fail with it.
    static Handle InvalidHandle();

    struct FindData {
        uint32_t attributes = 0;
        char name[260] = {};
    };

    virtual ~Sys() = default;

    virtual Handle CreateFileA(const char* path, uint32_t access, uint32_t share,
                               uint32_t disposition, uint32_t flags);
    virtual bool GetFileInformationByHandle(Handle file, FileInformation* info);
    virtual bool GetFileAttributesExA(const char* path, FileInformation* info);
    // A read at `offset`, as an overlapped read of a synchronous handle makes it.
    virtual bool ReadFile(Handle file, void* buffer, uint32_t size, uint64_t offset,
                          uint32_t* read);
    virtual bool WriteFile(Handle file, const void* data, uint32_t size, uint32_t* written);
    virtual bool FlushFileBuffers(Handle file);
    virtual bool CloseHandle(Handle handle);
    // A read-only mapping of the whole file, without a name; and a read view of all of it.
    virtual Handle CreateFileMappingA(Handle file);
    virtual const void* MapViewOfFile(Handle mapping);
    virtual bool UnmapViewOfFile(const void* view);
    // `name` holds 260 characters.
    virtual unsigned GetTempFileNameA(const char* folder, const char* prefix, char* name);
    virtual bool ReplaceFileA(const char* replaced, const char* replacement);
    virtual bool MoveFileExA(const char* from, const char* to, uint32_t flags);
    virtual bool DeleteFileA(const char* path);
    virtual bool SetCurrentDirectoryA(const char* path);
    virtual uint32_t GetFullPathNameA(const char* path, uint32_t size, char* buffer);
    virtual Handle FindFirstFileA(const char* pattern, FindData* data);
    virtual bool FindNextFileA(Handle find, FindData* data);
    virtual bool FindClose(Handle find);

    // The calling thread's last error, and setting it (as a failing fake does).
    static uint32_t LastError();
    static void SetLastError(uint32_t error);
};

// The process-wide layer that calls the system directly.
Sys& DefaultSys();

}  // namespace pellumar
