// The settings stores on QSettings: named text values under a key path,
// integers as their decimal text. On Windows the roots are the registry hives
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER; elsewhere they are INI files in
// QSettings' system and user scopes, one file per key path
// (<scope path>/Kelmaran/Files.ini for SETTINGS_KEY). Every failure of the
// free functions is a false result and nothing else.
#pragma once

#include <functional>
#include <string>

#include <QString>

#include "program_host.h"

enum SettingsRoot {
    SETTINGS_ROOT_LOCAL_MACHINE,
    // The account's own store: a learner without administrator rights can
    // write it where the machine's store is closed to them.
    SETTINGS_ROOT_CURRENT_USER,
};

// A text value is read through a buffer of this many bytes, its terminating
// NUL included: a longer value reads as missing.
constexpr std::size_t SETTINGS_READ_BUFFER_SIZE = 260;

bool WriteSettingString(SettingsRoot root, const std::string& keyPath, const std::string& name, const std::string& text);
bool WriteSettingInt(SettingsRoot root, const std::string& keyPath, const std::string& name, int value);
// Changes text only on success. The text ends at its first NUL.
bool ReadSettingString(SettingsRoot root, const std::string& keyPath, const std::string& name, std::string& text);
// Reads the way atoi does; a missing or empty value leaves value unchanged and
// gives false.
bool ReadSettingInt(SettingsRoot root, const std::string& keyPath, const std::string& name, int& value);

// True when a value can be stored under the key path without trying it.
bool CanWriteSettings(SettingsRoot root, const std::string& keyPath);
// Where the root's values for the key path live, for the user's message.
std::string SettingsLocation(SettingsRoot root, const std::string& keyPath);

// The loader's, the panel's and the windows' store. A value is read from the
// user's store first and the machine's after it, so that values a teacher
// set for the whole machine still count. It is written to the machine's
// store where that can be written (and the user's copy, if any, follows it,
// so that it does not hide the new value), else to the user's.
class CSettingsStore : public ISettingsStore {
public:
    bool WriteSettingString(const std::string& keyPath, const std::string& name, const std::string& text) override;
    bool ReadSettingString(const std::string& keyPath, const std::string& name, std::string& text) override;

    // Called once, with a German message, the first time a value can be
    // written nowhere; a change must not be lost without a word.
    void SetWriteFailureHandler(std::function<void(const QString&)> handler);

private:
    std::function<void(const QString&)> writeFailureHandler;
    bool writeFailureReported = false;
};

// The message for a value that no store took.
QString SettingsWriteFailureText(const std::string& keyPath);
