#include "settings_store.h"

#include <memory>

#include <QSettings>
#include <QStringList>

#include "classic_number.h"
#include "code_page_1252.h"
#include "platform.h"

namespace {

// Null when the key path cannot name a place in the store.
std::unique_ptr<QSettings> OpenKey(SettingsRoot root, const std::string& keyPath)
{
    if (root != SETTINGS_ROOT_LOCAL_MACHINE)
        return nullptr;
    const QString path = Cp1252ToQString(keyPath);
    if (SettingsLiveInRegistry()) {
        if (path.isEmpty())
            return nullptr;
        return std::make_unique<QSettings>(QStringLiteral("HKEY_LOCAL_MACHINE\\") + path, QSettings::NativeFormat);
    }
    QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.first().compare(QLatin1String("SOFTWARE"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    if (parts.isEmpty())
        return nullptr;
    // The parts become folder and file names: none may leave the store's folder.
    for (const QString& part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String("..") || part.contains(QLatin1Char('/')))
            return nullptr;
    }
    const QString organization = parts.takeFirst();
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::SystemScope, organization,
                                       parts.join(QLatin1Char('/')));
}

// QSettings reads both separators as a group boundary.
bool IsValidName(const std::string& name)
{
    return !name.empty() && name.find('/') == std::string::npos && name.find('\\') == std::string::npos;
}

} // namespace

bool WriteSettingString(SettingsRoot root, const std::string& keyPath, const std::string& name, const std::string& text)
{
    const std::unique_ptr<QSettings> key = OpenKey(root, keyPath);
    if (key == nullptr || !IsValidName(name) || key->status() != QSettings::NoError)
        return false;
    key->setValue(Cp1252ToQString(name), Cp1252ToQString(text));
    key->sync();
    return key->status() == QSettings::NoError;
}

bool WriteSettingInt(SettingsRoot root, const std::string& keyPath, const std::string& name, int value)
{
    return WriteSettingString(root, keyPath, name, std::to_string(value));
}

bool ReadSettingString(SettingsRoot root, const std::string& keyPath, const std::string& name, std::string& text)
{
    const std::unique_ptr<QSettings> key = OpenKey(root, keyPath);
    if (key == nullptr || !IsValidName(name) || key->status() != QSettings::NoError)
        return false;
    const QString valueName = Cp1252ToQString(name);
    if (!key->contains(valueName))
        return false;
    std::string value = QStringToCp1252(key->value(valueName).toString());
    if (value.size() + 1 > SETTINGS_READ_BUFFER_SIZE)
        return false;
    const std::size_t end = value.find('\0');
    if (end != std::string::npos)
        value.resize(end);
    text = value;
    return true;
}

bool ReadSettingInt(SettingsRoot root, const std::string& keyPath, const std::string& name, int& value)
{
    std::string text;
    if (!ReadSettingString(root, keyPath, name, text) || text.empty())
        return false;
    value = ParseClassicInt(text.c_str());
    return true;
}

bool CSettingsStore::WriteSettingString(const std::string& keyPath, const std::string& name, const std::string& text)
{
    return ::WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, keyPath, name, text);
}

bool CSettingsStore::ReadSettingString(const std::string& keyPath, const std::string& name, std::string& text)
{
    return ::ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, keyPath, name, text);
}
