#pragma once

#include <string>
#include <vector>

namespace pellumar {

// A fixed number of recent entries, most recent in slot 0; an empty slot holds "". It keeps
// the section and key format it was built for.
class CRecentEntryList {
  public:
    CRecentEntryList(std::string section, std::string entryFormat, int nSize);
    ~CRecentEntryList() = default;

    // Makes `text` the most recent entry. The first of slots 0 to N-2 that is the same path
    // as the comparand (the text, or with `asPath` its absolute form) leaves the list; when
    // none is, the last entry does. The text goes in as it was given.
    void AddEntry(const std::string& text, bool asPath);

    int GetSize() const { return static_cast<int>(m_arrNames.size()); }
    const std::string& operator[](int slot) const { return m_arrNames.at(slot); }
    std::string& operator[](int slot) { return m_arrNames.at(slot); }

    const std::string& Section() const { return m_strSection; }
    // The key of a slot: the first "%d" of the format replaced by the slot's number plus one.
    std::string KeyFor(int slot) const;

  private:
    std::vector<std::string> m_arrNames;
    std::string m_strSection;
    std::string m_strEntryFormat;
};

}  // namespace pellumar
