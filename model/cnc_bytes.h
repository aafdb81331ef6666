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

// The bytes that begin a new word; other letters but O (which takes the
// rest of its line) join the word before them.
constexpr bool IsWordStart(unsigned char byte)
{
    switch (FoldCase(byte)) {
    case '%': case 'F': case 'G': case 'H': case 'I': case 'J': case 'K': case 'M':
    case 'N': case 'P': case 'R': case 'S': case 'T': case 'X': case 'Y': case 'Z':
        return true;
    default:
        return false;
    }
}
