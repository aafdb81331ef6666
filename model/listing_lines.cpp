#include "listing_lines.h"

#include <algorithm>

#include "cnc_bytes.h"
#include "platform.h"

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
    std::vector<std::uint16_t>().swap(distances);
    std::vector<CGroup>().swap(groups);
    std::vector<std::uint32_t>().swap(wideStarts);
    distances.reserve(length / 16 + 1);
    AdviseHugePages(distances.data(), distances.capacity() * sizeof(std::uint16_t));
    groups.reserve(length / (16 * GROUP_LINES) + 1);
    openEntries.clear();
    openEntries.reserve(GROUP_LINES);
    AddLine(0);
    textLength = static_cast<std::int64_t>(length);
    // The breaks are marked 64 bytes at a time; a CR LF's line feed is
    // passed over as part of its break.
    std::size_t lineStart = 0;
    for (std::size_t block = 0; block < length; block += 64) {
        std::uint64_t breaks = MarkLineBreaks(text + block, std::min<std::size_t>(64, length - block));
        while (breaks != 0) {
            const std::size_t lineBreak = block + number_run::LowestBit(breaks);
            breaks &= breaks - 1;
            if (lineBreak < lineStart)
                continue;
            std::size_t after = lineBreak + 1;
            std::uint32_t breakKind = 0;
            if (text[lineBreak] == '\r' && after != length && text[after] == '\n') {
                ++after;
                breakKind = AFTER_CR_LF;
            }
            AddLine(static_cast<std::uint32_t>(after) | breakKind);
            lineStart = after;
        }
    }
    if (!openEntries.empty())
        CloseGroup();
}

void CListingLines::AddLine(std::uint32_t entry)
{
    openEntries.push_back(entry);
    if (openEntries.size() == GROUP_LINES)
        CloseGroup();
}

void CListingLines::CloseGroup()
{
    const std::uint32_t first = openEntries.front() & OFFSET_MASK;
    const std::uint32_t last = openEntries.back() & OFFSET_MASK;
    CGroup group{first, NARROW_GROUP};
    if (last - first <= LARGEST_DISTANCE) {
        for (const std::uint32_t entry : openEntries) {
            const std::uint32_t distance = (entry & OFFSET_MASK) - first;
            distances.push_back(static_cast<std::uint16_t>(distance << 1 | ((entry & AFTER_CR_LF) != 0 ? 1u : 0u)));
        }
    } else {
        group.wideAt = static_cast<std::uint32_t>(wideStarts.size());
        wideStarts.insert(wideStarts.end(), openEntries.begin(), openEntries.end());
        distances.insert(distances.end(), openEntries.size(), 0);
    }
    groups.push_back(group);
    openEntries.clear();
}

int CListingLines::LineFromChar(std::int64_t position) const
{
    if (position < 0)
        return 0;
    // The group, then the line in it: the last whose start is not after the position.
    const auto nextGroup =
        std::upper_bound(groups.begin(), groups.end(), position,
                         [](std::int64_t value, const CGroup& group) { return value < group.start; });
    const std::size_t first = static_cast<std::size_t>(nextGroup - groups.begin() - 1) * GROUP_LINES;
    std::size_t line = first;
    std::size_t count = std::min(GROUP_LINES, distances.size() - first);
    while (count > 1) {
        const std::size_t half = count / 2;
        if (StartOf(line + half) <= position) {
            line += half;
            count -= half;
        } else {
            count = half;
        }
    }
    return static_cast<int>(line);
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
    if (index + 1 == distances.size())
        return textLength - StartOf(index);
    const std::uint32_t next = EntryOf(index + 1);
    const std::int64_t breakLength = (next & AFTER_CR_LF) != 0 ? 2 : 1;
    return static_cast<std::int64_t>(next & OFFSET_MASK) - breakLength - StartOf(index);
}
