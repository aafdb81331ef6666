#include "listing_lines.h"

#include <algorithm>
#include <cstring>

#include "platform.h"

void CListingLines::Build(const char* text, std::size_t length)
{
    // Room for lines of 16 bytes on average, which CNC programs rarely go
    // below, so that a listing of millions of lines is indexed without the
    // index copying itself as it grows; room never used costs no memory.
    std::vector<std::uint32_t>().swap(lineStarts);
    lineStarts.reserve(length / 16 + 1);
    AdviseHugePages(lineStarts.data(), lineStarts.capacity() * sizeof(std::uint32_t));
    lineStarts.push_back(0);
    textLength = static_cast<std::int64_t>(length);
    const char* const end = text + length;
    // memchr finds each kind of break at memory speed; the nearer one wins.
    const auto next = [end](const char* from, char byte) {
        const void* found = std::memchr(from, byte, static_cast<std::size_t>(end - from));
        return found != nullptr ? static_cast<const char*>(found) : end;
    };
    const char* nextReturn = next(text, '\r');
    const char* nextFeed = next(text, '\n');
    while (nextReturn != end || nextFeed != end) {
        const char* lineBreak = std::min(nextReturn, nextFeed);
        const char* after = lineBreak + 1;
        std::uint32_t breakKind = 0;
        if (*lineBreak == '\r' && after != end && *after == '\n') {
            ++after;
            breakKind = AFTER_CR_LF;
        }
        lineStarts.push_back(static_cast<std::uint32_t>(after - text) | breakKind);
        if (nextReturn < after)
            nextReturn = next(after, '\r');
        if (nextFeed < after)
            nextFeed = next(after, '\n');
    }
}

int CListingLines::LineFromChar(std::int64_t position) const
{
    if (position < 0)
        return 0;
    const auto next = std::upper_bound(lineStarts.begin(), lineStarts.end(), position,
                                       [](std::int64_t value, std::uint32_t start) { return value < (start & OFFSET_MASK); });
    return static_cast<int>(next - lineStarts.begin()) - 1;
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
    if (index + 1 == lineStarts.size())
        return textLength - StartOf(index);
    const std::int64_t breakLength = (lineStarts[index + 1] & AFTER_CR_LF) != 0 ? 2 : 1;
    return StartOf(index + 1) - breakLength - StartOf(index);
}
