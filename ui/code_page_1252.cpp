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

QChar Cp1252ToDisplayChar(unsigned char byte)
{
    constexpr char16_t CONTROL_PICTURES = 0x2400;
    constexpr char16_t DELETE_PICTURE = 0x2421;
    if (byte < 0x20)
        return QChar(static_cast<char16_t>(CONTROL_PICTURES + byte));
    if (byte == 0x7F)
        return QChar(DELETE_PICTURE);
    return Cp1252ToChar(byte);
}

QString Cp1252ToDisplayString(const std::string& bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char byte : bytes)
        text.append(Cp1252ToDisplayChar(static_cast<unsigned char>(byte)));
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
