#include "code_page_1252_table.h"

#include <cstddef>
#include <iterator>

namespace {

// 0x80 to 0x9F; everything else in cp1252 is Latin-1.
constexpr char16_t windowsRange[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr unsigned char WINDOWS_RANGE_FIRST = 0x80;
constexpr unsigned char WINDOWS_RANGE_LAST = 0x9F;

} // namespace

char16_t Cp1252ToUnicode(unsigned char byte)
{
    if (byte >= WINDOWS_RANGE_FIRST && byte <= WINDOWS_RANGE_LAST)
        return windowsRange[byte - WINDOWS_RANGE_FIRST];
    return byte;
}

bool IsCp1252Undefined(unsigned char byte)
{
    return byte >= WINDOWS_RANGE_FIRST && byte <= WINDOWS_RANGE_LAST && Cp1252ToUnicode(byte) == byte;
}

bool UnicodeToCp1252(char16_t unicode, char& byte)
{
    if (unicode < WINDOWS_RANGE_FIRST || (unicode > WINDOWS_RANGE_LAST && unicode <= 0xFF)) {
        byte = static_cast<char>(unicode);
        return true;
    }
    for (std::size_t index = 0; index < std::size(windowsRange); ++index) {
        if (windowsRange[index] == unicode) {
            byte = static_cast<char>(WINDOWS_RANGE_FIRST + index);
            return true;
        }
    }
    return false;
}
