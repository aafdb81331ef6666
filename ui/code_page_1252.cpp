#include "code_page_1252.h"

#include "code_page_1252_table.h"

QChar Cp1252ToChar(unsigned char byte) { return QChar(Cp1252ToUnicode(byte)); }

QString Cp1252ToQString(const std::string& bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char byte : bytes)
        text.append(Cp1252ToChar(static_cast<unsigned char>(byte)));
    return text;
}

QString Cp1252ToDisplayString(const std::string& bytes)
{
    constexpr char16_t CONTROL_PICTURES = 0x2400;
    constexpr char16_t DELETE_PICTURE = 0x2421;
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (value < 0x20)
            text.append(QChar(static_cast<char16_t>(CONTROL_PICTURES + value)));
        else if (value == 0x7F)
            text.append(QChar(DELETE_PICTURE));
        else
            text.append(Cp1252ToChar(value));
    }
    return text;
}

std::string QStringToCp1252(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar character : text) {
        char byte = '?';
        UnicodeToCp1252(character.unicode(), byte);
        bytes += byte;
    }
    return bytes;
}
