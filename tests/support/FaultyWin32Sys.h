#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Sys.h"

namespace pellumar::test {

// The Win32 calls tests make fail. The temporary file is told apart from the searched files:
// it is the file created with CREATE_ALWAYS.
enum class WinOp { Open, CreateTemp, TempName, Write, Flush, Replace, Move, Delete };

class FaultyWin32Sys : public Sys {
  public:
    static constexpr uint32_t kCreateAlways = 2;

    // The next `times` calls of `op` (every call when negative) fail with `error`.
    void Fail(WinOp op, uint32_t error, int times = 1) { m_faults[op] = {error, times}; }
    // Runs `hook` just before the next call of `op`.
    void Before(WinOp op, std::function<void()> hook) { m_hooks[op] = std::move(hook); }
    // The names the system gave to temporary files, in order.
    const std::vector<std::string>& TempNames() const { return m_tempNames; }

    Handle CreateFileA(const char* path, uint32_t access, uint32_t share, uint32_t disposition,
                       uint32_t flags) override {
        const WinOp op = disposition == kCreateAlways ? WinOp::CreateTemp : WinOp::Open;
        return Enter(op) ? InvalidHandle()
                         : Sys::CreateFileA(path, access, share, disposition, flags);
    }
    unsigned GetTempFileNameA(const char* folder, const char* prefix, char* name) override {
        if (Enter(WinOp::TempName)) {
            return 0;
        }
        const unsigned result = Sys::GetTempFileNameA(folder, prefix, name);
        m_tempNames.push_back(name);
        return result;
    }
    bool WriteFile(Handle file, const void* data, uint32_t size, uint32_t* written) override {
        *written = 0;
        return !Enter(WinOp::Write) && Sys::WriteFile(file, data, size, written);
    }
    bool FlushFileBuffers(Handle file) override {
        return !Enter(WinOp::Flush) && Sys::FlushFileBuffers(file);
    }
    bool ReplaceFileA(const char* replaced, const char* replacement) override {
        return !Enter(WinOp::Replace) && Sys::ReplaceFileA(replaced, replacement);
    }
    bool MoveFileExA(const char* from, const char* to, uint32_t flags) override {
        return !Enter(WinOp::Move) && Sys::MoveFileExA(from, to, flags);
    }
    bool DeleteFileA(const char* path) override {
        return !Enter(WinOp::Delete) && Sys::DeleteFileA(path);
    }

  private:
    struct Fault {
        uint32_t error;
        int times;
    };

    // Runs the call's hook; true, with the last error set, when the call is to fail.
    bool Enter(WinOp op) {
        if (auto hook = m_hooks.extract(op)) {
            hook.mapped()();
        }
        const auto it = m_faults.find(op);
        if (it == m_faults.end() || it->second.times == 0) {
            return false;
        }
        it->second.times -= it->second.times > 0;
        SetLastError(it->second.error);
        return true;
    }

    std::map<WinOp, Fault> m_faults;
    std::map<WinOp, std::function<void()>> m_hooks;
    std::vector<std::string> m_tempNames;
};

}  // namespace pellumar::test
