// The silhouettes of a grid against the lowest and highest height of each
// line of sight, read cell by cell.
#include <algorithm>
#include <cstddef>
#include <vector>

#include <gtest/gtest.h>

#include "height_grid.h"
#include "relief_image.h"

namespace {

struct CCut {
    std::size_t column;
    std::size_t row;
    double height;
};

TEST(ReliefImage, SilhouettesAreTheBoundsOfEachLineOfSight)
{
    const CStockBox box{0.0, 0.0, -5.0, 7.0, 4.0, 0.0};
    const struct {
        const char* name;
        std::vector<CCut> cuts;
    } rows[] = {
        {"untouched: the box's top everywhere", {}},
        {"one cell cut in the middle", {{3, 2, -2.5}}},
        {"cuts in the first and last column and row", {{0, 0, -1.0}, {6, 3, -5.0}, {6, 0, -0.25}}},
        {"two depths on one line of sight", {{2, 1, -1.0}, {2, 3, -4.0}, {5, 1, -3.0}}},
        {"a cell above the top, where material was added back", {{4, 2, 0.5}, {1, 2, -2.0}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CHeightGrid grid(box, 1.0);
        ASSERT_EQ(grid.GetColumns(), 7u);
        ASSERT_EQ(grid.GetRows(), 4u);
        for (const CCut& cut : row.cuts)
            grid.GetHeights()[cut.row * grid.GetColumns() + cut.column] = cut.height;
        const CSilhouettes measured = ReliefImage::MeasureSilhouettes(grid);
        for (std::size_t column = 0; column < grid.GetColumns(); ++column) {
            double low = box.z1;
            double high = box.z0;
            for (std::size_t line = 0; line < grid.GetRows(); ++line) {
                low = std::min(low, grid.GetHeight(column, line));
                high = std::max(high, grid.GetHeight(column, line));
            }
            EXPECT_EQ(measured.frontLow[column], low) << "column " << column;
            EXPECT_EQ(measured.frontHigh[column], high) << "column " << column;
        }
        for (std::size_t line = 0; line < grid.GetRows(); ++line) {
            double low = box.z1;
            double high = box.z0;
            for (std::size_t column = 0; column < grid.GetColumns(); ++column) {
                low = std::min(low, grid.GetHeight(column, line));
                high = std::max(high, grid.GetHeight(column, line));
            }
            EXPECT_EQ(measured.sideLow[line], low) << "row " << line;
            EXPECT_EQ(measured.sideHigh[line], high) << "row " << line;
        }
    }
}

} // namespace
