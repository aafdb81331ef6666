#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "line_columns.h"

namespace {

TEST(LineColumns, ColumnOfAnOffset)
{
    const struct {
        const char* name;
        std::string line;
        std::int64_t offset;
        std::int64_t column;
    } cases[] = {
        {"start of a line", "N10 G01", 0, 0},
        {"every byte one column", "N10 G01", 4, 4},
        {"end of the line", "N10 G01", 7, 7},
        {"beyond the end is clamped", "N10 G01", 99, 7},
        {"before the start is clamped", "N10 G01", -3, 0},
        {"an empty line", "", 5, 0},
        {"a tab at the start stops at 8", "\tX1", 1, 8},
        {"the byte after a tab", "\tX1", 2, 9},
        {"a tab after three bytes stops at 8", "N10\tX1", 4, 8},
        {"a tab after seven bytes stops at 8", "1234567\tX", 8, 8},
        {"a tab after eight bytes stops at 16", "12345678\tX", 9, 16},
        {"two tabs in a row", "\t\tX", 2, 16},
        {"a tab after a tab stop", "N\t\tX", 3, 16},
        {"control and high bytes take one column", std::string("\x01\x7F\xE4\0Z", 5), 5, 5},
        {"a bare CR inside the bytes is one column", "a\rb", 3, 3},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const CLineColumns columns(row.line.data(), static_cast<std::int64_t>(row.line.size()));
        EXPECT_EQ(columns.ColumnOf(row.offset), row.column);
        EXPECT_EQ(columns.HasTab(), row.line.find('\t') != std::string::npos);
    }
}

TEST(LineColumns, WidthOfALine)
{
    const struct {
        const char* name;
        std::string line;
        std::int64_t width;
    } cases[] = {
        {"empty", "", 0},
        {"plain bytes", "N10 G01 X5", 10},
        {"only a tab", "\t", 8},
        {"text after the last tab stop", "ab\tcd\te", 17},
        {"a tab that ends exactly on a stop", "abcdefg\t", 8},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const CLineColumns columns(row.line.data(), static_cast<std::int64_t>(row.line.size()));
        EXPECT_EQ(columns.GetWidth(), row.width);
    }
}

TEST(LineColumns, OffsetNearestAColumn)
{
    const struct {
        const char* name;
        std::string line;
        double column;
        std::int64_t offset;
    } cases[] = {
        {"column 0", "N10 G01", 0.0, 0},
        {"just before a cell's middle", "N10 G01", 2.49, 2},
        {"a cell's middle goes to its end", "N10 G01", 2.5, 3},
        {"left of the line", "N10 G01", -4.0, 0},
        {"right of the line", "N10 G01", 40.0, 7},
        {"an empty line", "", 3.0, 0},
        {"in the first half of a tab's cell", "\tX1", 3.9, 0},
        {"in the second half of a tab's cell", "\tX1", 4.0, 1},
        {"the byte after a tab", "\tX1", 8.6, 2},
        {"the short cell of a tab after three bytes", "N10\tX", 5.4, 3},
        {"past the middle of that cell", "N10\tX", 5.6, 4},
        {"beyond a line with a tab", "N10\tX", 30.0, 5},
        {"left of a line with a tab", "\tX", -1.0, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const CLineColumns columns(row.line.data(), static_cast<std::int64_t>(row.line.size()));
        EXPECT_EQ(columns.OffsetNearest(row.column), row.offset);
    }
}

TEST(LineColumns, NextColumn)
{
    const struct {
        const char* name;
        std::int64_t column;
        char byte;
        std::int64_t next;
    } cases[] = {
        {"a letter", 3, 'X', 4},
        {"a tab from column 0", 0, '\t', 8},
        {"a tab from column 7", 7, '\t', 8},
        {"a tab from a tab stop", 8, '\t', 16},
        {"a blank", 8, ' ', 9},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CLineColumns::NextColumn(row.column, row.byte), row.next);
    }
}

} // namespace
