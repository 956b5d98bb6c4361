#include "CliOutput.h"

#include "CliPlatform.h"

namespace pellumar::cli {

bool CliOutput::Flush() {
    if (m_nError == 0 && !m_strPending.empty()) {
        m_nError = WriteAll(m_fd, m_strPending.data(), m_strPending.size());
    }
    m_strPending.clear();
    return m_nError == 0;
}

}  // namespace pellumar::cli
