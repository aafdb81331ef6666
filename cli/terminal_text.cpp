#include "terminal_text.h"

#include <cstdint>

#include "code_page_1252_table.h"

namespace {

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;
constexpr char32_t CONTROL_PICTURES = 0x2400;
constexpr char32_t DELETE_PICTURE = 0x2421;
constexpr unsigned char DELETE_BYTE = 0x7F;

char32_t TerminalCharacter(unsigned char byte)
{
    if (byte < 0x20)
        return CONTROL_PICTURES + byte;
    if (byte == DELETE_BYTE)
        return DELETE_PICTURE;
    if (IsCp1252Undefined(byte))
        return REPLACEMENT_CHARACTER;
    return Cp1252ToUnicode(byte);
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
