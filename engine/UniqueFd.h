#pragma once

#include <utility>

#include "Sys.h"

namespace pellumar {

// Owns one file descriptor and closes it through the system-call layer.
class UniqueFd {
  public:
    UniqueFd(Sys& sys, int fd) : m_sys(&sys), m_fd(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : m_sys(other.m_sys), m_fd(std::exchange(other.m_fd, -1)) {}
    ~UniqueFd() { Reset(); }

    int Get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

    // Closes now; the result of close, or 0 when nothing was open.
    int Reset() {
        if (m_fd < 0) {
            return 0;
        }
        return m_sys->Close(std::exchange(m_fd, -1));
    }

  private:
    Sys* m_sys;
    int m_fd;
};

}  // namespace pellumar
