#include "terminal_text.h"

#include <cstdint>

namespace {

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;
constexpr char32_t CONTROL_PICTURES = 0x2400;
constexpr char32_t DELETE_PICTURE = 0x2421;
constexpr unsigned char DELETE_BYTE = 0x7F;

// 0x80 to 0x9F; every other byte of code page 1252 is its Latin-1 character.
constexpr char32_t windowsRange[32] = {
    0x20AC, REPLACEMENT_CHARACTER, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, REPLACEMENT_CHARACTER, 0x017D, REPLACEMENT_CHARACTER,
    REPLACEMENT_CHARACTER, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, REPLACEMENT_CHARACTER, 0x017E, 0x0178,
};

constexpr unsigned char WINDOWS_RANGE_FIRST = 0x80;
constexpr unsigned char WINDOWS_RANGE_LAST = 0x9F;

char32_t TerminalCharacter(unsigned char byte)
{
    if (byte < 0x20)
        return CONTROL_PICTURES + byte;
    if (byte == DELETE_BYTE)
        return DELETE_PICTURE;
    if (byte >= WINDOWS_RANGE_FIRST && byte <= WINDOWS_RANGE_LAST)
        return windowsRange[byte - WINDOWS_RANGE_FIRST];
    return byte;
}

// Every character here lies below U+10000.
void AppendUtf8(std::string& out, char32_t character)
{
    if (character < 0x80) {
        out += static_cast<char>(character);
    } else if (character < 0x800) {
        out += static_cast<char>(0xC0 | (character >> 6));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (character >> 12));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    }
}

} // namespace

std::string Cp1252ToTerminalUtf8(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (const char byte : bytes)
        AppendUtf8(text, TerminalCharacter(static_cast<unsigned char>(byte)));
    return text;
}
