#include "listing_lines.h"

#include <algorithm>

#include "cnc_bytes.h"

namespace {

// Bit i marks bytes[i] as a carriage return or a line feed, for count
// bytes up to 64; sixteen at a time where the processor offers it.
std::uint64_t MarkLineBreaks(const char* bytes, std::size_t count)
{
    std::uint64_t breaks = 0;
    std::size_t index = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i lineFeed = _mm_set1_epi8('\n');
    for (; index + 16 <= count; index += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + index));
        const __m128i found = _mm_or_si128(_mm_cmpeq_epi8(chunk, carriageReturn), _mm_cmpeq_epi8(chunk, lineFeed));
        breaks |= std::uint64_t(static_cast<std::uint16_t>(_mm_movemask_epi8(found))) << index;
    }
#endif
    for (; index < count; ++index)
        breaks |= std::uint64_t(bytes[index] == '\r' || bytes[index] == '\n') << index;
    return breaks;
}

} // namespace

void CListingLines::Build(const char* text, std::size_t length)
{
    // Room for lines of 16 bytes on average, which CNC programs rarely go
    // below, so that a listing of millions of lines is indexed without the
    // index copying itself as it grows; room never used costs no memory.
    lineStarts.Empty();
    lineStarts.Reserve(length / 16 + 1);
    lineStarts.Append(0);
    std::vector<std::uint64_t>().swap(crLfBefore);
    crLfBefore.reserve(length / 16 / 64 + 1);
    textLength = static_cast<std::int64_t>(length);
    // The breaks are marked 64 bytes at a time, and the line starts
    // appended a few hundred at once; a CR LF's line feed is passed over as
    // part of its break.
    constexpr std::size_t PENDING_STARTS = 256;
    std::uint32_t pending[PENDING_STARTS];
    std::size_t pendingCount = 0;
    std::size_t lineStart = 0;
    for (std::size_t block = 0; block < length; block += 64) {
        std::uint64_t breaks = MarkLineBreaks(text + block, std::min<std::size_t>(64, length - block));
        while (breaks != 0) {
            const std::size_t lineBreak = block + number_run::LowestBit(breaks);
            breaks &= breaks - 1;
            if (lineBreak < lineStart)
                continue;
            std::size_t after = lineBreak + 1;
            if (text[lineBreak] == '\r' && after != length && text[after] == '\n') {
                ++after;
                const std::size_t line = lineStarts.GetCount() + pendingCount;
                if (line / 64 >= crLfBefore.size())
                    crLfBefore.resize(line / 64 + 1, 0);
                crLfBefore[line / 64] |= std::uint64_t(1) << (line % 64);
            }
            pending[pendingCount++] = static_cast<std::uint32_t>(after);
            lineStart = after;
            if (pendingCount == PENDING_STARTS) {
                lineStarts.Append(pending, pendingCount);
                pendingCount = 0;
            }
        }
    }
    lineStarts.Append(pending, pendingCount);
    // Bits for every line, CR LF or not.
    crLfBefore.resize(lineStarts.GetCount() / 64 + 1, 0);
    lineStarts.GiveBackRoom();
    GiveBackRoom(crLfBefore);
}

int CListingLines::LineFromChar(std::int64_t position) const
{
    if (position < 0)
        return 0;
    return static_cast<int>(lineStarts.CountUpTo(static_cast<std::uint64_t>(position))) - 1;
}

std::int64_t CListingLines::GetLineStart(int line) const
{
    line = std::clamp(line, 0, GetLineCount() - 1);
    return StartOf(static_cast<std::size_t>(line));
}

std::int64_t CListingLines::GetLineLength(int line) const
{
    line = std::clamp(line, 0, GetLineCount() - 1);
    const auto index = static_cast<std::size_t>(line);
    if (index + 1 == lineStarts.GetCount())
        return textLength - StartOf(index);
    const std::int64_t breakLength = FollowsCrLf(index + 1) ? 2 : 1;
    return StartOf(index + 1) - breakLength - StartOf(index);
}
