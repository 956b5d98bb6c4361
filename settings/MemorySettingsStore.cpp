#include "MemorySettingsStore.h"

namespace pellumar {

const MemorySettingsStore::Value* MemorySettingsStore::Find(const std::string& section,
                                                            const std::string& key) const {
    auto group = m_sections.find(section);
    if (group == m_sections.end())
        return nullptr;
    auto value = group->second.find(key);
    return value == group->second.end() ? nullptr : &value->second;
}

std::int32_t MemorySettingsStore::GetProfileInt(const std::string& section, const std::string& key,
                                                std::int32_t nDefault) const {
    const Value* value = Find(section, key);
    const auto* number = value ? std::get_if<std::int32_t>(value) : nullptr;
    return number ? *number : nDefault;
}

std::string MemorySettingsStore::GetProfileString(const std::string& section,
                                                  const std::string& key,
                                                  const std::string& strDefault) const {
    const Value* value = Find(section, key);
    const auto* text = value ? std::get_if<std::string>(value) : nullptr;
    return text ? *text : strDefault;
}

bool MemorySettingsStore::WriteProfileInt(const std::string& section, const std::string& key,
                                          std::int32_t nValue) {
    m_sections[section][key] = nValue;
    m_log.push_back("int " + section + "/" + key + "=" + std::to_string(nValue));
    return true;
}

bool MemorySettingsStore::WriteProfileString(const std::string& section, const char* key,
                                             const char* value) {
    if (key == nullptr) {
        m_sections.erase(section);
        m_log.push_back("delete " + section);
    } else if (value == nullptr) {
        auto group = m_sections.find(section);
        if (group != m_sections.end())
            group->second.erase(key);
        m_log.push_back("delete " + section + "/" + key);
    } else {
        m_sections[section][key] = std::string(value);
        m_log.push_back("string " + section + "/" + key + "=" + value);
    }
    return true;
}

std::vector<std::string> MemorySettingsStore::Section(const std::string& section) const {
    std::vector<std::string> lines;
    auto group = m_sections.find(section);
    if (group == m_sections.end())
        return lines;
    for (const auto& [key, value] : group->second) {
        const auto* number = std::get_if<std::int32_t>(&value);
        lines.push_back(key + "=" +
                        (number ? std::to_string(*number) : std::get<std::string>(value)));
    }
    return lines;
}

}  // namespace pellumar
