#include "CliOutput.h"

#include "CliPlatform.h"

namespace pellumar::cli {

bool CliOutput::Flush() {
    if (!m_bBroken && !m_strPending.empty()) {
        m_bBroken = !WriteAll(m_fd, m_strPending.data(), m_strPending.size());
    }
    m_strPending.clear();
    return !m_bBroken;
}

}  // namespace pellumar::cli
