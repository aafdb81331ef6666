#include <gtest/gtest.h>

#include <algorithm>

#include "height_grid.h"

namespace {

// The default cell gives the longer side exactly 1000 cells, also where the
// quotient rounds so that the side would take one more.
TEST(HeightGridTest, DefaultCellGivesTheLongerSideItsCells)
{
    struct Row {
        const char* name;
        CStockBox box;
    };
    const Row rows[] = {
        {"a round width", CStockBox{0.0, 0.0, -10.0, 100.0, 50.0, 0.0}},
        {"a width whose thousandth rounds down", CStockBox{0.0, 0.0, -10.0, 99.7, 50.0, 0.0}},
        {"a long side along Y that rounds down",
         CStockBox{0.0, -33245.578173423484, -10.0, 100.0, 27699.773390869923, 0.0}},
        {"a small box", CStockBox{-1.0, -1.0, -1.0, 1.0, 0.5, 0.0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::size_t columns = 0;
        std::size_t rowCount = 0;
        ASSERT_TRUE(CHeightGrid::CountCells(row.box, CHeightGrid::DefaultCell(row.box), columns, rowCount));
        EXPECT_EQ(std::max(columns, rowCount), static_cast<std::size_t>(CHeightGrid::DEFAULT_CELLS_ON_LONGER_SIDE));
    }
}

} // namespace
