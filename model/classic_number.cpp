#include "classic_number.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform.h"

namespace {

bool IsClassicSpace(unsigned char byte)
{
    return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

} // namespace

std::int32_t ParseClassicInt(const char* text, const char* end)
{
    const auto* byte = reinterpret_cast<const unsigned char*>(text);
    const auto* const stop = reinterpret_cast<const unsigned char*>(end);
    while (byte != stop && IsClassicSpace(*byte))
        ++byte;
    bool negative = false;
    if (byte != stop && (*byte == '+' || *byte == '-')) {
        negative = *byte == '-';
        ++byte;
    }
    // Accumulate toward the sign so INT32_MIN is reachable without overflow.
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t magnitude = 0;
    while (byte != stop && *byte >= '0' && *byte <= '9') {
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (*byte - '0');
        ++byte;
    }
    if (magnitude > limit)
        magnitude = limit;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t ParseClassicInt(const char* text) { return ParseClassicInt(text, text + std::strlen(text)); }

double ParseClassicReal(const char* text, const char** end)
{
    char* stop = nullptr;
    const double value = StrtodClassic(text, &stop);
    *end = stop;
    return value;
}

bool ParseClassicDecimal(std::string_view text, double& value)
{
    if (text.empty() || IsClassicSpace(static_cast<unsigned char>(text.front())))
        return false;
    const std::size_t digits = text.front() == '+' || text.front() == '-' ? 1 : 0;
    if (text.size() > digits + 1 && text[digits] == '0' && (text[digits + 1] == 'x' || text[digits + 1] == 'X'))
        return false;
    // strtod needs a terminating NUL, which a view need not have.
    const std::string copy(text);
    const char* end = nullptr;
    const double parsed = ParseClassicReal(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size())
        return false;
    value = parsed;
    return true;
}

std::string FormatClassicFixed4(double value)
{
    // Large enough for the longest double in fixed notation (309 digits).
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    std::string text(buffer, result.ptr);
    // The field width of "%4": only "inf" and "nan" are ever shorter.
    constexpr std::size_t WIDTH = 4;
    if (text.size() < WIDTH)
        text.insert(0, WIDTH - text.size(), ' ');
    return text;
}
