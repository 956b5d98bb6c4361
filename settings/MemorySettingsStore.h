#pragma once

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "SettingsStore.h"

namespace pellumar {

// A settings store held in memory, which also keeps a log of every write in order.
class MemorySettingsStore final : public SettingsStore {
  public:
    using Value = std::variant<std::int32_t, std::string>;

    std::int32_t GetProfileInt(const std::string& section, const std::string& key,
                               std::int32_t nDefault) const override;
    std::string GetProfileString(const std::string& section, const std::string& key,
                                 const std::string& strDefault) const override;
    bool WriteProfileInt(const std::string& section, const std::string& key,
                         std::int32_t nValue) override;
    bool WriteProfileString(const std::string& section, const char* key,
                            const char* value) override;

    // The keys of a section with their values as text ("key=value"), in key order.
    std::vector<std::string> Section(const std::string& section) const;
    // Every write so far: "int S/K=V", "string S/K=V", "delete S/K" or "delete S".
    const std::vector<std::string>& Log() const { return m_log; }
    void ClearLog() { m_log.clear(); }

  private:
    const Value* Find(const std::string& section, const std::string& key) const;

    std::map<std::string, std::map<std::string, Value>> m_sections;
    std::vector<std::string> m_log;
};

}  // namespace pellumar
