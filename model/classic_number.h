// Number parsing and formatting in the classic "C" locale, whatever locale the
// process runs in: the GUI toolkit may switch LC_NUMERIC to a German locale,
// where "," is the decimal point, and CNC programs always use ".".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// atoi reading: leading white space, an optional sign, decimal digits up to the
// first other byte. No digits give 0; values outside the signed 32-bit range
// saturate instead of wrapping.
std::int32_t ParseClassicInt(const char* text);
// The same, reading no further than end, as if a NUL stood there.
std::int32_t ParseClassicInt(const char* text, const char* end);

// strtod reading with "." as the decimal point. *end receives the first byte
// not used, as strtod reports it. The text must be NUL-terminated.
double ParseClassicReal(const char* text, const char** end);

// The whole text as one number as strtod reads it in the classic locale, and
// nothing else: no blanks around it, no hexadecimal form ("+6", "6.5", "1e1"
// and "inf" are numbers; "0x10", " 6" and "6mm" are not). What a user types
// as an option or a stored setting is read this way.
bool ParseClassicDecimal(std::string_view text, double& value);

// printf "%4.4f" in the classic locale, never cut: " inf", "-inf", " nan"
// and "-nan" as printf writes them.
std::string FormatClassicFixed4(double value);
