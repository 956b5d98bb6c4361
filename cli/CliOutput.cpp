#include "CliOutput.h"

#include <cerrno>

#include "CliPlatform.h"

namespace pellumar::cli {

bool CliOutput::Flush() {
    const char* data = m_strPending.data();
    for (size_t left = m_strPending.size(); m_nError == 0 && left > 0;) {
        const long written = WriteSome(m_fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            m_nError = written < 0 && errno != 0 ? errno : EIO;
        } else {
            data += written;
            left -= static_cast<size_t>(written);
        }
    }
    m_strPending.clear();
    return m_nError == 0;
}

}  // namespace pellumar::cli
