#include "settings_store.h"

#include <memory>

#include <QDir>
#include <QSettings>
#include <QStringList>

#include "classic_number.h"
#include "code_page_1252.h"
#include "platform.h"

namespace {

const char* const WRITE_FAILURE_TEXT =
    "Die Einstellungen lassen sich nicht speichern: weder %1 noch %2 ist beschreibbar. "
    "Rohteil, Werkzeuge und Fensterlagen gelten nur bis zum Beenden.";

// Null when the key path cannot name a place in the store.
std::unique_ptr<QSettings> OpenKey(SettingsRoot root, const std::string& keyPath)
{
    if (root != SETTINGS_ROOT_LOCAL_MACHINE && root != SETTINGS_ROOT_CURRENT_USER)
        return nullptr;
    const bool machine = root == SETTINGS_ROOT_LOCAL_MACHINE;
    const QString path = Cp1252ToQString(keyPath);
    if (SettingsLiveInRegistry()) {
        if (path.isEmpty())
            return nullptr;
        const QString hive = machine ? QStringLiteral("HKEY_LOCAL_MACHINE\\") : QStringLiteral("HKEY_CURRENT_USER\\");
        return std::make_unique<QSettings>(hive + path, QSettings::NativeFormat);
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
    auto key = std::make_unique<QSettings>(QSettings::IniFormat,
                                           machine ? QSettings::SystemScope : QSettings::UserScope, organization,
                                           parts.join(QLatin1Char('/')));
    // The user's scope would read the machine's files too; the two are read
    // apart, in their own order.
    key->setFallbacksEnabled(false);
    return key;
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

bool CanWriteSettings(SettingsRoot root, const std::string& keyPath)
{
    const std::unique_ptr<QSettings> key = OpenKey(root, keyPath);
    return key != nullptr && key->status() == QSettings::NoError && key->isWritable();
}

std::string SettingsLocation(SettingsRoot root, const std::string& keyPath)
{
    const std::unique_ptr<QSettings> key = OpenKey(root, keyPath);
    return key != nullptr ? QStringToCp1252(QDir::toNativeSeparators(key->fileName())) : keyPath;
}

QString SettingsWriteFailureText(const std::string& keyPath)
{
    return QString::fromUtf8(WRITE_FAILURE_TEXT)
        .arg(Cp1252ToQString(SettingsLocation(SETTINGS_ROOT_LOCAL_MACHINE, keyPath)),
             Cp1252ToQString(SettingsLocation(SETTINGS_ROOT_CURRENT_USER, keyPath)));
}

bool CSettingsStore::WriteSettingString(const std::string& keyPath, const std::string& name, const std::string& text)
{
    if (CanWriteSettings(SETTINGS_ROOT_LOCAL_MACHINE, keyPath) &&
        ::WriteSettingString(SETTINGS_ROOT_LOCAL_MACHINE, keyPath, name, text)) {
        // A copy in the user's store is read first: it takes the new value.
        std::string userCopy;
        if (!::ReadSettingString(SETTINGS_ROOT_CURRENT_USER, keyPath, name, userCopy) || userCopy == text ||
            ::WriteSettingString(SETTINGS_ROOT_CURRENT_USER, keyPath, name, text))
            return true;
    } else if (::WriteSettingString(SETTINGS_ROOT_CURRENT_USER, keyPath, name, text)) {
        return true;
    }
    if (!writeFailureReported && writeFailureHandler) {
        writeFailureReported = true;
        writeFailureHandler(SettingsWriteFailureText(keyPath));
    }
    return false;
}

bool CSettingsStore::ReadSettingString(const std::string& keyPath, const std::string& name, std::string& text)
{
    return ::ReadSettingString(SETTINGS_ROOT_CURRENT_USER, keyPath, name, text) ||
           ::ReadSettingString(SETTINGS_ROOT_LOCAL_MACHINE, keyPath, name, text);
}

void CSettingsStore::SetWriteFailureHandler(std::function<void(const QString&)> handler)
{
    writeFailureHandler = std::move(handler);
}
