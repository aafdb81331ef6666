#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "path_builder.h"
#include "png_writer.h"
#include "stock_comparison.h"
#include "test_support.h"
#include "workpiece.h"

namespace {

// A grid of three columns and two rows with the given heights, row 0 first.
CHeightGrid SmallGrid(double cell, const std::vector<double>& heights)
{
    CHeightGrid grid(CStockBox{0.0, 0.0, -10.0, 3.0 * cell, 2.0 * cell, 0.0}, cell);
    grid.GetHeights() = heights;
    return grid;
}

struct TotalsRow {
    const char* name;
    double cell;
    double tolerance;
    std::vector<double> reference;
    std::vector<double> learner;
    std::size_t over;
    std::size_t under;
    double maxOver;
    double maxUnder;
    std::size_t maxOverCell;
    std::size_t maxUnderCell;
    double overVolume;
    double underVolume;
};

// Every figure worked out by hand from the six heights.
TEST(StockComparisonTest, TotalsMatchHandComputedValues)
{
    const TotalsRow rows[] = {
        {"equal parts are within everywhere", 1.0, 0.05, {0, -1, -2, -3, -4, -5}, {0, -1, -2, -3, -4, -5},
         0, 0, 0.0, 0.0, 0, 0, 0.0, 0.0},
        {"a difference of exactly the tolerance is within, but counts in the volume", 1.0, 0.5,
         {-1, -1, -1, -1, -1, -1}, {-1.5, -0.5, -1, -1, -1, -1}, 0, 0, 0.5, 0.5, 0, 1, 0.5, 0.5},
        {"one cell too deep and one with material left", 1.0, 0.05, {-1, -1, -1, -2, -2, -2},
         {-1, -3, -1, -2, -2, 0}, 1, 1, 2.0, 2.0, 1, 5, 2.0, 2.0},
        {"volumes are the cell's area times the summed differences", 0.5, 0.05, {-1, -1, -1, -1, -1, -1},
         {-2, -1.5, -1, 0, -1, -0.75}, 2, 2, 1.0, 1.0, 0, 3, 0.25 * 1.5, 0.25 * 1.25},
        {"the first cell in row order holds the largest on a tie", 1.0, 0.05, {0, 0, 0, 0, 0, 0},
         {-1, 0, -2, -2, 0, 0}, 3, 0, 2.0, 0.0, 2, 0, 5.0, 0.0},
        {"differences within the tolerance add to the volume only", 1.0, 0.25, {-1, -1, -1, -1, -1, -1},
         {-1.125, -0.875, -1, -1, -1, -1}, 0, 0, 0.125, 0.125, 0, 1, 0.125, 0.125},
    };
    for (const TotalsRow& row : rows) {
        SCOPED_TRACE(row.name);
        const CHeightGrid reference = SmallGrid(row.cell, row.reference);
        const CHeightGrid learner = SmallGrid(row.cell, row.learner);
        ASSERT_TRUE(CStockComparison::CanCompare(reference, learner));
        CStockComparison comparison(reference, row.tolerance);
        comparison.Compare(learner);
        const CComparisonTotals& totals = comparison.GetTotals();
        EXPECT_EQ(totals.cells, 6u);
        EXPECT_EQ(totals.over, row.over);
        EXPECT_EQ(totals.under, row.under);
        EXPECT_EQ(totals.within, 6u - row.over - row.under);
        EXPECT_DOUBLE_EQ(totals.maxOver, row.maxOver);
        EXPECT_DOUBLE_EQ(totals.maxUnder, row.maxUnder);
        if (row.maxOver > 0.0) {
            EXPECT_EQ(totals.maxOverCell, row.maxOverCell);
        }
        if (row.maxUnder > 0.0) {
            EXPECT_EQ(totals.maxUnderCell, row.maxUnderCell);
        }
        EXPECT_DOUBLE_EQ(totals.overVolume, row.overVolume);
        EXPECT_DOUBLE_EQ(totals.underVolume, row.underVolume);
    }
}

TEST(StockComparisonTest, GridsOfOtherBoxesOrCellsCannotBeCompared)
{
    const CHeightGrid grid = SmallGrid(1.0, std::vector<double>(6, 0.0));
    EXPECT_TRUE(CStockComparison::CanCompare(grid, SmallGrid(1.0, std::vector<double>(6, -1.0))));
    EXPECT_FALSE(CStockComparison::CanCompare(grid, SmallGrid(0.5, std::vector<double>(6, 0.0))));
    EXPECT_FALSE(CStockComparison::CanCompare(grid, CHeightGrid(CStockBox{0.0, 0.0, -5.0, 3.0, 2.0, 0.0}, 1.0)));
}

// After a step only the rows it changed are compared again: the totals must
// then equal those of the whole grid compared afresh, bit for bit.
TEST(StockComparisonTest, RowUpdatesGiveTheTotalsOfAFreshComparison)
{
    const CStockBox box{0.0, 0.0, -4.0, 7.0, 9.0, 0.0};
    CHeightGrid reference(box, 0.5);
    CHeightGrid learner(box, 0.5);
    std::mt19937 random(25);
    std::uniform_real_distribution<double> depth(-4.0, 0.0);
    for (double& height : reference.GetHeights())
        height = depth(random);
    learner.GetHeights() = reference.GetHeights();
    CStockComparison stepped(reference, 0.05);
    stepped.Compare(learner);
    for (int step = 0; step < 20; ++step) {
        SCOPED_TRACE(step);
        const std::size_t first = random() % learner.GetRows();
        const std::size_t end = std::min(learner.GetRows(), first + 1 + random() % 3);
        for (std::size_t row = first; row < end; ++row) {
            for (std::size_t column = 0; column < learner.GetColumns(); ++column)
                learner.GetHeights()[row * learner.GetColumns() + column] = depth(random);
        }
        stepped.UpdateRows(learner, first, end);
        CStockComparison fresh(reference, 0.05);
        fresh.Compare(learner);
        const CComparisonTotals& a = stepped.GetTotals();
        const CComparisonTotals& b = fresh.GetTotals();
        EXPECT_EQ(a.over, b.over);
        EXPECT_EQ(a.under, b.under);
        EXPECT_EQ(a.within, b.within);
        EXPECT_EQ(a.over + a.under + a.within, a.cells);
        EXPECT_EQ(std::memcmp(&a.overVolume, &b.overVolume, sizeof(double)), 0);
        EXPECT_EQ(std::memcmp(&a.underVolume, &b.underVolume, sizeof(double)), 0);
        EXPECT_EQ(a.maxOver, b.maxOver);
        EXPECT_EQ(a.maxOverCell, b.maxOverCell);
        EXPECT_EQ(a.maxUnderCell, b.maxUnderCell);
    }
}

struct LoadedPath {
    explicit LoadedPath(const std::string& bytes)
    {
        rig.LoadBytes(bytes);
        headerLines = CPathBuilder::CountHeaderLines(rig.loader.GetHeader());
        CPathBuilder(rig.loader.GetWordList(), headerLines).BuildTable(table);
    }
    const CWordList& Words() const { return rig.loader.GetWordList(); }

    CLoaderRig rig;
    std::int64_t headerLines = 0;
    CMoveTable table;
};

const CStockBox TWENTY_BOX{0.0, 0.0, -10.0, 20.0, 20.0, 0.0};

CHeightGrid SweptGrid(const LoadedPath& path, const CToolTable& tools, const CStockBox& box, double cell,
                      std::size_t moves)
{
    CWorkpiece::CSettings settings;
    settings.box = box;
    settings.cell = cell;
    CWorkpiece workpiece(path.table, path.Words(), path.headerLines, tools, settings);
    workpiece.BringTo(moves);
    return workpiece.GetGrid();
}

struct FirstOverRow {
    const char* name;
    std::string reference;
    std::string learner;
    double tolerance;
    bool found;
    std::size_t move;
    std::int64_t line;
};

TEST(StockComparisonTest, FirstMoveTooDeepIsTheOneThatCutsBelowTheTolerance)
{
    const std::string reference = "%\r\nG0 X10 Y10 Z5\r\nG1 Z-1\r\nX15\r\n";
    const FirstOverRow rows[] = {
        {"the same program never cuts too deep", reference, reference, 0.05, false, 0, 0},
        {"a deeper plunge is too deep at once", reference, "%\r\nG0 X10 Y10 Z5\r\nG1 Z-2\r\nX15\r\n", 0.05, true, 1,
         3},
        {"a later move that dips is the first", reference, "%\r\nG0 X10 Y10 Z5\r\nG1 Z-1\r\nX12\r\nZ-1.5\r\nX15\r\n",
         0.05, true, 3, 5},
        {"a dip within the tolerance is no cut too deep", reference,
         "%\r\nG0 X10 Y10 Z5\r\nG1 Z-1\r\nX12\r\nZ-1.5\r\nX15\r\n", 0.5, false, 0, 0},
        {"cutting where the reference leaves material is too deep", reference,
         "%\r\nG0 X10 Y10 Z5\r\nG1 Z-1\r\nX15\r\nG0 Z5\r\nX3 Y3\r\nG1 Z-0.5\r\n", 0.05, true, 5, 7},
        {"a rapid through the material counts like any move", reference,
         "%\r\nG0 X10 Y10 Z-1\r\nG1 X15\r\n", 0.05, true, 0, 2},
    };
    CToolTable tools;
    for (const FirstOverRow& row : rows) {
        SCOPED_TRACE(row.name);
        const LoadedPath wanted(row.reference);
        const LoadedPath learner(row.learner);
        const CHeightGrid referenceGrid = SweptGrid(wanted, tools, TWENTY_BOX, 1.0, wanted.table.GetCount());
        CHeightGrid grid(TWENTY_BOX, 1.0);
        bool found = false;
        std::size_t move = 0;
        ASSERT_TRUE(CStockComparison::SweepFindingFirstOver(learner.table, learner.Words(), tools, referenceGrid,
                                                            row.tolerance, grid, found, move));
        EXPECT_EQ(found, row.found);
        if (row.found) {
            EXPECT_EQ(move, row.move);
            EXPECT_EQ(CStockComparison::FindMoveLine(learner.table, learner.Words(), learner.headerLines, move),
                      row.line);
        }
    }
}

TEST(StockComparisonTest, ACancelledSearchStopsAndSaysSo)
{
    const LoadedPath learner("%\r\nG0 X10 Y10 Z5\r\nG1 Z-2\r\nX15\r\n");
    const CToolTable tools;
    const CHeightGrid referenceGrid(TWENTY_BOX, 1.0);
    const struct {
        const char* name;
        bool cancelled;
        bool expectedComplete;
    } rows[] = {
        {"a search left alone sweeps every move", false, true},
        {"a cancelled search returns at once, the box untouched", true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::atomic<bool> cancel(row.cancelled);
        CHeightGrid grid(TWENTY_BOX, 1.0);
        bool found = false;
        std::size_t move = 0;
        EXPECT_EQ(CStockComparison::SweepFindingFirstOver(learner.table, learner.Words(), tools, referenceGrid, 0.05,
                                                          grid, found, move, &cancel),
                  row.expectedComplete);
        const CHeightGrid swept = SweptGrid(learner, tools, TWENTY_BOX, 1.0, row.cancelled ? 0 : 3);
        EXPECT_EQ(grid.GetHeights(), swept.GetHeights());
        EXPECT_EQ(found, !row.cancelled);
    }
}

// The block limits only skip the reference's own heights: every cell is
// judged as the plain rule judges it, whatever its block's other cells hold.
TEST(StockComparisonTest, BlockLimitsJudgeEveryCellAsThePlainRule)
{
    // Eleven columns and one row: a block of eight and a short last block.
    const CStockBox box{0.0, 0.0, -10.0, 11.0, 1.0, 0.0};
    const struct {
        const char* name;
        double tolerance;
        std::vector<double> reference;
        std::vector<double> learner;
    } rows[] = {
        {"a deep cell beside high ones in its block", 0.05, {0, 0, 0, -5, 0, 0, 0, 0, -1, -1, -1},
         {-0.5, -5, 0, -4.98, 0, -0.1, 0, 0, -1, -1.06, -1}},
        {"exactly the tolerance below is not too deep", 0.5, {-1, -1, -1, -1, -1, -1, -1, -1, -2, -2, -2},
         {-1.5, -1.25, -1, -1, -1, -1, -1, -1, -2.5, -2.75, -2}},
        {"the short last block alone too deep", 0.05, {0, 0, 0, 0, 0, 0, 0, 0, -3, 0, -3},
         {0, 0, 0, 0, 0, 0, 0, 0, -3, -0.06, -3.1}},
        {"a zero tolerance counts any cell below", 0.0, {-2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2},
         {-2, -2, -2, -2, -2, -2, -2, -2.001, -2, -2, -1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CHeightGrid reference(box, 1.0);
        reference.GetHeights() = row.reference;
        const CStockComparison::CTooDeepLimits limits(reference, row.tolerance);
        const CStockComparison comparison(reference, row.tolerance);
        for (std::size_t cell = 0; cell < row.learner.size(); ++cell) {
            SCOPED_TRACE(cell);
            EXPECT_EQ(limits.IsTooDeep(cell, row.learner[cell]),
                      comparison.Judge(row.learner[cell], row.reference[cell]) == CELL_OVER);
        }
    }
}

// A thread keeps its stamps from one learner to the next: whatever they
// hold, the sweep and the first move too deep are those of fresh stamps.
TEST(StockComparisonTest, ReusedStampsSweepAsFreshOnes)
{
    const LoadedPath wanted("%\r\nG0 X10 Y10 Z5\r\nG1 Z-1\r\nX15\r\nY15\r\n");
    const LoadedPath earlier("%\r\nG0 X3 Y3 Z5\r\nG1 Z-0.2\r\n");
    // Too deep first at its move 5, on cells none of its moves before touch.
    const LoadedPath learner("%\r\nG0 X10 Y10 Z5\r\nG1 Z-1\r\nX15\r\nG0 Z5\r\nX3 Y3\r\nG1 Z-0.5\r\n");
    const CToolTable tools;
    const CHeightGrid referenceGrid = SweptGrid(wanted, tools, TWENTY_BOX, 1.0, wanted.table.GetCount());
    const CStockComparison::CTooDeepLimits limits(referenceGrid, 0.05);
    // The earlier learner's move 1 marks the cells of the learner's move 5
    // with serial 2, which move 5 gets should the serials wrap from the
    // last one: those cells would pass for already changed and unchecked.
    const struct {
        const char* name;
        // A program swept with the stamps first, or none.
        const LoadedPath* before;
        std::uint32_t lastSerial;
        // Stamps of a grid of another size.
        std::size_t otherSize;
    } rows[] = {
        {"fresh stamps", nullptr, 0, 0},
        {"the stamps of an earlier learner", &earlier, 0, 0},
        {"stamps whose serials would wrap within the path", &earlier, 0xFFFFFFFCu, 0},
        {"stamps of a grid of another size", nullptr, 7, 50},
    };
    const CHeightGrid expected = SweptGrid(learner, tools, TWENTY_BOX, 1.0, learner.table.GetCount());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CStockComparison::CSearchStamps stamps;
        bool found = false;
        std::size_t move = 0;
        if (row.before != nullptr) {
            CHeightGrid other(TWENTY_BOX, 1.0);
            ASSERT_TRUE(CStockComparison::SweepFindingFirstOver(row.before->table, row.before->Words(), tools, limits,
                                                                stamps, other, found, move));
        }
        if (row.lastSerial != 0)
            stamps.lastSerial = row.lastSerial;
        if (row.otherSize != 0)
            stamps.stamps.assign(row.otherSize, 1);
        CHeightGrid grid(TWENTY_BOX, 1.0);
        ASSERT_TRUE(CStockComparison::SweepFindingFirstOver(learner.table, learner.Words(), tools, limits, stamps,
                                                            grid, found, move));
        EXPECT_TRUE(grid == expected);
        EXPECT_TRUE(found);
        EXPECT_EQ(move, 5u);
    }
}

// Random paths in the box, each cut by two tools: the counts add up, a part
// compared with itself is within everywhere, the comparison's own sweep
// leaves what the workpiece leaves, and the first move too deep is the one
// a move-by-move scan of the workpiece finds.
TEST(StockComparisonTest, RandomPathsKeepTheComparisonsRules)
{
    std::mt19937 random(2026);
    std::uniform_real_distribution<double> place(-2.0, 22.0);
    std::uniform_real_distribution<double> depth(-3.0, 1.0);
    // The learner's moves are the reference's, raised by lift all over and
    // one of them lowered by dip: raised alone, it can never cut too deep.
    struct Move {
        bool rapid;
        double x, y, z;
    };
    const auto write = [](const std::vector<Move>& moves, double lift, std::size_t dipped, double dip) {
        std::string program = "%\r\nT1\r\n";
        for (std::size_t index = 0; index < moves.size(); ++index) {
            const Move& move = moves[index];
            char block[96];
            std::snprintf(block, sizeof block, "%s X%.3f Y%.3f Z%.3f\r\n", move.rapid ? "T2 G0" : "G1", move.x,
                          move.y, move.z + lift - (index == dipped ? dip : 0.0));
            program += block;
        }
        return program;
    };
    CToolTable tools;
    tools.SetTool(1, CTool{TOOL_FLAT, 4.0});
    tools.SetTool(2, CTool{TOOL_BALL, 3.0});
    int pairsTooDeep = 0;
    for (int pair = 0; pair < 8; ++pair) {
        SCOPED_TRACE(pair);
        std::vector<Move> moves;
        for (int move = 0; move < 12; ++move)
            moves.push_back(Move{move % 5 == 4, place(random), place(random), depth(random)});
        const LoadedPath wanted(write(moves, 0.0, 0, 0.0));
        const LoadedPath learner(write(moves, 0.5, random() % moves.size(), pair % 2 == 0 ? 0.0 : 2.0));
        const CHeightGrid referenceGrid = SweptGrid(wanted, tools, TWENTY_BOX, 0.5, wanted.table.GetCount());

        CHeightGrid itself(TWENTY_BOX, 0.5);
        bool found = false;
        std::size_t move = 0;
        CStockComparison::SweepFindingFirstOver(wanted.table, wanted.Words(), tools, referenceGrid, 0.05, itself,
                                                found, move);
        EXPECT_FALSE(found);
        EXPECT_TRUE(itself == referenceGrid);
        CStockComparison same(referenceGrid, 0.0);
        same.Compare(itself);
        EXPECT_EQ(same.GetTotals().within, same.GetTotals().cells);
        EXPECT_EQ(same.GetTotals().overVolume + same.GetTotals().underVolume, 0.0);

        CHeightGrid grid(TWENTY_BOX, 0.5);
        CStockComparison::SweepFindingFirstOver(learner.table, learner.Words(), tools, referenceGrid, 0.05, grid,
                                                found, move);
        EXPECT_TRUE(grid == SweptGrid(learner, tools, TWENTY_BOX, 0.5, learner.table.GetCount()));
        CStockComparison comparison(referenceGrid, 0.05);
        comparison.Compare(grid);
        const CComparisonTotals& totals = comparison.GetTotals();
        EXPECT_EQ(totals.within + totals.over + totals.under, totals.cells);

        std::size_t scanned = learner.table.GetCount();
        for (std::size_t moves = 1; moves <= learner.table.GetCount() && scanned == learner.table.GetCount();
             ++moves) {
            CStockComparison partial(referenceGrid, 0.05);
            partial.Compare(SweptGrid(learner, tools, TWENTY_BOX, 0.5, moves));
            if (partial.GetTotals().over > 0)
                scanned = moves - 1;
        }
        EXPECT_EQ(found, scanned < learner.table.GetCount());
        if (found) {
            EXPECT_EQ(move, scanned);
            ++pairsTooDeep;
        }
        EXPECT_EQ(found, totals.over > 0);
    }
    // The random pairs must try both outcomes.
    EXPECT_GT(pairsTooDeep, 0);
    EXPECT_LT(pairsTooDeep, 8);
}

TEST(StockComparisonTest, CellColoursShowTheKindAndStrengthOfTheDifference)
{
    const CHeightGrid reference = SmallGrid(1.0, {-1, -1, -1, -1, -1, -1});
    const CHeightGrid learner = SmallGrid(1.0, {-3, -2, -1, 1, 0, -1});
    CStockComparison comparison(reference, 0.05);
    comparison.Compare(learner);
    const CComparisonColour deepest = comparison.GetCellColour(-3, -1);
    const CComparisonColour deep = comparison.GetCellColour(-2, -1);
    const CComparisonColour most = comparison.GetCellColour(1, -1);
    const CComparisonColour left = comparison.GetCellColour(0, -1);
    const CComparisonColour within = comparison.GetCellColour(-1, -1);
    const CComparisonColour higher = comparison.GetCellColour(-0.98, -1);
    EXPECT_EQ(deepest.red, 255);
    EXPECT_EQ(deepest.green, 0);
    EXPECT_GT(deep.green, deepest.green);
    EXPECT_EQ(deep.red, 255);
    EXPECT_EQ(most.blue, 255);
    EXPECT_EQ(most.red, 0);
    EXPECT_GT(left.red, most.red);
    EXPECT_EQ(within.red, within.blue);
    EXPECT_EQ(within.red, within.green);
    EXPECT_GE(higher.red, within.red);
}

struct ChecksumRow {
    const char* name;
    std::string bytes;
    std::uint32_t crc;
    std::uint32_t adler;
};

// The check values every CRC-32 and Adler-32 is known by.
TEST(PngWriterTest, ChecksumsMatchTheirKnownValues)
{
    const ChecksumRow rows[] = {
        {"nothing", "", 0u, 1u},
        {"the digits", "123456789", 0xCBF43926u, 0x091E01DEu},
        {"a word", "Wikipedia", 0xADAAC02Eu, 0x11E60398u},
        {"beyond one run of sums before the modulus", std::string(6000, '\xff'), 0xB7829FE5u, 0xA49759EAu},
    };
    for (const ChecksumRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto* data = reinterpret_cast<const std::uint8_t*>(row.bytes.data());
        EXPECT_EQ(CPngWriter::Crc32(data, row.bytes.size()), row.crc);
        EXPECT_EQ(CPngWriter::Adler32(data, row.bytes.size()), row.adler);
    }
}

// Reads the stored blocks back: the image data must be the rows with their
// filter bytes, across block borders.
TEST(PngWriterTest, StoredBlocksHoldTheRowsInOrder)
{
    const std::size_t width = 200;
    const std::size_t height = 150;
    std::vector<std::uint8_t> rgb(width * height * 3);
    for (std::size_t index = 0; index < rgb.size(); ++index)
        rgb[index] = static_cast<std::uint8_t>(index * 7 + index / 601);
    const std::vector<std::uint8_t> file = CPngWriter::Encode(width, height, rgb);
    ASSERT_GT(file.size(), 33u);
    EXPECT_EQ(std::memcmp(file.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    const auto readBig = [&file](std::size_t at) {
        return static_cast<std::uint32_t>(file[at]) << 24 | static_cast<std::uint32_t>(file[at + 1]) << 16 |
               static_cast<std::uint32_t>(file[at + 2]) << 8 | file[at + 3];
    };
    EXPECT_EQ(readBig(16), width);
    EXPECT_EQ(readBig(20), height);
    const std::size_t idat = 33;
    const std::size_t length = readBig(idat);
    ASSERT_EQ(std::memcmp(file.data() + idat + 4, "IDAT", 4), 0);
    EXPECT_EQ(readBig(idat + 8 + length), CPngWriter::Crc32(file.data() + idat + 4, length + 4));
    std::vector<std::uint8_t> raw;
    std::size_t at = idat + 8 + 2;
    bool last = false;
    while (!last) {
        last = (file[at] & 1) != 0;
        const std::size_t blockLength = file[at + 1] | file[at + 2] << 8;
        EXPECT_EQ((file[at + 3] | file[at + 4] << 8), (~blockLength & 0xFFFF));
        raw.insert(raw.end(), file.begin() + static_cast<std::ptrdiff_t>(at + 5),
                   file.begin() + static_cast<std::ptrdiff_t>(at + 5 + blockLength));
        at += 5 + blockLength;
    }
    ASSERT_EQ(raw.size(), height * (width * 3 + 1));
    EXPECT_EQ(readBig(at), CPngWriter::Adler32(raw.data(), raw.size()));
    for (std::size_t row = 0; row < height; ++row) {
        EXPECT_EQ(raw[row * (width * 3 + 1)], 0);
        EXPECT_EQ(std::memcmp(raw.data() + row * (width * 3 + 1) + 1, rgb.data() + row * width * 3, width * 3), 0);
    }
    EXPECT_TRUE(CPngWriter::Encode(0, 5, {}).empty());
    EXPECT_TRUE(CPngWriter::Encode(2, 2, std::vector<std::uint8_t>(11)).empty());
}

} // namespace
