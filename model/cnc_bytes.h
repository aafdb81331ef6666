// Byte tests shared by the classifier and the reader: a carriage return or a
// line feed by its low seven bits, so that bytes 141 and 138 count too, and
// upper case folding of a to z alone, never of bytes from 128 up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

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

// A number run: bytes from "+" to "9" (signs, ",", ".", "/" and digits), all
// of them joining the word they stand in. Coordinates and numbers are such
// runs, so the reader and the classifier take them eight bytes at a time.
namespace number_run {

constexpr std::uint64_t ONES = 0x0101010101010101u;
constexpr std::uint64_t HIGH_BITS = 0x8080808080808080u;

inline std::uint64_t LoadEight(const unsigned char* bytes)
{
    std::uint64_t chunk = 0;
    std::memcpy(&chunk, bytes, sizeof chunk);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    chunk = __builtin_bswap64(chunk);
#endif
    return chunk;
}

// The index of the lowest set bit; bits must not be 0.
inline unsigned LowestBit(std::uint64_t bits)
{
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctzll(bits));
#else
    unsigned index = 0;
    while ((bits & 1) == 0) {
        bits >>= 1;
        ++index;
    }
    return index;
#endif
}

} // namespace number_run

// How many of the eight bytes at bytes, from the first on, form a number run.
inline std::size_t NumberRunLength(const unsigned char* bytes)
{
    using namespace number_run;
    const std::uint64_t chunk = LoadEight(bytes);
    // Per byte, with no carry into the next: the top bit marks a byte from
    // 128 up, one above "9", or one below "+".
    const std::uint64_t low = chunk & ~HIGH_BITS;
    const std::uint64_t above = low + ONES * (0x80 - '9' - 1);
    const std::uint64_t fromPlus = low + ONES * (0x80 - '+');
    const std::uint64_t outside = (chunk | above | ~fromPlus) & HIGH_BITS;
    if (outside == 0)
        return 8;
    return LowestBit(outside) / 8;
}

// What the reader needs to know of 64 bytes of a program, bit i for
// bytes[i]: the number run bytes, blanks (" "), digits, points and signs.
struct CByteMarks {
    std::uint64_t runs = 0;
    std::uint64_t blanks = 0;
    std::uint64_t digits = 0;
    std::uint64_t points = 0;
    std::uint64_t signs = 0;
};

// The marks found byte by byte, as any system can.
inline void MarkBytesByByte(const unsigned char* bytes, CByteMarks& marks)
{
    marks = CByteMarks();
    for (unsigned index = 0; index < 64; ++index) {
        const unsigned char byte = bytes[index];
        marks.runs |= std::uint64_t(byte >= '+' && byte <= '9') << index;
        marks.blanks |= std::uint64_t(byte == ' ') << index;
        marks.digits |= std::uint64_t(byte >= '0' && byte <= '9') << index;
        marks.points |= std::uint64_t(byte == '.') << index;
        marks.signs |= std::uint64_t(byte == '+' || byte == '-') << index;
    }
}

// The same sixteen bytes at a time where the processor offers it: the
// reader marks every byte of a program so.
inline void MarkBytes(const unsigned char* bytes, CByteMarks& marks)
{
#if defined(__SSE2__) || defined(_M_X64)
    const auto inRange = [](__m128i chunk, char low, char high) {
        const __m128i fromLow = _mm_sub_epi8(chunk, _mm_set1_epi8(low));
        const __m128i width = _mm_set1_epi8(static_cast<char>(high - low));
        return _mm_cmpeq_epi8(_mm_min_epu8(fromLow, width), fromLow);
    };
    const auto bits = [](__m128i found, unsigned part) {
        return std::uint64_t(static_cast<std::uint16_t>(_mm_movemask_epi8(found))) << (16 * part);
    };
    marks = CByteMarks();
    for (unsigned part = 0; part < 4; ++part) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
        marks.runs |= bits(inRange(chunk, '+', '9'), part);
        marks.blanks |= bits(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(' ')), part);
        marks.digits |= bits(inRange(chunk, '0', '9'), part);
        marks.points |= bits(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('.')), part);
        marks.signs |= bits(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('+')), _mm_cmpeq_epi8(chunk, _mm_set1_epi8('-'))),
                            part);
    }
#else
    MarkBytesByByte(bytes, marks);
#endif
}

// The bytes that keep a number run from being written plainly wherever they
// stand in it: a sign after the run's first byte, a "," or a "/".
inline std::uint64_t PlainRunFaults(const CByteMarks& marks)
{
    const std::uint64_t others = marks.runs & ~marks.digits & ~marks.points;
    return (others & ~marks.signs) | (marks.signs & (marks.runs << 1));
}

// Whether the number run marked by the set bits of run, one stretch of them
// from a byte that is no run byte on, is a number written plainly:
// [+-]digits[.digits] or [+-].digits, with at least one digit. faults are
// PlainRunFaults(marks). The classifier reads exactly these (and exponents,
// which are no run) without the C library.
inline bool IsPlainRun(const CByteMarks& marks, std::uint64_t faults, std::uint64_t run)
{
    const std::uint64_t points = run & marks.points;
    return (run & faults) == 0 && (points & (points - 1)) == 0 && (run & marks.digits) != 0;
}

// The same for the run of bits first to first + length - 1.
inline bool IsPlainNumberAt(const CByteMarks& marks, unsigned first, unsigned length)
{
    if (length == 0 || first + length > 64)
        return false;
    // The byte before the run counts as no run byte.
    const std::uint64_t run = (length == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << length) - 1) << first;
    CByteMarks own = marks;
    own.runs &= run;
    return IsPlainRun(marks, PlainRunFaults(own), run);
}
