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

void AppendJsonByteRun(std::string& out, std::string_view bytes)
{
    static const char hexDigits[] = "0123456789abcdef";
    // Most texts are plain ASCII that stands as it is.
    std::size_t plain = 0;
    while (plain < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[plain]);
        if (byte < 0x20 || byte >= 0x80 || byte == '"' || byte == '\\')
            break;
        ++plain;
    }
    out.append(bytes.data(), plain);
    for (std::size_t index = plain; index < bytes.size(); ++index) {
        const auto byte = static_cast<unsigned char>(bytes[index]);
        switch (byte) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += hexDigits[byte >> 4];
                out += hexDigits[byte & 0xF];
            } else if (byte < 0x80) {
                out += static_cast<char>(byte);
            } else {
                // U+0080 to U+00FF in UTF-8.
                out += static_cast<char>(0xC0 | (byte >> 6));
                out += static_cast<char>(0x80 | (byte & 0x3F));
            }
            break;
        }
    }
}

void AppendJsonBytes(std::string& out, std::string_view bytes)
{
    out += '"';
    AppendJsonByteRun(out, bytes);
    out += '"';
}

void AppendTriple(std::string& out, double x, double y, double z)
{
    out += '[';
    AppendReal(out, x);
    out += ',';
    AppendReal(out, y);
    out += ',';
    AppendReal(out, z);
    out += ']';
}
