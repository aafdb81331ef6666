// The per-machine settings store on QSettings: named text values under a key
// path, integers as their decimal text. On Windows the root is the registry
// hive HKEY_LOCAL_MACHINE; elsewhere it is an INI file in QSettings' system
// scope, one file per key path (<system path>/Kelmaran/Files.ini for
// SETTINGS_KEY). Every failure is a false result and nothing else.
#pragma once

#include <string>

#include "program_host.h"

enum SettingsRoot {
    SETTINGS_ROOT_LOCAL_MACHINE,
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

// The loader's and the panel's view of the per-machine store.
class CSettingsStore : public ISettingsStore {
public:
    bool WriteSettingString(const std::string& keyPath, const std::string& name, const std::string& text) override;
    bool ReadSettingString(const std::string& keyPath, const std::string& name, std::string& text) override;
};
