#include "CRecentEntryList.h"

#include "PathText.h"

namespace pellumar {

CRecentEntryList::CRecentEntryList(std::string section, std::string entryFormat, int nSize)
    : m_arrNames(static_cast<std::size_t>(nSize > 0 ? nSize : 0)),
      m_strSection(std::move(section)),
      m_strEntryFormat(std::move(entryFormat)) {}

void CRecentEntryList::AddEntry(const std::string& text, bool asPath) {
    if (m_arrNames.empty())
        return;
    const std::string comparand = asPath ? PathComparand(text, CurrentFolder()) : text;
    // The last slot is never compared: it is the one that leaves when nothing matches.
    std::size_t position = m_arrNames.size() - 1;
    for (std::size_t slot = 0; slot + 1 < m_arrNames.size(); ++slot) {
        const bool same = asPath ? IsSameFolder(m_arrNames[slot], comparand)
                                 : IsSamePath(m_arrNames[slot], comparand);
        if (same) {
            position = slot;
            break;
        }
    }
    for (std::size_t slot = position; slot > 0; --slot)
        m_arrNames[slot] = m_arrNames[slot - 1];
    m_arrNames[0] = text;
}

std::string CRecentEntryList::KeyFor(int slot) const {
    // Replaced as text, never used as a printf format, so other "%" sequences are harmless.
    std::string key = m_strEntryFormat;
    const std::size_t at = key.find("%d");
    if (at != std::string::npos)
        key.replace(at, 2, std::to_string(slot + 1));
    return key;
}

}  // namespace pellumar
