#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "generated_programs.h"
#include "move_chords.h"
#include "path_builder.h"
#include "test_support.h"
#include "tool_sweep.h"
#include "undo_log.h"
#include "workpiece.h"

namespace {

// A loaded program with its move table, the way the window holds it.
struct CLoadedPath {
    explicit CLoadedPath(const std::string& bytes)
    {
        loadResult = rig.LoadBytes(bytes);
        headerLines = CPathBuilder::CountHeaderLines(rig.loader.GetHeader());
        CPathBuilder(rig.loader.GetWordList(), headerLines).BuildTable(table);
    }
    const CWordList& Words() const { return rig.loader.GetWordList(); }
    std::unique_ptr<CWorkpiece> MakeWorkpiece(const CToolTable& tools, const CWorkpiece::CSettings& settings) const
    {
        return std::make_unique<CWorkpiece>(table, Words(), headerLines, tools, settings);
    }

    CLoaderRig rig;
    int loadResult = 0;
    std::int64_t headerLines = 0;
    CMoveTable table;
};

std::string Program(std::initializer_list<const char*> lines)
{
    return "%\r\n" + CrLfLines(lines);
}

CWorkpiece::CSettings Settings(const CStockBox& box, double cell)
{
    CWorkpiece::CSettings settings;
    settings.box = box;
    settings.cell = cell;
    return settings;
}

const CStockBox TWENTY_BOX{0.0, 0.0, -10.0, 20.0, 20.0, 0.0};

struct HeightCheck {
    double x;
    double y;
    double height;
};

struct GeometryRow {
    const char* name;
    std::string program;
    CStockBox box;
    // Diameter 0: the default tool; ball: a ball-nose default tool.
    double defaultDiameter;
    bool ball;
    std::vector<HeightCheck> checks;
};

// Heights worked out by hand from the tool's shape and the move's geometry.
// Cell centres lie on .5 with a cell of 1; the default tool is flat 6 mm.
TEST(WorkpieceTest, SweptHeightsMatchHandComputedValues)
{
    const double sqrt5 = std::sqrt(5.0);
    const GeometryRow rows[] = {
        {"plunge: the rim reaches, a cell beyond does not",
         Program({"G0 X10.5 Y10.5 Z5", "G1 Z-2"}), TWENTY_BOX, 0.0, false,
         {{10.5, 10.5, -2.0}, {13.5, 10.5, -2.0}, {12.5, 12.5, -2.0}, {14.5, 10.5, 0.0}, {12.5, 13.5, 0.0}}},
        {"slot: full depth along the line and around its ends",
         Program({"G0 X2.5 Y10.5 Z1", "G1 Z-1", "G1 X17.5"}), TWENTY_BOX, 0.0, false,
         {{10.5, 13.5, -1.0}, {10.5, 14.5, 0.0}, {0.5, 12.5, -1.0}, {0.5, 13.5, 0.0}, {19.5, 8.5, -1.0}}},
        {"ramp: a flat tool reaches lowest where the cell leaves its reach",
         Program({"G0 X2.5 Y10.5 Z0", "G1 X12.5 Z-5"}), TWENTY_BOX, 0.0, false,
         {{5.5, 12.5, -(3.0 + sqrt5) / 2.0}, {0.5, 10.5, -0.5}, {14.5, 10.5, -5.0}, {7.5, 10.5, -4.0}}},
        {"ball on a ramp: the capsule's lower surface, below the tip",
         Program({"G0 X2.5 Y10.5 Z0", "G1 X12.5 Z-5"}), TWENTY_BOX, 6.0, true,
         {{7.5, 10.5, 0.5 - 3.0 * std::sqrt(1.25)}, {7.5, 12.5, -2.0}, {14.5, 10.5, -5.0 + 3.0 - sqrt5},
          {7.5, 13.5, 0.0}}},
        {"arc: a half circle cuts along the curve, not its chord or centre",
         Program({"G0 X15.5 Y10.5 Z1", "G1 Z-1", "G3 X5.5 Y10.5 I-5 J0"}), TWENTY_BOX, 0.0, false,
         {{10.5, 17.5, -1.0}, {10.5, 10.5, 0.0}, {10.5, 7.5, 0.0}, {10.5, 19.5, 0.0}, {13.5, 14.5, -1.0}}},
        {"helix: the depth falls evenly with the angle",
         Program({"G0 X15.5 Y10.5 Z0", "G3 X15.5 Y10.5 Z-4 I-5 J0"}), TWENTY_BOX, 0.0, false,
         {{10.5, 17.5, -4.0 * (90.0 + std::acos(65.0 / 70.0) * 180.0 / 3.14159265358979323846) / 360.0}, {17.5, 10.5, -4.0},
          {10.5, 10.5, 0.0}}},
        {"XZ arc: a clockwise half circle dips below its ends",
         Program({"G0 X5.5 Y10.5 Z0", "G18 G2 X15.5 Z0 I5 K0"}), TWENTY_BOX, 0.0, false,
         {{10.5, 10.5, -5.0}, {12.5, 10.5, -5.0}, {14.5, 10.5, -std::sqrt(24.0)}, {10.5, 13.5, -5.0},
          {10.5, 14.5, 0.0}}},
        {"YZ arc: a counter-clockwise half circle dips below its ends",
         Program({"G0 X10.5 Y5.5 Z0", "G19 G3 Y15.5 Z0 J5 K0"}), TWENTY_BOX, 0.0, false,
         {{10.5, 10.5, -5.0}, {10.5, 14.5, -std::sqrt(24.0)}, {13.5, 10.5, -5.0}, {14.5, 10.5, 0.0}}},
        {"spiral: the radius grows evenly from 4 to 6 over a quarter turn",
         Program({"G0 X14.5 Y10.5 Z-1", "G3 X10.5 Y16.5 I-4 J0"}), TWENTY_BOX, 1.0, false,
         {{13.5, 14.5, -1.0}, {12.5, 14.5, 0.0}, {14.5, 10.5, -1.0}, {10.5, 16.5, -1.0}, {10.5, 14.5, 0.0}}},
        {"a cut through the bottom stops at the box's floor",
         Program({"G0 X10.5 Y10.5 Z1", "G1 Z-5"}), CStockBox{0.0, 0.0, -2.0, 20.0, 20.0, 0.0}, 0.0, false,
         {{10.5, 10.5, -2.0}, {14.5, 10.5, 0.0}}},
        {"moves above the top leave the material untouched",
         Program({"G0 X10.5 Y10.5 Z0.5", "G1 X2.5 Z0"}), TWENTY_BOX, 0.0, false,
         {{10.5, 10.5, 0.0}, {2.5, 10.5, 0.0}}},
    };
    for (const GeometryRow& row : rows) {
        SCOPED_TRACE(row.name);
        const CLoadedPath path(row.program);
        ASSERT_EQ(path.loadResult, 1);
        CToolTable tools;
        if (row.defaultDiameter > 0.0)
            tools.SetDefaultTool(CTool{row.ball ? TOOL_BALL : TOOL_FLAT, row.defaultDiameter});
        const auto workpiece = path.MakeWorkpiece(tools, Settings(row.box, 1.0));
        workpiece->BringTo(path.table.GetCount());
        const CHeightGrid& grid = workpiece->GetGrid();
        for (const HeightCheck& check : row.checks) {
            std::size_t column = 0;
            std::size_t gridRow = 0;
            ASSERT_TRUE(grid.FindCell(check.x, check.y, column, gridRow));
            // Chorded arcs stray by a quarter of the tolerance at most.
            EXPECT_NEAR(grid.GetHeight(column, gridRow), check.height, 3e-4) << "at " << check.x << " " << check.y;
        }
    }
}

TEST(WorkpieceTest, ToolChangeCutsWithTheToolOfTheLastTWord)
{
    const CLoadedPath path(Program({"T1 G0 X5.5 Y5.5 Z1", "G1 Z-1", "G0 Z5", "T2 M6", "G0 X15.5 Y15.5", "G1 Z-2",
                                    "T7", "G1 X15.5 Y5.5"}));
    ASSERT_EQ(path.loadResult, 1);
    CToolTable tools;
    tools.SetTool(1, CTool{TOOL_FLAT, 2.0});
    tools.SetTool(2, CTool{TOOL_BALL, 4.0});
    tools.SetDefaultTool(CTool{TOOL_FLAT, 1.0});
    const auto workpiece = path.MakeWorkpiece(tools, Settings(TWENTY_BOX, 1.0));
    workpiece->BringTo(path.table.GetCount());
    const CHeightGrid& grid = workpiece->GetGrid();
    EXPECT_EQ(grid.GetHeight(5, 5), -1.0);
    // T1 is 2 mm: 2 off its axis stays, as the 6 mm default would not.
    EXPECT_EQ(grid.GetHeight(7, 5), 0.0);
    EXPECT_EQ(grid.GetHeight(6, 5), -1.0);
    // T2 is a 4 mm ball: 1 off its axis it reaches 2 - sqrt(3) above its tip.
    EXPECT_NEAR(grid.GetHeight(16, 15), -std::sqrt(3.0), 1e-12);
    // T7 is not in the table: the 1 mm default cuts the last move.
    EXPECT_EQ(grid.GetHeight(15, 10), -2.0);
    EXPECT_EQ(grid.GetHeight(16, 10), 0.0);
    EXPECT_EQ(workpiece->GetToolOfMove(0), (CTool{TOOL_FLAT, 2.0}));
    std::int32_t number = 0;
    ASSERT_TRUE(workpiece->GetToolNumberOfMove(path.table.GetCount() - 1, number));
    EXPECT_EQ(number, 7);
}

TEST(WorkpieceTest, RapidIntoTheMaterialIsReportedWithItsDepthAndLine)
{
    const CLoadedPath path(Program({"G0 X5.5 Y5.5 Z2", "G1 Z-1", "G0 X10.5", "G0 Z-2.5", "G1 X15.5", "G0 Z5"}));
    ASSERT_EQ(path.loadResult, 1);
    const auto workpiece = path.MakeWorkpiece(CToolTable(), Settings(TWENTY_BOX, 1.0));
    workpiece->BringTo(path.table.GetCount());
    // Move 2 runs at Z-1 beside the plunge (cutting fresh material 1 deep);
    // move 3 plunges a rapid 1.5 further.
    const std::vector<CRapidCut> cuts = workpiece->GetRapidCuts();
    ASSERT_EQ(cuts.size(), 2u);
    EXPECT_EQ(cuts[0].move, 2u);
    EXPECT_EQ(cuts[0].line, 4);
    EXPECT_EQ(cuts[0].depth, 1.0);
    EXPECT_EQ(cuts[1].move, 3u);
    EXPECT_EQ(cuts[1].depth, 1.5);
    // Stepping back before a rapid forgets it.
    workpiece->BringTo(3);
    EXPECT_EQ(workpiece->GetRapidCuts().size(), 1u);
    EXPECT_EQ(workpiece->GetRapidCutDepth(3), 0.0);
}

TEST(WorkpieceTest, DefaultBoxFollowsCuttingMovesAndTheLargestTool)
{
    struct BoxRow {
        const char* name;
        std::string program;
        CStockBox expected;
    };
    // Widened by the largest radius (4 here) plus a tenth of the longer side,
    // at least 1.
    const BoxRow rows[] = {
        {"rapids do not widen the box, the lowest point lowers it",
         Program({"G0 X10 Y20 Z10", "G1 Z-3", "G1 X30 Y25", "T2", "G1 X31"}),
         CStockBox{3.9, 13.9, -4.0, 37.1, 31.1, 0.0}},
        {"a path above the top gives a box 10 deep", Program({"G1 X10 Y10 Z1", "G1 X20"}),
         CStockBox{-6.0, -6.0, -10.0, 26.0, 16.0, 0.0}},
        {"an arc counts with its extreme points", Program({"G1 X10 Y0 Z-1", "G2 X-10 Y0 I-10 J0"}),
         CStockBox{-16.0, -16.0, -2.0, 16.0, 6.0, 0.0}},
        {"every move a rapid: all moves count", Program({"G0 X10 Y5 Z-1"}),
         CStockBox{-5.0, -5.0, -2.0, 15.0, 10.0, 0.0}},
        {"a short path gets a margin of at least 1", Program({"G1 X2 Y1 Z-1"}),
         CStockBox{-5.0, -5.0, -2.0, 7.0, 6.0, 0.0}},
        {"no move", Program({"M3"}), CStockBox{0.0, 0.0, -10.0, 100.0, 100.0, 0.0}},
    };
    CToolTable tools;
    tools.SetDefaultTool(CTool{TOOL_FLAT, 8.0});
    tools.SetTool(2, CTool{TOOL_BALL, 8.0});
    tools.SetTool(3, CTool{TOOL_FLAT, 20.0});
    for (const BoxRow& row : rows) {
        SCOPED_TRACE(row.name);
        const CLoadedPath path(row.program);
        const CStockBox box = CStockBox::FitToPath(path.table, path.Words(), tools);
        const double got[] = {box.x0, box.y0, box.z0, box.x1, box.y1, box.z1};
        const double want[] = {row.expected.x0, row.expected.y0, row.expected.z0,
                               row.expected.x1, row.expected.y1, row.expected.z1};
        for (std::size_t value = 0; value < 6; ++value)
            EXPECT_NEAR(got[value], want[value], 1e-12) << "value " << value;
    }
}

// The flagship example with the automatic box and the default tool: a
// pocket 3 deep, with walls standing at the top on every side.
TEST(WorkpieceTest, PocketExampleInTheAutomaticBoxKeepsItsWalls)
{
    std::FILE* file = std::fopen(TORNAVEL_EXAMPLES_DIR "/milling_pocket.nc", "rb");
    ASSERT_NE(file, nullptr);
    std::string bytes;
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, count);
    std::fclose(file);
    const CLoadedPath path(bytes);
    ASSERT_EQ(path.loadResult, 1);
    const CToolTable tools;
    const CStockBox box = CStockBox::FitToPath(path.table, path.Words(), tools);
    const auto workpiece = path.MakeWorkpiece(tools, Settings(box, 0.1));
    workpiece->BringTo(path.table.GetCount());
    const CHeightGrid& grid = workpiece->GetGrid();
    const HeightCheck checks[] = {
        {-1.5, 10.0, 0.0}, {41.5, 10.0, 0.0}, {20.0, -1.5, 0.0}, {20.0, 21.5, 0.0},
        {-1.5, -1.5, 0.0}, {41.5, 21.5, 0.0}, {20.0, 10.0, -3.0}, {1.0, 1.0, -3.0},
    };
    for (const HeightCheck& check : checks) {
        SCOPED_TRACE(std::to_string(check.x) + " " + std::to_string(check.y));
        std::size_t column = 0;
        std::size_t row = 0;
        ASSERT_TRUE(grid.FindCell(check.x, check.y, column, row));
        EXPECT_EQ(grid.GetHeight(column, row), check.height);
    }
}

// A fresh sweep to a move count, with a history large enough for anything.
std::unique_ptr<CWorkpiece> FreshSweep(const CLoadedPath& path, const CToolTable& tools,
                                       const CWorkpiece::CSettings& settings, std::size_t moves)
{
    CWorkpiece::CSettings fresh = settings;
    fresh.threads = 1;
    fresh.historyBytes = std::size_t{1} << 30;
    auto workpiece = path.MakeWorkpiece(tools, fresh);
    workpiece->BringTo(moves);
    return workpiece;
}

void ExpectSameRapidCuts(const CWorkpiece& actual, const CWorkpiece& expected)
{
    const std::vector<CRapidCut> actualCuts = actual.GetRapidCuts();
    const std::vector<CRapidCut> expectedCuts = expected.GetRapidCuts();
    ASSERT_EQ(actualCuts.size(), expectedCuts.size());
    for (std::size_t cut = 0; cut < actualCuts.size(); ++cut) {
        EXPECT_EQ(actualCuts[cut].move, expectedCuts[cut].move);
        EXPECT_EQ(actualCuts[cut].depth, expectedCuts[cut].depth);
    }
}

// Steps, steps back and jumps over real programs, with a history so small
// that the log is trimmed and snapshots are used, on three threads: every
// stop must give the grid of a fresh sweep, bit for bit.
TEST(WorkpieceTest, RandomWalksGiveTheGridOfAFreshSweep)
{
    const char* const programs[] = {"pygcode__Smiley001.nc", "gsender__toolchange.nc", "lcnc__tort.ngc"};
    std::mt19937 random(17);
    for (const char* name : programs) {
        SCOPED_TRACE(name);
        std::FILE* file = std::fopen((std::string(TORNAVEL_CORPUS_DIR) + "/" + name).c_str(), "rb");
        if (file == nullptr)
            GTEST_SKIP() << "corpus missing";
        std::string bytes;
        char buffer[4096];
        for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            bytes.append(buffer, count);
        std::fclose(file);
        const CLoadedPath path(bytes);
        const std::size_t moves = path.table.GetCount();
        ASSERT_GT(moves, 20u);
        CToolTable tools;
        tools.SetDefaultTool(CTool{TOOL_BALL, 6.0});
        tools.SetTool(2, CTool{TOOL_FLAT, 3.0});
        CWorkpiece::CSettings settings;
        settings.box = CStockBox::FitToPath(path.table, path.Words(), tools);
        settings.cell = std::max(settings.box.x1 - settings.box.x0, settings.box.y1 - settings.box.y0) / 60.0;
        settings.threads = 3;
        std::size_t columns = 0;
        std::size_t rows = 0;
        ASSERT_TRUE(CHeightGrid::CountCells(settings.box, settings.cell, columns, rows));
        // One snapshot, and a log of half a grid's bytes, which these
        // programs outgrow.
        settings.historyBytes = 2 * columns * rows * sizeof(double);
        settings.minSnapshotSpacing = 8;
        const auto walker = path.MakeWorkpiece(tools, settings);
        std::uniform_int_distribution<int> kind(0, 3);
        std::uniform_int_distribution<std::size_t> anywhere(0, moves + 2);
        std::uniform_int_distribution<int> small(1, 30);
        for (int stop = 0; stop < 40; ++stop) {
            const std::size_t done = walker->GetDoneCount();
            const int step = kind(random);
            // The first stop sweeps the whole program, which outgrows the log.
            std::size_t target = anywhere(random);
            if (stop == 0)
                target = moves;
            else if (step == 1)
                target = done + static_cast<std::size_t>(small(random));
            else if (step >= 2)
                target = done - std::min(done, static_cast<std::size_t>(small(random)));
            walker->BringTo(target);
            const auto fresh = FreshSweep(path, tools, settings, target);
            ASSERT_EQ(walker->GetDoneCount(), std::min(target, moves));
            ASSERT_TRUE(walker->GetGrid() == fresh->GetGrid()) << "stop " << stop << " at " << target;
            ExpectSameRapidCuts(*walker, *fresh);
        }
        // The grid, its stamps and the history budget, with a little for
        // the indexes of the program's words.
        const std::size_t cells = walker->GetGrid().GetCellCount();
        EXPECT_LE(walker->GetMemoryBytes(), cells * 12 + settings.historyBytes + 65536);
    }
}

// The window cancels a long sweep when the learner steps meanwhile: the grid
// must then stand exactly where the sweep stopped.
// Passes to and fro across TWENTY_BOX, long enough for several stretches
// swept on several threads.
std::string ZigZagProgram()
{
    std::string program = "%\r\nG0 X0 Y0 Z-1\r\n";
    for (int move = 0; move < 3000; ++move)
        program += move % 2 == 0 ? "G1 X19.5 Y" + std::to_string(move % 20) + "\r\n" : "G1 X0.5\r\n";
    return program;
}

// The window's own settings: the fitted box, its default cell and history.
CWorkpiece::CSettings WindowSettings(const CLoadedPath& path, const CToolTable& tools)
{
    CWorkpiece::CSettings settings;
    settings.box = CStockBox::FitToPath(path.table, path.Words(), tools);
    settings.cell = CHeightGrid::DefaultCell(settings.box);
    return settings;
}

struct DenseProgramRow {
    const char* name;
    std::string program;
    CTool tool;
    std::size_t minimumMoves;
};

// A row's program, loaded and checked, with its tool.
struct CDenseProgram {
    explicit CDenseProgram(const DenseProgramRow& row) : path(row.program), moves(path.table.GetCount())
    {
        EXPECT_EQ(path.loadResult, 1);
        EXPECT_GE(moves, row.minimumMoves);
        tools.SetDefaultTool(row.tool);
    }

    CLoadedPath path;
    std::size_t moves;
    CToolTable tools;
};

// After a whole sweep every step back, to the very start, replays the undo
// log: these pockets fit the history budget many times over.
TEST(WorkpieceTest, InstantBackCoversDensePocketsAfterAWholeSweep)
{
    const DenseProgramRow rows[] = {
        {"a 40 x 20 pocket at 6 depths", RectangularPocketProgram(), CTool{TOOL_FLAT, 6.0}, 80},
        {"a round pocket with a 10 mm tool", RoundPocketProgram(), CTool{TOOL_FLAT, 10.0}, 80},
        {"a face milled at 30 depths", FacingProgram(), CTool{TOOL_FLAT, 6.0}, 6000},
    };
    for (const DenseProgramRow& row : rows) {
        SCOPED_TRACE(row.name);
        const CDenseProgram dense(row);
        const CLoadedPath& path = dense.path;
        const std::size_t moves = dense.moves;
        const CToolTable& tools = dense.tools;
        const auto workpiece = path.MakeWorkpiece(tools, WindowSettings(path, tools));
        ASSERT_TRUE(workpiece->BringTo(moves));
        EXPECT_EQ(workpiece->GetInstantBackLimit(), 0u);
        // The log replayed to the start gives the untouched box.
        workpiece->BringTo(0);
        const auto untouched = path.MakeWorkpiece(tools, WindowSettings(path, tools));
        EXPECT_TRUE(workpiece->GetGrid() == untouched->GetGrid());
    }
}

// A jump over much of the log shows a snapshot (the untouched box, or the
// grid where the last long jump started) at once and brings the log along
// afterwards: every stop gives the grid of a fresh sweep, the log is kept
// whole, and a cancel on the way leaves the grid where the jump put it. With
// a history too small for the log, the jumps back land on snapshots kept
// where the jumps started.
TEST(WorkpieceTest, LongJumpsWithinTheLogGiveTheGridOfAFreshSweep)
{
    const DenseProgramRow rows[] = {
        {"a round pocket with a 10 mm tool", RoundPocketProgram(), CTool{TOOL_FLAT, 10.0}, 80},
        {"a face milled at 30 depths", FacingProgram(), CTool{TOOL_FLAT, 6.0}, 6000},
    };
    const std::atomic<bool> cancelled(true);
    for (const DenseProgramRow& row : rows) {
        const CDenseProgram dense(row);
        const CLoadedPath& path = dense.path;
        const std::size_t moves = dense.moves;
        const CToolTable& tools = dense.tools;
        CWorkpiece::CSettings settings = WindowSettings(path, tools);
        settings.cell *= 4.0;
        std::size_t columns = 0;
        std::size_t rows = 0;
        ASSERT_TRUE(CHeightGrid::CountCells(settings.box, settings.cell, columns, rows));
        const struct {
            std::size_t target;
            bool cancel;
            bool prepare;
        } stops[] = {
            {moves, false, false},         // the whole program
            {0, false, false},             // back to the box at once
            {1, false, false},             // a step while the log catches up
            {4, false, false},             // more of them
            {2, false, false},             // back among them
            {3, false, false},             // and forwards again
            {moves, false, true},          // forwards to where the jump back began
            {moves / 2, false, false},     // a long way back to no snapshot
            {moves, false, false},         // forwards again
            {0, true, false},              // back to the box, then a cancelled step
            {moves / 2 - 1, false, false}, // the log's own moves, caught up from where it stood
        };
        for (const std::size_t history : {CWorkpiece::DEFAULT_HISTORY_BYTES, 8 * columns * rows * sizeof(double)}) {
            SCOPED_TRACE(std::string(row.name) + ", history " + std::to_string(history));
            settings.historyBytes = history;
            const auto walker = path.MakeWorkpiece(tools, settings);
            for (const auto& stop : stops) {
                SCOPED_TRACE("to " + std::to_string(stop.target));
                const std::size_t before = walker->GetDoneCount();
                ASSERT_TRUE(walker->BringTo(stop.target));
                // A cancelled step before the log has caught up: done, or
                // not at all.
                const bool stepped = stop.cancel && walker->BringTo(stop.target + 3, &cancelled);
                EXPECT_EQ(walker->GetDoneCount(), stop.target + (stepped ? 3 : 0));
                if (stop.prepare)
                    walker->PrepareBack();
                EXPECT_TRUE(walker->GetGrid() == FreshSweep(path, tools, settings, walker->GetDoneCount())->GetGrid())
                    << "from " << before;
                // The window's history holds the whole log.
                EXPECT_TRUE(history != CWorkpiece::DEFAULT_HISTORY_BYTES || walker->GetInstantBackLimit() == 0);
            }
        }
    }
}

struct RunRow {
    const char* name;
    // Cells added with their heights; a cell of -1 starts a new move.
    std::vector<std::pair<int, double>> added;
    std::vector<CCellRun> expected;
};

// The log joins neighbouring cells that held the same height, bit for bit,
// and never joins two moves: each must be undone on its own.
TEST(WorkpieceTest, CellChangesJoinNeighboursOfOneHeightWithinAMove)
{
    const RunRow rows[] = {
        {"neighbours of one height join", {{4, 1.0}, {5, 1.0}, {6, 1.0}}, {{4, 3, 1.0}}},
        {"a gap starts a run", {{4, 1.0}, {6, 1.0}}, {{4, 1, 1.0}, {6, 1, 1.0}}},
        {"another height starts a run", {{4, 1.0}, {5, 2.0}}, {{4, 1, 1.0}, {5, 1, 2.0}}},
        {"a negative zero is not a zero", {{4, 0.0}, {5, -0.0}}, {{4, 1, 0.0}, {5, 1, -0.0}}},
        {"a new move starts a run", {{4, 1.0}, {-1, 0.0}, {5, 1.0}}, {{4, 1, 1.0}, {5, 1, 1.0}}},
    };
    for (const RunRow& row : rows) {
        SCOPED_TRACE(row.name);
        CCellChanges changes;
        changes.StartMove();
        for (const auto& [cell, height] : row.added) {
            if (cell < 0)
                changes.StartMove();
            else
                changes.Add(static_cast<std::uint32_t>(cell), height);
        }
        ASSERT_EQ(changes.runs.size(), row.expected.size());
        for (std::size_t run = 0; run < row.expected.size(); ++run) {
            EXPECT_EQ(changes.runs[run].cell, row.expected[run].cell);
            EXPECT_EQ(changes.runs[run].count, row.expected[run].count);
            EXPECT_EQ(std::signbit(changes.runs[run].height), std::signbit(row.expected[run].height));
            EXPECT_EQ(changes.runs[run].height, row.expected[run].height);
        }
    }
}

// The heights of four cells after each of three logged moves, from 9, 9,
// 9, 9: move 0 lowers cells 0 and 1 to 5, move 1 cells 1 and 2 to 3,
// move 2 cell 3 to -0.0.
const std::vector<double> UNDO_STATES[] = {
    {9.0, 9.0, 9.0, 9.0}, {5.0, 5.0, 9.0, 9.0}, {5.0, 3.0, 3.0, 9.0}, {5.0, 3.0, 3.0, -0.0}};

// Logs the three moves, ending with the heights after them.
void LogThreeMoves(CUndoLog& log, std::vector<double>& heights)
{
    const CCellRun moves[][2] = {{{0, 2, 9.0}, {0, 0, 0.0}}, {{1, 1, 5.0}, {2, 1, 9.0}}, {{3, 1, 9.0}, {0, 0, 0.0}}};
    const std::size_t counts[] = {1, 2, 1};
    log.Clear(0);
    for (std::size_t move = 0; move < 3; ++move) {
        log.AddRuns(moves[move], counts[move]);
        log.EndMove();
    }
    heights = UNDO_STATES[3];
}

bool SameBits(const std::vector<double>& left, const std::vector<double>& right)
{
    return left.size() == right.size() && std::memcmp(left.data(), right.data(), left.size() * sizeof(double)) == 0;
}

struct UndoRow {
    const char* name;
    // Moves done after each step, in order; a step forward replays.
    std::vector<std::size_t> stops;
    // Moves dropped from the old end before the steps.
    std::size_t droppedOldest;
};

// Undoing and redoing in any order gives the heights after that many moves,
// a negative zero included; a dropped old move is no longer logged.
TEST(WorkpieceTest, UndoLogStepsBackAndForthToTheHeightsOfEachMove)
{
    const UndoRow rows[] = {
        {"back to the start and forward to the end", {0, 3}, 0},
        {"one step at a time", {2, 1, 0, 1, 2, 3}, 0},
        {"back and forth in the middle", {1, 2, 1, 3, 2}, 0},
        {"back to the oldest move kept", {1, 3}, 1},
    };
    for (const UndoRow& row : rows) {
        SCOPED_TRACE(row.name);
        CUndoLog log;
        std::vector<double> heights;
        LogThreeMoves(log, heights);
        for (std::size_t drop = 0; drop < row.droppedOldest; ++drop)
            log.DropOldest();
        EXPECT_EQ(log.GetFirst(), row.droppedOldest);
        for (const std::size_t stop : row.stops) {
            while (log.GetDone() > stop)
                log.UndoLast(heights.data());
            while (log.GetDone() < stop)
                log.RedoNext(heights.data());
            EXPECT_TRUE(SameBits(heights, UNDO_STATES[stop])) << "at " << stop;
        }
        EXPECT_EQ(log.GetEnd(), 3u);
    }
}

// Moves logged on a grid of their own join the log at its old end, and
// undoing through them gives the heights before them.
TEST(WorkpieceTest, UndoLogTakesEarlierMovesInFront)
{
    CUndoLog log;
    std::vector<double> heights;
    LogThreeMoves(log, heights);
    CUndoLog later;
    later.Clear(2);
    const CCellRun last = {3, 1, 9.0};
    later.AddRuns(&last, 1);
    later.EndMove();
    CUndoLog earlier;
    earlier.Clear(0);
    const CCellRun first[] = {{0, 2, 9.0}};
    const CCellRun second[] = {{1, 1, 5.0}, {2, 1, 9.0}};
    earlier.AddRuns(first, 1);
    earlier.EndMove();
    earlier.AddRuns(second, 2);
    earlier.EndMove();
    later.Prepend(earlier);
    EXPECT_EQ(later.GetFirst(), 0u);
    EXPECT_TRUE(earlier.IsEmpty());
    while (later.GetDone() > 0)
        later.UndoLast(heights.data());
    EXPECT_TRUE(SameBits(heights, UNDO_STATES[0]));
    CUndoLog apart;
    apart.Clear(5);
    EXPECT_THROW(later.Prepend(apart), std::logic_error);
}

struct PrepareRow {
    const char* name;
    std::string program;
    unsigned threads;
};

// After a jump the window prepares the log backwards while the learner
// looks: the steps back past where the jump's sweep began are then replays
// of the log, and every one gives the grid of a fresh sweep.
TEST(WorkpieceTest, PreparedStepsBackGiveTheGridOfAFreshSweep)
{
    const PrepareRow rows[] = {
        {"a face on one thread", FacingProgram(), 1},
        {"a face on three threads", FacingProgram(), 3},
    };
    for (const PrepareRow& row : rows) {
        SCOPED_TRACE(row.name);
        const CLoadedPath path(row.program);
        ASSERT_EQ(path.loadResult, 1);
        const std::size_t moves = path.table.GetCount();
        const CToolTable tools;
        CWorkpiece::CSettings settings = Settings(CStockBox::FitToPath(path.table, path.Words(), tools), 1.0);
        settings.threads = row.threads;
        // Room for a few snapshots and a log that holds about half the
        // program, so that a jump back starts the log afresh.
        settings.historyBytes = 6 * path.MakeWorkpiece(tools, settings)->GetGrid().GetCellCount() * sizeof(double);
        const auto workpiece = path.MakeWorkpiece(tools, settings);
        workpiece->BringTo(moves);
        const std::size_t jump = moves - moves / 5;
        workpiece->BringTo(moves / 6);
        workpiece->BringTo(jump);
        const std::size_t jumpLimit = workpiece->GetInstantBackLimit();
        ASSERT_GT(jumpLimit, 0u) << "the jump swept from a snapshot";
        while (workpiece->PrepareBack()) {
        }
        const std::size_t preparedLimit = workpiece->GetInstantBackLimit();
        EXPECT_LT(preparedLimit, jumpLimit);
        EXPECT_EQ(workpiece->GetDoneCount(), jump);
        EXPECT_TRUE(workpiece->GetGrid() == FreshSweep(path, tools, settings, jump)->GetGrid());
        for (const std::size_t stop : {jumpLimit - 1, preparedLimit + (jumpLimit - preparedLimit) / 2, preparedLimit,
                                       jumpLimit + 3, jump}) {
            ASSERT_TRUE(workpiece->BringTo(stop));
            EXPECT_TRUE(workpiece->GetGrid() == FreshSweep(path, tools, settings, stop)->GetGrid()) << "at " << stop;
        }
    }
}

struct CancelRow {
    const char* name;
    // Cancel from another thread this long after the sweep starts.
    std::chrono::milliseconds after;
};

// A cancel must stop the sweep inside a costly move, not at the end of a
// stretch of them; the grid then stands at a whole number of moves.
TEST(WorkpieceTest, CancelDuringAHugeHelixReturnsSoon)
{
    const CancelRow rows[] = {
        {"cancelled at once", std::chrono::milliseconds(0)},
        {"cancelled inside the first turns", std::chrono::milliseconds(150)},
    };
    const CLoadedPath path(HelixProgram(2000));
    ASSERT_EQ(path.loadResult, 1);
    CToolTable tools;
    tools.SetDefaultTool(CTool{TOOL_FLAT, 20.0});
    for (const CancelRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto workpiece = path.MakeWorkpiece(tools, WindowSettings(path, tools));
        std::atomic<bool> cancel(false);
        std::atomic<bool> started(false);
        std::chrono::steady_clock::time_point cancelledAt;
        std::thread canceller([&]() {
            while (!started)
                std::this_thread::yield();
            std::this_thread::sleep_for(row.after);
            cancelledAt = std::chrono::steady_clock::now();
            cancel = true;
        });
        started = true;
        const bool finished = workpiece->BringTo(path.table.GetCount(), &cancel);
        const auto returnedAt = std::chrono::steady_clock::now();
        canceller.join();
        EXPECT_FALSE(finished);
        // Generous for a loaded machine; the benchmark measures the real figure.
        EXPECT_LT(returnedAt - cancelledAt, std::chrono::seconds(1));
        const std::size_t done = workpiece->GetDoneCount();
        EXPECT_LT(done, path.table.GetCount());
        if (done <= 4) {
            CWorkpiece::CSettings settings = WindowSettings(path, tools);
            EXPECT_TRUE(workpiece->GetGrid() == FreshSweep(path, tools, settings, done)->GetGrid());
        }
    }
}

TEST(WorkpieceTest, CancelledSweepStopsAtAConsistentMoveCount)
{
    const CLoadedPath path(ZigZagProgram());
    ASSERT_EQ(path.loadResult, 1);
    const auto workpiece = path.MakeWorkpiece(CToolTable(), Settings(TWENTY_BOX, 0.5));
    std::atomic<bool> cancel(true);
    EXPECT_FALSE(workpiece->BringTo(path.table.GetCount(), &cancel));
    EXPECT_EQ(workpiece->GetDoneCount(), 0u);
    cancel = false;
    std::size_t calls = 0;
    const bool finished = workpiece->BringTo(path.table.GetCount(), &cancel, [&cancel, &calls](std::size_t) {
        ++calls;
        cancel = true;
    });
    EXPECT_FALSE(finished);
    EXPECT_EQ(calls, 1u);
    const std::size_t done = workpiece->GetDoneCount();
    ASSERT_GT(done, 0u);
    ASSERT_LT(done, path.table.GetCount());
    EXPECT_TRUE(workpiece->GetGrid() == FreshSweep(path, CToolTable(), Settings(TWENTY_BOX, 0.5), done)->GetGrid());
}

// Memory running out inside one of the sweep's threads must reach the caller
// as the exception, not end the program, and leave a workpiece that sweeps
// like a fresh one.
TEST(WorkpieceTest, FailureInASweepThreadReachesTheCaller)
{
    struct FailureRow {
        const char* name;
        bool onCallingThread;
        std::size_t doneBefore;
        std::size_t failingMove;
    };
    const FailureRow rows[] = {
        {"a worker thread from the start", false, 0, 700},
        {"the calling thread while a worker sweeps", true, 0, 700},
        {"a worker thread after earlier stretches", false, 1500, 2500},
    };
    const CLoadedPath path(ZigZagProgram());
    const std::size_t moves = path.table.GetCount();
    CWorkpiece::CSettings settings = Settings(TWENTY_BOX, 0.5);
    settings.threads = 2;
    settings.everyStretchOnAllThreads = true;
    const auto fresh = FreshSweep(path, CToolTable(), settings, moves);
    const auto untouched = FreshSweep(path, CToolTable(), settings, 0);
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::thread::id caller = std::this_thread::get_id();
        std::atomic<bool> armed(false);
        CWorkpiece::CSettings failing = settings;
        failing.beforeMove = [&](std::size_t move) {
            if (armed && move == row.failingMove && (std::this_thread::get_id() == caller) == row.onCallingThread)
                throw std::bad_alloc();
        };
        const auto workpiece = path.MakeWorkpiece(CToolTable(), failing);
        workpiece->BringTo(row.doneBefore);
        armed = true;
        EXPECT_THROW(workpiece->BringTo(moves), std::bad_alloc);
        armed = false;
        EXPECT_EQ(workpiece->GetDoneCount(), 0u);
        EXPECT_TRUE(workpiece->GetGrid() == untouched->GetGrid());
        EXPECT_TRUE(workpiece->BringTo(moves));
        EXPECT_TRUE(workpiece->GetGrid() == fresh->GetGrid());
        ExpectSameRapidCuts(*workpiece, *fresh);
    }
}

// The rules computed another way: every move sampled densely along its
// length, the tool's shape applied at each sample. A cell swept exactly lies
// between what a tool a thousandth wider and a thousandth narrower reach, give
// or take a thousandth.
constexpr double TOLERANCE = 1e-3;
constexpr double SAMPLE_SPACING = 4e-4;

SweepPoint PointOfMove(const CMoveTable& table, std::size_t move, double along)
{
    const CMovePoint from = table.GetStart(move);
    const CMovePoint to = table.GetEnd(move);
    const SweepPoint start{from.x, from.y, from.z};
    const SweepPoint end{to.x, to.y, to.z};
    const std::ptrdiff_t arcIndex = table.FindArc(move);
    SweepPoint point{};
    if (arcIndex < 0) {
        for (std::size_t axis = 0; axis < 3; ++axis)
            point[axis] = start[axis] + along * (end[axis] - start[axis]);
        return point;
    }
    const CArcRecord& arc = table.GetArcs()[static_cast<std::size_t>(arcIndex)];
    static const std::size_t axes[3][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};
    const std::size_t* plane = axes[arc.plane];
    const double centerFirst = arc.centerFirst;
    const double centerSecond = arc.centerSecond;
    const double startRadius = std::hypot(start[plane[0]] - centerFirst, start[plane[1]] - centerSecond);
    const double endRadius = std::hypot(end[plane[0]] - centerFirst, end[plane[1]] - centerSecond);
    const double angle = std::atan2(start[plane[1]] - centerSecond, start[plane[0]] - centerFirst) + along * arc.sweep;
    const double radius = startRadius + along * (endRadius - startRadius);
    point[plane[0]] = centerFirst + radius * std::cos(angle);
    point[plane[1]] = centerSecond + radius * std::sin(angle);
    point[plane[2]] = start[plane[2]] + along * (end[plane[2]] - start[plane[2]]);
    return point;
}

std::vector<double> SampledHeights(const CLoadedPath& path, const CWorkpiece& workpiece, std::size_t moves,
                                   double radiusChange)
{
    const CHeightGrid& grid = workpiece.GetGrid();
    const CStockBox& box = grid.GetBox();
    std::vector<double> heights(grid.GetCellCount(), box.z1);
    for (std::size_t move = 0; move < moves; ++move) {
        const CTool& tool = workpiece.GetToolOfMove(move);
        const double radius = tool.GetRadius() + radiusChange;
        // A generous length: the samples only need to be close enough.
        double length = 0.0;
        SweepPoint previous = PointOfMove(path.table, move, 0.0);
        for (int piece = 1; piece <= 64; ++piece) {
            const SweepPoint next = PointOfMove(path.table, move, piece / 64.0);
            length += std::hypot(next[0] - previous[0], next[1] - previous[1], next[2] - previous[2]);
            previous = next;
        }
        const std::size_t samples = static_cast<std::size_t>(std::ceil(1.5 * length / SAMPLE_SPACING)) + 1;
        for (std::size_t sample = 0; sample <= samples; ++sample) {
            const SweepPoint tip = PointOfMove(path.table, move, static_cast<double>(sample) / samples);
            for (std::size_t row = 0; row < grid.GetRows(); ++row) {
                const double dy = grid.GetCenterY(row) - tip[1];
                if (std::fabs(dy) > radius)
                    continue;
                const double across = (tip[0] - radius - box.x0) / grid.GetCell();
                const std::size_t firstColumn = across > 1.0 ? static_cast<std::size_t>(across) - 1 : 0;
                for (std::size_t column = firstColumn; column < grid.GetColumns(); ++column) {
                    const double dx = grid.GetCenterX(column) - tip[0];
                    if (dx > radius)
                        break;
                    const double distanceSquared = dx * dx + dy * dy;
                    if (distanceSquared > radius * radius)
                        continue;
                    const double reached =
                        tool.shape == TOOL_BALL ? tip[2] + radius - std::sqrt(radius * radius - distanceSquared)
                                                : tip[2];
                    double& height = heights[row * grid.GetColumns() + column];
                    height = std::min(height, std::max(reached, box.z0));
                }
            }
        }
    }
    return heights;
}

// A program of lines, rapids, arcs and spirals in all three planes, with
// tool changes, kept near the middle of a 20 x 20 box.
std::string GenerateProgram(std::mt19937& random)
{
    std::uniform_real_distribution<double> inside(5.0, 15.0);
    std::uniform_real_distribution<double> depth(-3.0, 1.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> pick(0, 9);
    std::string text = "%\r\n";
    char line[200];
    double x = 10.0;
    double y = 10.0;
    double z = 1.0;
    std::snprintf(line, sizeof line, "G17 G0 X%.3f Y%.3f Z%.3f\r\n", x, y, z);
    text += line;
    for (int block = 0; block < 10; ++block) {
        const int choice = pick(random);
        if (choice == 0) {
            std::snprintf(line, sizeof line, "T%d\r\n", 1 + pick(random) % 4);
        } else if (choice <= 3) {
            x = inside(random);
            y = inside(random);
            z = depth(random);
            std::snprintf(line, sizeof line, "G%d X%.3f Y%.3f Z%.3f\r\n", choice == 1 ? 0 : 1, x, y, z);
        } else {
            // An arc about a centre 1 to 3 away in one plane; a spiral
            // when its end lies farther out than its start.
            const int plane = choice % 3;
            const double radius = 1.0 + 2.0 * unit(random);
            const double startAngle = 6.283185307179586 * unit(random);
            const double endAngle = 6.283185307179586 * unit(random);
            const double endRadius = radius + (choice >= 8 ? 1.0 : 0.0);
            const double offsetFirst = -radius * std::cos(startAngle);
            const double offsetSecond = -radius * std::sin(startAngle);
            const double endFirst = endRadius * std::cos(endAngle) - radius * std::cos(startAngle);
            const double endSecond = endRadius * std::sin(endAngle) - radius * std::sin(startAngle);
            const char* motion = unit(random) < 0.5 ? "G2" : "G3";
            if (plane == 0) {
                x += endFirst;
                y += endSecond;
                z = depth(random);
                std::snprintf(line, sizeof line, "G17 %s X%.3f Y%.3f Z%.3f I%.3f J%.3f\r\n", motion, x, y, z,
                              offsetFirst, offsetSecond);
            } else if (plane == 1) {
                // XZ: first Z, second X.
                z += endFirst;
                x += endSecond;
                std::snprintf(line, sizeof line, "G18 %s X%.3f Z%.3f I%.3f K%.3f\r\n", motion, x, z, offsetSecond,
                              offsetFirst);
            } else {
                // YZ: first Y, second Z.
                y += endFirst;
                z += endSecond;
                std::snprintf(line, sizeof line, "G19 %s Y%.3f Z%.3f J%.3f K%.3f\r\n", motion, y, z, offsetFirst,
                              offsetSecond);
            }
        }
        text += line;
    }
    return text;
}

TEST(WorkpieceTest, AgreesWithDenseSamplingOnGeneratedPrograms)
{
    std::mt19937 random(2026);
    CToolTable tools;
    tools.SetTool(1, CTool{TOOL_FLAT, 2.5});
    tools.SetTool(2, CTool{TOOL_BALL, 3.0});
    tools.SetTool(3, CTool{TOOL_BALL, 5.5});
    tools.SetDefaultTool(CTool{TOOL_FLAT, 4.0});
    for (int program = 0; program < 6; ++program) {
        SCOPED_TRACE("program " + std::to_string(program));
        const CLoadedPath path(GenerateProgram(random));
        ASSERT_EQ(path.loadResult, 1);
        CWorkpiece::CSettings settings = Settings(CStockBox{0.0, 0.0, -4.0, 20.0, 20.0, 0.0}, 0.5);
        settings.threads = 2;
        const auto workpiece = path.MakeWorkpiece(tools, settings);
        // A partial sweep reached through a trail, then the whole program.
        const std::size_t count = path.table.GetCount();
        for (const std::size_t moves : {count / 2, count}) {
            workpiece->BringTo(count);
            workpiece->BringTo(moves);
            const std::vector<double> wider = SampledHeights(path, *workpiece, moves, TOLERANCE);
            const std::vector<double> narrower = SampledHeights(path, *workpiece, moves, -TOLERANCE);
            const std::vector<double>& heights = workpiece->GetGrid().GetHeights();
            std::size_t cut = 0;
            for (std::size_t cell = 0; cell < heights.size(); ++cell) {
                ASSERT_GE(heights[cell], wider[cell] - TOLERANCE) << "cell " << cell << " after " << moves;
                ASSERT_LE(heights[cell], narrower[cell] + TOLERANCE) << "cell " << cell << " after " << moves;
                cut += heights[cell] < 0.0 ? 1 : 0;
            }
            EXPECT_GT(cut, 0u);
        }
    }
}

} // namespace
