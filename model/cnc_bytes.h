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

// The top bit of every byte among the first count of a chunk.
inline std::uint64_t FirstBytes(std::size_t count)
{
    return count >= 8 ? HIGH_BITS : HIGH_BITS & ((std::uint64_t(1) << (8 * count)) - 1);
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

// Whether the number run of length bytes at bytes (at most 16; 16 bytes
// must be readable) is a number written plainly: [+-]digits[.digits] or
// [+-].digits, with at least one digit. The classifier reads exactly these
// (and exponents, which are no run) without the C library.
inline bool IsPlainNumberRun(const unsigned char* bytes, std::size_t length)
{
    using namespace number_run;
    if (length == 0 || length > 16)
        return false;
    constexpr std::uint64_t LOW_BITS = ~HIGH_BITS;
    constexpr std::uint64_t POINTS = ONES * '.';
    const std::uint64_t firstMask = FirstBytes(length);
    const std::uint64_t secondMask = length > 8 ? FirstBytes(length - 8) : 0;
    const std::uint64_t first = LoadEight(bytes);
    const std::uint64_t second = LoadEight(bytes + 8);
    // In a run only the digits have bit 4 set; "." is the one byte equal to
    // POINTS' bytes, found without carries between bytes.
    const std::uint64_t firstOthers = (~first << 3) & firstMask;
    const std::uint64_t secondOthers = (~second << 3) & secondMask;
    const std::uint64_t firstX = first ^ POINTS;
    const std::uint64_t secondX = second ^ POINTS;
    const std::uint64_t firstPoints = ~(((firstX & LOW_BITS) + LOW_BITS) | firstX) & firstMask;
    const std::uint64_t secondPoints = ~(((secondX & LOW_BITS) + LOW_BITS) | secondX) & secondMask;
    // Past the first byte, which may be a sign, every byte but one point is a digit.
    if (((firstOthers & ~firstPoints & ~std::uint64_t(0x80)) | (secondOthers & ~secondPoints)) != 0)
        return false;
    if ((firstPoints & (firstPoints - 1)) != 0 || (secondPoints & (secondPoints - 1)) != 0 ||
        (firstPoints != 0 && secondPoints != 0))
        return false;
    if (bytes[0] == ',' || bytes[0] == '/')
        return false;
    return firstOthers != firstMask || secondOthers != secondMask;
}

// Bit i of runs marks bytes[i] as a number run byte, of blanks as a blank
// (" "), for the 64 bytes at bytes; by byte, as any system can.
inline void MarkRunsAndBlanksByByte(const unsigned char* bytes, std::uint64_t& runs, std::uint64_t& blanks)
{
    runs = 0;
    blanks = 0;
    for (unsigned index = 0; index < 64; ++index) {
        runs |= std::uint64_t(bytes[index] >= '+' && bytes[index] <= '9') << index;
        blanks |= std::uint64_t(bytes[index] == ' ') << index;
    }
}

// The same sixteen bytes at a time where the processor offers it: the
// reader marks every byte of a program so.
inline void MarkRunsAndBlanks(const unsigned char* bytes, std::uint64_t& runs, std::uint64_t& blanks)
{
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i plus = _mm_set1_epi8('+');
    const __m128i runWidth = _mm_set1_epi8('9' - '+');
    const __m128i blank = _mm_set1_epi8(' ');
    runs = 0;
    blanks = 0;
    for (unsigned part = 0; part < 4; ++part) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
        const __m128i fromPlus = _mm_sub_epi8(chunk, plus);
        const __m128i inRun = _mm_cmpeq_epi8(_mm_min_epu8(fromPlus, runWidth), fromPlus);
        runs |= std::uint64_t(static_cast<std::uint16_t>(_mm_movemask_epi8(inRun))) << (16 * part);
        blanks |= std::uint64_t(static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, blank))))
                  << (16 * part);
    }
#else
    MarkRunsAndBlanksByByte(bytes, runs, blanks);
#endif
}
