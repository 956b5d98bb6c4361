#pragma once

#include <cstdint>
#include <string>

namespace pellumar {

// A per-user store of named values grouped in sections; a value is a 32-bit integer or a
// string. Every operation stands alone, so a write is in the store when it returns.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    // The stored integer; the default when the section or the value is missing or the value
    // is not a 32-bit integer.
    virtual std::int32_t GetProfileInt(const std::string& section, const std::string& key,
                                       std::int32_t nDefault) const = 0;
    // The stored string; the default when the section or the value is missing.
    virtual std::string GetProfileString(const std::string& section, const std::string& key,
                                         const std::string& strDefault) const = 0;
    // Stores a 32-bit integer; true on success.
    virtual bool WriteProfileInt(const std::string& section, const std::string& key,
                                 std::int32_t nValue) = 0;
    // Stores a string. With no value (null) it deletes that key; with no key (null) it deletes
    // the whole section and every value in it. True on success.
    virtual bool WriteProfileString(const std::string& section, const char* key,
                                    const char* value) = 0;
};

}  // namespace pellumar
