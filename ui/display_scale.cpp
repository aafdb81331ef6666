#include "display_scale.h"

#include <QByteArray>

namespace {

const char* const SCALE_SETTING = "scale";
const char* const QT_SCALE_VARIABLE = "QT_SCALE_FACTOR";

} // namespace

bool DisplayScale::ParsePercent(const std::string& text, int& percent)
{
    // Three digits at most: a longer run of digits could overflow before the
    // range check.
    if (text.empty() || text.size() > 3)
        return false;
    int value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9')
            return false;
        value = value * 10 + (digit - '0');
    }
    if (value < MIN_PERCENT || value > MAX_PERCENT)
        return false;
    percent = value;
    return true;
}

int DisplayScale::ReadStored(ISettingsStore& settings)
{
    std::string text;
    int percent = DEFAULT_PERCENT;
    if (settings.ReadSettingString(SETTINGS_KEY, SCALE_SETTING, text))
        ParsePercent(text, percent);
    return percent;
}

void DisplayScale::Apply(int percent)
{
    if (percent == DEFAULT_PERCENT)
        return;
    // QByteArray::number writes "." as the decimal point in every locale, as
    // Qt reads the factor.
    qputenv(QT_SCALE_VARIABLE, QByteArray::number(percent / 100.0, 'f', 2));
}
