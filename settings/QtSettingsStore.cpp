#include "QtSettingsStore.h"

#include <QFileInfo>
#include <QSettings>
#include <limits>

namespace pellumar {
namespace {

QString Address(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + '/' + QString::fromStdString(key);
}

}  // namespace

QtSettingsStore::QtSettingsStore(const QString& organization, const QString& application)
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             organization, application)) {}

QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::ApplicationNameFor(const QString& executablePath) {
    return QFileInfo(executablePath).completeBaseName();
}

QString QtSettingsStore::Location() const {
    return m_settings->fileName();
}

std::int32_t QtSettingsStore::GetProfileInt(const std::string& section, const std::string& key,
                                            std::int32_t nDefault) const {
    const QVariant value = m_settings->value(Address(section, key));
    if (value.typeId() == QMetaType::QStringList)
        return nDefault;
    // A text file keeps every value as text; one that is not a 32-bit integer is taken as
    // missing, as a registry value of the wrong size would be.
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (!ok || number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::int32_t>::max())
        return nDefault;
    return static_cast<std::int32_t>(number);
}

std::string QtSettingsStore::GetProfileString(const std::string& section, const std::string& key,
                                              const std::string& strDefault) const {
    const QVariant value = m_settings->value(Address(section, key));
    if (!value.isValid())
        return strDefault;
    // An unquoted text with commas, edited in by hand, reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(", ").toStdString();
    return value.toString().toStdString();
}

bool QtSettingsStore::WriteProfileInt(const std::string& section, const std::string& key,
                                      std::int32_t nValue) {
    const QString address = Address(section, key);
    if (Holds(address, QString::number(nValue)))
        return true;
    m_settings->setValue(address, nValue);
    return Commit();
}

bool QtSettingsStore::WriteProfileString(const std::string& section, const char* key,
                                         const char* value) {
    if (key == nullptr)
        m_settings->remove(QString::fromStdString(section));
    else if (value == nullptr)
        m_settings->remove(Address(section, key));
    else if (Holds(Address(section, key), QString::fromUtf8(value)))
        return true;
    else
        m_settings->setValue(Address(section, key), QString::fromUtf8(value));
    return Commit();
}

// Each write locks the file, writes a copy of it whole and flushes it twice; the window writes
// back every option as it closes, most of them unchanged. What another instance wrote meanwhile
// is read in first, so that a value it changed is written back.
bool QtSettingsStore::Holds(const QString& address, const QString& text) {
    m_settings->sync();
    const QVariant value = m_settings->value(address);
    return m_settings->status() == QSettings::NoError && value.isValid() &&
           value.typeId() != QMetaType::QStringList && value.toString() == text;
}

// Each write reaches the file before it returns, so a later crash keeps it.
bool QtSettingsStore::Commit() {
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

}  // namespace pellumar
