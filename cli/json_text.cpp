#include "json_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

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

void AppendJsonBytes(std::string& out, std::string_view bytes)
{
    static const char hexDigits[] = "0123456789abcdef";
    out += '"';
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

void AppendJsonText(std::string& out, std::string_view text)
{
    std::string valid;
    valid.reserve(text.size());
    std::size_t index = 0;
    while (index < text.size()) {
        const auto lead = static_cast<unsigned char>(text[index]);
        std::size_t length = 0;
        std::uint32_t lowest = 0;
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            lowest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            lowest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            lowest = 0x10000;
        }
        bool good = length > 0 && index + length <= text.size();
        std::uint32_t code = length > 1 ? lead & (0x7Fu >> length) : lead;
        for (std::size_t follow = 1; good && follow < length; ++follow) {
            const auto byte = static_cast<unsigned char>(text[index + follow]);
            good = (byte & 0xC0) == 0x80;
            code = (code << 6) | (byte & 0x3Fu);
        }
        // Overlong forms, surrogates and code points beyond Unicode are no
        // characters either.
        good = good && (length == 1 || (code >= lowest && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)));
        if (good) {
            valid.append(text.data() + index, length);
            index += length;
        } else {
            valid += "\xEF\xBF\xBD";
            ++index;
        }
    }
    // Control characters, quotes and backslashes are escaped as for bytes;
    // the rest is copied as it stands.
    out += '"';
    for (const char character : valid) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x20 || byte == '"' || byte == '\\') {
            std::string escaped;
            AppendJsonBytes(escaped, std::string_view(&character, 1));
            out.append(escaped, 1, escaped.size() - 2);
        } else {
            out += character;
        }
    }
    out += '"';
}
