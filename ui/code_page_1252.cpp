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
