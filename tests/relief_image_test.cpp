// The silhouettes of a grid against the lowest and highest height of each
// line of sight, read cell by cell; a relief brought up to date row by row
// against one drawn whole.
#include <algorithm>
#include <cstddef>
#include <vector>

#include <gtest/gtest.h>

#include "generated_programs.h"
#include "height_grid.h"
#include "path_builder.h"
#include "relief_image.h"
#include "test_support.h"
#include "workpiece.h"

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

// A step forwards or back, near or far: the relief of the earlier grid
// brought up to date equals the relief drawn whole, and the kept grid is
// the new one.
TEST(ReliefImage, UpdatedReliefEqualsTheWholeDrawing)
{
    CLoaderRig rig;
    rig.LoadBytes(RectangularPocketProgram());
    CMoveTable table;
    CPathBuilder(rig.loader.GetWordList(), 0).BuildTable(table);
    const std::size_t moves = table.GetCount();
    ASSERT_GT(moves, 20u);
    CWorkpiece::CSettings settings;
    settings.box = CStockBox{-2.0, -1.0, -4.0, 43.0, 22.0, 0.0};
    settings.cell = 0.37;
    CToolTable tools;
    tools.SetDefaultTool(CTool{TOOL_BALL, 5.0});
    const struct {
        const char* name;
        std::size_t from;
        std::size_t to;
    } rows[] = {
        {"the first move from the untouched box", 0, 1},
        {"one move forwards in the middle", moves / 2, moves / 2 + 1},
        {"one move back in the middle", moves / 2 + 1, moves / 2},
        {"many moves forwards at once", moves / 4, 3 * moves / 4},
        {"back to the untouched box", moves / 2, 0},
        {"no change at all", moves / 3, moves / 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CWorkpiece workpiece(table, rig.loader.GetWordList(), 0, tools, settings);
        workpiece.BringTo(row.from);
        CHeightGrid kept = workpiece.GetGrid();
        CPixelImage relief = ReliefImage::DrawRelief(kept);
        workpiece.BringTo(row.to);
        ReliefImage::UpdateRelief(workpiece.GetGrid(), kept, relief.GetSpan());
        EXPECT_TRUE(kept == workpiece.GetGrid());
        const CPixelImage whole = ReliefImage::DrawRelief(workpiece.GetGrid());
        EXPECT_TRUE(relief.GetPixels() == whole.GetPixels());
    }
}

// One cell lowered anywhere, the grid's edges included: its neighbours'
// shading changes too, and the update redraws them wherever the cell lies
// along the row.
TEST(ReliefImage, UpdateRedrawsTheNeighboursOfEveryChangedCell)
{
    const CHeightGrid flat(CStockBox{0.0, 0.0, -2.0, 200.0, 4.0, 0.0}, 1.0);
    ASSERT_EQ(flat.GetColumns(), 200u);
    const CPixelImage flatRelief = ReliefImage::DrawRelief(flat);
    for (std::size_t row = 0; row < flat.GetRows(); ++row) {
        for (std::size_t column = 0; column < flat.GetColumns(); ++column) {
            CHeightGrid kept = flat;
            CPixelImage relief = flatRelief;
            CHeightGrid cut = flat;
            cut.GetData()[row * cut.GetColumns() + column] = -1.0;
            ReliefImage::UpdateRelief(cut, kept, relief.GetSpan());
            ASSERT_TRUE(relief.GetPixels() == ReliefImage::DrawRelief(cut).GetPixels())
                << "column " << column << ", row " << row;
        }
    }
}

} // namespace
