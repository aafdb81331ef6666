#include "json_text.h"

#include <charconv>
#include <cmath>

void AppendNumber(std::string& out, long long value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendReal(std::string& out, double value)
{
    if (std::isnan(value)) {
        out += "\"nan\"";
    } else if (std::isinf(value)) {
        out += value > 0 ? "\"inf\"" : "\"-inf\"";
    } else {
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        out.append(buffer, result.ptr);
    }
}
