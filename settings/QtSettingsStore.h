#pragma once

#include <QString>
#include <memory>

#include "SettingsStore.h"

class QSettings;

namespace pellumar {

// The settings store of the desktop: QSettings in its native format, one group per section.
// On Linux that is the file $XDG_CONFIG_HOME/<organisation>/<application>.conf.
class QtSettingsStore final : public SettingsStore {
  public:
    QtSettingsStore(const QString& organization, const QString& application);
    ~QtSettingsStore() override;
    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

    // The application name for an executable: its file name without the last extension, so a
    // copy under another name keeps settings of its own.
    static QString ApplicationNameFor(const QString& executablePath);

    // Where the values are kept: a file path, or a registry path on Windows.
    QString Location() const;

    std::int32_t GetProfileInt(const std::string& section, const std::string& key,
                               std::int32_t nDefault) const override;
    std::string GetProfileString(const std::string& section, const std::string& key,
                                 const std::string& strDefault) const override;
    bool WriteProfileInt(const std::string& section, const std::string& key,
                         std::int32_t nValue) override;
    bool WriteProfileString(const std::string& section, const char* key,
                            const char* value) override;

  private:
    bool Commit();
    // The file holds `text` at the address already.
    bool Holds(const QString& address, const QString& text);

    std::unique_ptr<QSettings> m_settings;
};

}  // namespace pellumar
