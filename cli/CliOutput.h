#pragma once

#include <string>
#include <string_view>

namespace pellumar::cli {

// The results on standard output, collected and written out in one call per batch. A write that
// a signal interrupts is carried on, so that a stop never cuts a line or loses one; only a
// closed output ends the writing.
class CliOutput {
  public:
    explicit CliOutput(int fd) : m_fd(fd) {}

    void Add(std::string_view bytes) { m_strPending.append(bytes); }
    std::size_t Pending() const { return m_strPending.size(); }
    // Writes out what was added: false, and nothing more is written, once the output is closed.
    bool Flush();
    bool IsBroken() const { return m_nError != 0; }
    // Why the output could not be written.
    int Error() const { return m_nError; }

  private:
    int m_fd;
    std::string m_strPending;
    int m_nError = 0;
};

}  // namespace pellumar::cli
