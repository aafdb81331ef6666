// The column layout of one line of a listing: tabs stop at every eighth
// column, every other byte takes one column. It answers which column an
// offset stands at and which offset lies nearest to a column; what a byte
// looks like and how wide a column is in pixels it leaves to the view.
#pragma once

#include <cstdint>

class CLineColumns {
public:
    static constexpr std::int64_t TAB_STOP = 8;

    // bytes holds the line without its break; it must outlive the object.
    CLineColumns(const char* bytes, std::int64_t length);

    // The column that follows a byte standing at column.
    static std::int64_t NextColumn(std::int64_t column, char byte)
    {
        return byte == '\t' ? (column / TAB_STOP + 1) * TAB_STOP : column + 1;
    }

    bool HasTab() const { return hasTab; }
    // The column of an offset into the line, clamped to the line.
    std::int64_t ColumnOf(std::int64_t offset) const;
    // The columns the whole line takes.
    std::int64_t GetWidth() const { return ColumnOf(length); }
    // The offset whose cell boundary lies nearest to column, clamped to the
    // line; a column halfway through a cell goes to the cell's end.
    std::int64_t OffsetNearest(double column) const;

private:
    const char* bytes;
    std::int64_t length;
    bool hasTab;
};
