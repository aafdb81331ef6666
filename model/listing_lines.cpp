#include "listing_lines.h"

#include <algorithm>
#include <cstring>

void CListingLines::Build(const char* text, std::size_t length)
{
    lineStarts.assign(1, 0);
    lineEnds.clear();
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
        lineEnds.push_back(lineBreak - text);
        const char* after = lineBreak + 1;
        if (*lineBreak == '\r' && after != end && *after == '\n')
            ++after;
        lineStarts.push_back(after - text);
        if (nextReturn < after)
            nextReturn = next(after, '\r');
        if (nextFeed < after)
            nextFeed = next(after, '\n');
    }
    lineEnds.push_back(textLength);
}

int CListingLines::LineFromChar(std::int64_t position) const
{
    const auto next = std::upper_bound(lineStarts.begin(), lineStarts.end(), position);
    if (next == lineStarts.begin())
        return 0;
    return static_cast<int>(next - lineStarts.begin()) - 1;
}

std::int64_t CListingLines::GetLineStart(int line) const
{
    line = std::clamp(line, 0, GetLineCount() - 1);
    return lineStarts[static_cast<std::size_t>(line)];
}

std::int64_t CListingLines::GetLineLength(int line) const
{
    line = std::clamp(line, 0, GetLineCount() - 1);
    return lineEnds[static_cast<std::size_t>(line)] - lineStarts[static_cast<std::size_t>(line)];
}
