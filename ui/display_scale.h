// How much larger the whole program is drawn, for a projector or a screen
// seen from the back of a classroom: a whole number of percent from 100 to
// 300, from the command line or else from the settings store's "scale".
// Qt draws every window that much larger from vector outlines and fonts;
// the layout in logical pixels stays as it is.
#pragma once

#include <string>

#include "program_host.h"

namespace DisplayScale {

constexpr int MIN_PERCENT = 100;
constexpr int MAX_PERCENT = 300;
constexpr int DEFAULT_PERCENT = MIN_PERCENT;

// True for plain decimal digits naming MIN_PERCENT to MAX_PERCENT.
bool ParsePercent(const std::string& text, int& percent);
// The stored "scale"; DEFAULT_PERCENT where it is missing or bad, so that
// a mistyped value never leaves a panel too large for the screen.
int ReadStored(ISettingsStore& settings);
// Before the QApplication exists. At DEFAULT_PERCENT it changes nothing,
// so that Qt's own QT_SCALE_FACTOR still works as the user set it.
void Apply(int percent);

} // namespace DisplayScale
