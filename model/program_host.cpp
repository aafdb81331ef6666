#include "program_host.h"

#include "classic_number.h"

const char* const SETTINGS_KEY = "SOFTWARE\\Kelmaran\\Files";

bool WriteSettingInt(ISettingsStore& store, const std::string& keyPath, const std::string& name, int value)
{
    return store.WriteSettingString(keyPath, name, std::to_string(value));
}

bool ReadSettingInt(ISettingsStore& store, const std::string& keyPath, const std::string& name, int& value)
{
    std::string text;
    if (!store.ReadSettingString(keyPath, name, text) || text.empty())
        return false;
    value = ParseClassicInt(text.c_str());
    return true;
}
