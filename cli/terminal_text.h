// Code page 1252 bytes, as the system holds every text, turned into UTF-8 for
// a terminal. Control bytes become visible signs so that a word printed on a
// line never breaks or rewrites it.
#pragma once

#include <string>
#include <string_view>

// Bytes 0 to 31 and 127 become the Unicode control pictures (U+2400 to
// U+241F, U+2421); the five bytes code page 1252 leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD.
std::string Cp1252ToTerminalUtf8(std::string_view bytes);
