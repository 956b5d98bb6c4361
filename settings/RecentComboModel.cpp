#include "RecentComboModel.h"

#include <algorithm>

#include "SettingsStore.h"

namespace pellumar {

RecentComboModel::RecentComboModel(SettingsStore& store) : m_store(store) {}

RecentComboModel::~RecentComboModel() {
    if (m_bSaveOnDestroy)
        Save();
}

void RecentComboModel::SetSection(const std::string& section) {
    m_strSection = section;
    m_bListStale = true;
}

void RecentComboModel::SetEntryFormat(const std::string& format) {
    if (format.find("%d") == std::string::npos)
        return;
    m_strEntryFormat = format;
    m_bListStale = true;
}

int RecentComboModel::SetMaxEntries(int count) {
    if (count <= 0)
        return -1;
    const int previous = m_pRecentList ? m_pRecentList->GetSize() : 0;
    m_nMaxEntries = count;
    return RebuildList() ? previous : -1;
}

bool RecentComboModel::IsConfigured() const {
    return !m_strSection.empty() && m_strEntryFormat.find("%d") != std::string::npos &&
           m_nMaxEntries > 0;
}

bool RecentComboModel::RebuildList() {
    if (!IsConfigured())
        return false;
    std::vector<std::string> kept;
    if (m_pRecentList) {
        const int count = std::min<int>(m_nMaxEntries, m_pRecentList->GetSize());
        for (int slot = 0; slot < count; ++slot)
            kept.push_back((*m_pRecentList)[slot]);
        // Gone before the new list is made, so that a failure leaves the box with no list.
        m_pRecentList.reset();
    }
    m_pRecentList =
        std::make_unique<CRecentEntryList>(m_strSection, m_strEntryFormat, m_nMaxEntries);
    for (auto entry = kept.rbegin(); entry != kept.rend(); ++entry)
        m_pRecentList->AddEntry(*entry, true);
    m_bListStale = false;
    return true;
}

bool RecentComboModel::LoadEntries() {
    if (!RebuildList())
        return false;
    CRecentEntryList& list = *m_pRecentList;
    for (int slot = 0; slot < list.GetSize(); ++slot)
        list[slot] = m_store.GetProfileString(list.Section(), list.KeyFor(slot), "");
    return true;
}

bool RecentComboModel::AddEntry(const std::string& text, bool asPath) {
    if (!m_pRecentList && !RebuildList())
        return false;
    m_pRecentList->AddEntry(text, asPath);
    if (m_bRefillOnAdd && m_refill)
        m_refill();
    if (m_bSaveOnAdd)
        Save();
    return true;
}

void RecentComboModel::Save() {
    if (!m_pRecentList || !IsConfigured())
        return;
    if (m_bListStale && !RebuildList())
        return;
    const CRecentEntryList& list = *m_pRecentList;
    // The whole section goes first, so that no key written earlier survives.
    m_store.WriteProfileString(list.Section(), nullptr, nullptr);
    for (int slot = 0; slot < list.GetSize(); ++slot) {
        if (!list[slot].empty())
            m_store.WriteProfileString(list.Section(), list.KeyFor(slot).c_str(),
                                       list[slot].c_str());
    }
}

std::vector<std::string> RecentComboModel::Entries() const {
    std::vector<std::string> entries;
    if (!m_pRecentList)
        return entries;
    for (int slot = 0; slot < m_pRecentList->GetSize(); ++slot)
        if (!(*m_pRecentList)[slot].empty())
            entries.push_back((*m_pRecentList)[slot]);
    return entries;
}

}  // namespace pellumar
