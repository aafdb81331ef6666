// Byte tests shared by the classifier and the reader: a carriage return or a
// line feed by its low seven bits, so that bytes 141 and 138 count too, and
// upper case folding of a to z alone, never of bytes from 128 up.
#pragma once

constexpr bool IsCarriageReturn(unsigned char byte) { return (byte & 0x7F) == '\r'; }

constexpr bool IsLineFeed(unsigned char byte) { return (byte & 0x7F) == '\n'; }

constexpr unsigned char FoldCase(unsigned char byte)
{
    return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}
