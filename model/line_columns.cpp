#include "line_columns.h"

#include <algorithm>
#include <cmath>
#include <cstring>

CLineColumns::CLineColumns(const char* bytes, std::int64_t length)
    : bytes(bytes), length(std::max<std::int64_t>(length, 0)),
      // Most listings have no tab at all; memchr finds that out at memory speed.
      hasTab(this->length != 0 && std::memchr(bytes, '\t', static_cast<std::size_t>(this->length)) != nullptr)
{
}

std::int64_t CLineColumns::ColumnOf(std::int64_t offset) const
{
    const std::int64_t end = std::clamp<std::int64_t>(offset, 0, length);
    if (!hasTab)
        return end;
    std::int64_t column = 0;
    for (std::int64_t index = 0; index < end; ++index)
        column = NextColumn(column, bytes[index]);
    return column;
}

std::int64_t CLineColumns::OffsetNearest(double column) const
{
    if (!hasTab)
        return std::clamp<std::int64_t>(std::llround(column), 0, length);
    std::int64_t cellStart = 0;
    for (std::int64_t index = 0; index < length; ++index) {
        const std::int64_t cellEnd = NextColumn(cellStart, bytes[index]);
        if (column < (cellStart + cellEnd) / 2.0)
            return index;
        cellStart = cellEnd;
    }
    return length;
}
