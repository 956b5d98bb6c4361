#include "CliProgress.h"

#include <cstdio>

#include "CliPlatform.h"

namespace pellumar::cli {

std::string FormatProgressLine(uint64_t examined, uint64_t found, const std::string& folder,
                               size_t width) {
    std::string line =
        std::to_string(examined) + " examined, " + std::to_string(found) + " found: ";
    for (unsigned char c : folder) {
        line += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);  // no control bytes
    }
    if (width > 1 && line.size() >= width) {
        line.resize(width - 1);
    }
    return line;
}

void CliProgress::Draw(uint64_t examined, uint64_t found, const std::string& folder) {
    if (!m_bEnabled) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_bShown && now - m_last < std::chrono::milliseconds(100)) {
        return;
    }
    m_last = now;
    const size_t width = StandardErrorWidth();
    std::fprintf(stderr, "\r\033[K%s", FormatProgressLine(examined, found, folder, width).c_str());
    std::fflush(stderr);
    m_bShown = true;
}

void CliProgress::Clear() {
    if (m_bShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_bShown = false;
    }
}

}  // namespace pellumar::cli
