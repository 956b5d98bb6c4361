#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CRecentEntryList.h"

namespace pellumar {

class SettingsStore;

// Everything a recent-entries combo box decides, without the widget: its configuration, its
// list, reading the list from a settings section and writing it back. The widget shows the
// entries and is told through the refill callback when they change.
class RecentComboModel {
  public:
    explicit RecentComboModel(SettingsStore& store);
    // Writes the list when saving on destruction is on.
    ~RecentComboModel();
    RecentComboModel(const RecentComboModel&) = delete;
    RecentComboModel& operator=(const RecentComboModel&) = delete;

    void SetSection(const std::string& section);
    // Ignored unless the format contains "%d", which stands for the slot number.
    void SetEntryFormat(const std::string& format);
    // -1 for a count below 1 or a failed rebuild; otherwise the previous capacity, 0 when
    // there was no list.
    int SetMaxEntries(int count);
    // Each returns the previous setting.
    bool SetSaveOnDestroy(bool on) { return std::exchange(m_bSaveOnDestroy, on); }
    bool SetSaveOnAdd(bool on) { return std::exchange(m_bSaveOnAdd, on); }
    bool SetRefillOnAdd(bool on) { return std::exchange(m_bRefillOnAdd, on); }
    // Called to show the entries again after an addition, when refilling on add is on.
    void SetRefill(std::function<void()> refill) { m_refill = std::move(refill); }

    bool IsConfigured() const;
    // Builds a new list for the current configuration, keeping the entries of the old one.
    bool RebuildList();
    // Rebuilds, then reads every slot from the store.
    bool LoadEntries();
    // Makes the text the most recent entry, then refills and saves as configured.
    bool AddEntry(const std::string& text, bool asPath);
    // Replaces the whole section in the store by the slots that hold text.
    void Save();

    // The non-empty entries, most recent first, as the drop-down list shows them.
    std::vector<std::string> Entries() const;
    const CRecentEntryList* List() const { return m_pRecentList.get(); }

  private:
    SettingsStore& m_store;
    std::function<void()> m_refill;
    std::unique_ptr<CRecentEntryList> m_pRecentList;
    std::string m_strSection;
    std::string m_strEntryFormat;
    std::int32_t m_nMaxEntries = 10;
    bool m_bSaveOnDestroy = true;
    bool m_bSaveOnAdd = false;
    bool m_bRefillOnAdd = false;
    bool m_bListStale = false;
};

}  // namespace pellumar
