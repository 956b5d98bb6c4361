#pragma once

#include <cstdint>
#include <vector>

#include "FileSystem.h"
#include "ReadFaultGuard.h"
#include "TempFile.h"

namespace pellumar {

// A read-only view of a whole file: small files are read into a buffer that the search reuses,
// large ones are mapped, so the memory the program allocates never grows with the file.
// A small file is read in two steps, its head first, as most searches that find the text in a
// file find it near the start and need no more. A file that is only searched is read through a
// window instead once it outgrows the window's least size, which slides along it: copying pages
// out of the cache costs less than faulting them into a mapping, above all in a virtual machine,
// and a buffer that stays small is not faulted in afresh as it grows with each larger file.
class FileView {
  public:
    // Files up to this size are read, or read through the window; larger ones are mapped.
    static constexpr uint64_t kReadLimit = 4 << 20;
    // The part of a read file that is read first.
    static constexpr uint64_t kHead = 64 << 10;
    // The least a sliding window holds.
    static constexpr uint64_t kWindow = 1 << 20;
    // The system copies a file's bytes out of its cache two to five times faster when each
    // lands where it stands in its cache line in the file.
    static constexpr size_t kAlign = 64;

    FileView(FileSystem& fs, std::vector<unsigned char>& buffer) : m_fs(fs), m_buffer(buffer) {}
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;
    ~FileView() { Close(); }

    // Views the first `size` bytes of the open file, which stays open while it is viewed: 0, or
    // the error that prevented it.
    int Open(NativeHandle file, uint64_t size);
    // Views the open file, of a size not yet known, by reading its head: 0, or the error. When
    // the file ended within the head, Size() is its size; otherwise SetSize must follow.
    int OpenHead(NativeHandle file);
    bool SizeKnown() const { return m_bSizeKnown; }
    // Lets SetSize read a large file through a window that keeps at least `keep` bytes at once.
    void AllowWindow(uint64_t keep) { m_windowKeep = keep; }
    // The whole size of a file opened by its head: 0, or the error that prevented viewing it.
    int SetSize(uint64_t size);
    // Makes the bytes before `offset` available: 0, or the error that prevented it. A window
    // slides so that it starts at `from` (where no earlier byte is needed again); then it holds
    // at most `from` + its size, so `offset` - `from` must not exceed the `keep` allowed.
    int Require(uint64_t offset, uint64_t from = 0) {
        return offset <= m_available ? 0 : m_window ? Slide(from) : ReadRest();
    }
    void Close();
    // Lets the system take back the mapped pages before `offset`: the scan has passed them, and
    // should they be needed again they are read back from the file.
    void ReleaseBefore(uint64_t offset);

    // The bytes in view, from the file offset Base(): 0 unless the file is read through a window.
    const unsigned char* Data() const { return m_data; }
    uint64_t Base() const { return m_base; }
    uint64_t Size() const { return m_size; }
    uint64_t Available() const { return m_available; }

    // Runs a function that reads the viewed bytes: false when the file shrank under a mapping
    // while it read. The function is bound as ReadFaultGuard says.
    template <class F>
    bool Read(F& function) const {
        if (m_mapped) {
            return ReadFaultGuard::Run(m_data, static_cast<size_t>(m_size), function);
        }
        function();
        return true;
    }
    // How bytes are copied out of the view.
    TempFile::CopyBytes Copier() const {
        return m_mapped ? &ReadFaultGuard::Copy : &TempFile::PlainCopy;
    }

  private:
    int ReadRange(uint64_t from, uint64_t to, bool bUntilEnd = false);
    int Map(uint64_t size);
    int ReadRest() { return ReadRange(m_available, m_size); }
    int Slide(uint64_t from);
    // Makes the buffer hold `bytes` from the file offset m_base on, keeping those in view.
    void Reserve(uint64_t bytes);
    // Puts the bytes in view, from the file offset `base` on, where each byte stands in its
    // cache line as it stands in the file.
    void Align(uint64_t base);
    uint64_t Room() const { return m_buffer.size() > kAlign ? m_buffer.size() - kAlign : 0; }

    FileSystem& m_fs;
    std::vector<unsigned char>& m_buffer;
    const unsigned char* m_data = nullptr;
    uint64_t m_size = 0;
    uint64_t m_available = 0;  // the bytes before it are in view
    bool m_bSizeKnown = false;
    NativeHandle m_file = kNoHandle;
    bool m_mapped = false;
    uint64_t m_released = 0;    // the mapped pages before this offset were given back
    uint64_t m_windowKeep = 0;  // 0: a large file is mapped
    bool m_window = false;
    uint64_t m_base = 0;  // the file offset of the first byte in view
    size_t m_lead = 0;    // where that byte stands in the buffer
};

}  // namespace pellumar
