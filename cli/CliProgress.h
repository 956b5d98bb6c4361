#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace pellumar::cli {

// The one-line progress: "1234 examined, 5 found: /folder", cut to fit `width` columns.
std::string FormatProgressLine(uint64_t examined, uint64_t found, const std::string& folder,
                               size_t width);

// Draws the progress line on a terminal's standard error, at most ten times a second.
class CliProgress {
  public:
    explicit CliProgress(bool bEnabled) : m_bEnabled(bEnabled) {}

    void Draw(uint64_t examined, uint64_t found, const std::string& folder);
    // Removes the line, so that other output starts on a clean line.
    void Clear();

  private:
    bool m_bEnabled;
    bool m_bShown = false;
    std::chrono::steady_clock::time_point m_last{};
};

}  // namespace pellumar::cli
