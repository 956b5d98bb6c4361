#pragma once

#include <cstdint>
#include <vector>

#include "Sys.h"

namespace pellumar {

// A read-only view of a whole file: small files are read into a buffer that the search reuses,
// large ones are mapped, so the memory the program allocates never grows with the file.
class FileView {
  public:
    // Files up to this size are read; larger ones are mapped.
    static constexpr uint64_t kReadLimit = 4 << 20;

    FileView(Sys& sys, std::vector<unsigned char>& buffer) : m_sys(sys), m_buffer(buffer) {}
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;
    ~FileView() { Close(); }

    // Views the first `size` bytes of the open file: 0, or the error that prevented it.
    int Open(int fd, uint64_t size);
    void Close();

    const unsigned char* Data() const { return m_data; }
    uint64_t Size() const { return m_size; }
    bool IsMapped() const { return m_mapped; }

  private:
    int ReadAll(int fd, uint64_t size);

    Sys& m_sys;
    std::vector<unsigned char>& m_buffer;
    const unsigned char* m_data = nullptr;
    uint64_t m_size = 0;
    bool m_mapped = false;
};

}  // namespace pellumar
