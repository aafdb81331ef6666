#include "listing_lines.h"

#include <algorithm>

void CListingLines::Build(const char* text, std::size_t length)
{
    lineStarts.assign(1, 0);
    lineEnds.clear();
    textLength = static_cast<std::int64_t>(length);
    for (std::size_t index = 0; index < length; ++index) {
        const char byte = text[index];
        if (byte != '\r' && byte != '\n')
            continue;
        lineEnds.push_back(static_cast<std::int64_t>(index));
        if (byte == '\r' && index + 1 < length && text[index + 1] == '\n')
            ++index;
        lineStarts.push_back(static_cast<std::int64_t>(index + 1));
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
