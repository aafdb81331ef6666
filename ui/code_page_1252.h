// Panel texts, listing bytes and stored settings are single-byte strings in
// code page 1252; Qt holds Unicode. These conversions give every byte exactly
// one character and back, so nothing is lost on the way through a widget.
#pragma once

#include <string>

#include <QChar>
#include <QString>

// The bytes cp1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the
// C1 control characters of the same value.
QChar Cp1252ToChar(unsigned char byte);
QString Cp1252ToQString(const std::string& bytes);

// As the program view draws the bytes: control bytes become their control
// pictures (U+2400 onwards, U+2421 for 0x7F), so each stays one visible
// character instead of an empty box.
QChar Cp1252ToDisplayChar(unsigned char byte);
QString Cp1252ToDisplayString(const std::string& bytes);

// Characters with no cp1252 byte become '?'.
std::string QStringToCp1252(const QString& text);
