#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cursor_moves.h"
#include "path_builder.h"
#include "test_support.h"

namespace {

constexpr double TOLERANCE = 1e-9;
constexpr std::uint8_t NONE = 0;
constexpr std::uint8_t ASSUMED = MOVE_ASSUMED;
constexpr std::uint8_t APPROXIMATED = MOVE_APPROXIMATED;
constexpr std::uint8_t MISMATCH = MOVE_MISMATCH;
constexpr std::uint8_t ERROR = MOVE_ERROR;

class CCollectingSink : public IPathSink {
public:
    void AddMove(const CPathMove& move) override { moves.push_back(move); }
    std::vector<CPathMove> moves;
};

std::string Lines(const std::vector<const char*>& lines)
{
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

// The program's path as the builder reports it; the load must succeed.
struct CBuiltPath {
    explicit CBuiltPath(const std::string& bytes)
    {
        loadResult = rig.LoadBytes(bytes);
        const CPathBuilder builder(rig.loader.GetWordList(), CPathBuilder::CountHeaderLines(rig.loader.GetHeader()));
        summary = builder.Build(sink);
    }
    CLoaderRig rig;
    int loadResult = 0;
    CCollectingSink sink;
    CPathSummary summary;
};

void ExpectPoint(const PathPoint& actual, const PathPoint& expected, const char* what)
{
    for (std::size_t axis = 0; axis < 3; ++axis)
        EXPECT_NEAR(actual[axis], expected[axis], TOLERANCE) << what << " axis " << axis;
}

struct MoveRow {
    MoveKind kind;
    PathPoint from;
    PathPoint to;
    std::uint8_t flags;
};

struct ArcRow {
    std::size_t move;
    ArcPlane plane;
    PathPoint center;
    double sweepDegrees;
};

struct GeometryCase {
    const char* name;
    std::vector<const char*> lines;
    std::vector<MoveRow> moves;
    std::vector<ArcRow> arcs;
};

void CheckGeometry(const GeometryCase& row)
{
    SCOPED_TRACE(row.name);
    const CBuiltPath path(Lines(row.lines));
    ASSERT_EQ(path.loadResult, CCncProgram::RESULT_OK);
    const std::vector<CPathMove>& moves = path.sink.moves;
    ASSERT_EQ(moves.size(), row.moves.size());
    EXPECT_EQ(path.summary.moves, row.moves.size());
    EXPECT_EQ(path.summary.arcs, row.arcs.size());
    std::size_t arcIndex = 0;
    for (std::size_t index = 0; index < moves.size(); ++index) {
        SCOPED_TRACE("move " + std::to_string(index));
        const CPathMove& move = moves[index];
        const MoveRow& expected = row.moves[index];
        EXPECT_EQ(move.index, index);
        EXPECT_EQ(move.kind, expected.kind);
        EXPECT_EQ(move.flags, expected.flags);
        ExpectPoint(move.from, expected.from, "from");
        ExpectPoint(move.to, expected.to, "to");
        const bool isArc = arcIndex < row.arcs.size() && row.arcs[arcIndex].move == index;
        ASSERT_EQ(move.isArc, isArc);
        if (!isArc)
            continue;
        const ArcRow& arc = row.arcs[arcIndex++];
        EXPECT_EQ(move.plane, arc.plane);
        ExpectPoint(move.center, arc.center, "center");
        EXPECT_NEAR(move.sweep * 180.0 / 3.14159265358979323846, arc.sweepDegrees, TOLERANCE);
    }
}

TEST(PathBuilder, ArcsInEveryPlane)
{
    const GeometryCase cases[] = {
        {"XY counter-clockwise quarter",
         {"G0 X10 Y0 Z0", "G3 X0 Y10 I-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 10, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, 90}}},
        {"XY clockwise quarter",
         {"G0 X0 Y10 Z0", "G2 X10 Y0 J-10"},
         {{MOVE_RAPID, {0, 0, 0}, {0, 10, 0}, ASSUMED}, {MOVE_CW, {0, 10, 0}, {10, 0, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, -90}}},
        {"XZ counter-clockwise runs from Z toward X",
         {"G0 X0 Y3 Z10", "G18 G3 X10 Z0 K-10"},
         {{MOVE_RAPID, {0, 0, 0}, {0, 3, 10}, ASSUMED}, {MOVE_CCW, {0, 3, 10}, {10, 3, 0}, NONE}},
         {{1, ARC_PLANE_XZ, {0, 3, 0}, 90}}},
        {"XZ clockwise runs from X toward Z",
         {"G0 X10 Y3 Z0", "G18 G2 X0 Z10 I-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 3, 0}, ASSUMED}, {MOVE_CW, {10, 3, 0}, {0, 3, 10}, NONE}},
         {{1, ARC_PLANE_XZ, {0, 3, 0}, -90}}},
        {"YZ counter-clockwise runs from Y toward Z",
         {"G0 X4 Y10 Z0", "G19 G3 Y0 Z10 J-10"},
         {{MOVE_RAPID, {0, 0, 0}, {4, 10, 0}, ASSUMED}, {MOVE_CCW, {4, 10, 0}, {4, 0, 10}, NONE}},
         {{1, ARC_PLANE_YZ, {4, 0, 0}, 90}}},
        {"YZ clockwise runs from Z toward Y",
         {"G0 X4 Y0 Z10", "G19 G2 Y10 Z0 K-10"},
         {{MOVE_RAPID, {0, 0, 0}, {4, 0, 10}, ASSUMED}, {MOVE_CW, {4, 0, 10}, {4, 10, 0}, NONE}},
         {{1, ARC_PLANE_YZ, {4, 0, 0}, -90}}},
        {"three quarters counter-clockwise",
         {"G0 X50 Y40 Z0", "G3 X40 Y50 J10"},
         {{MOVE_RAPID, {0, 0, 0}, {50, 40, 0}, ASSUMED}, {MOVE_CCW, {50, 40, 0}, {40, 50, 0}, NONE}},
         {{1, ARC_PLANE_XY, {50, 50, 0}, 270}}},
        {"full circle from offsets alone",
         {"G0 X10 Y0 Z0", "G2 I-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CW, {10, 0, 0}, {10, 0, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, -360}}},
        {"full circle with the end written",
         {"G0 X10 Y0 Z0", "G3 X10 Y0 I-10 J0"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {10, 0, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, 360}}},
        {"helix moves the linear axis",
         {"G0 X10 Y0 Z0", "G3 X0 Y10 Z5 I-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 10, 5}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, 90}}},
        {"offset of the linear axis is ignored",
         {"G0 X10 Y0 Z0", "G3 X0 Y10 I-10 K7"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 10, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, 90}}},
        {"radius within the mismatch limit",
         {"G0 X10 Y0 Z0", "G3 X0 Y10.004 I-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 10.004, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, 90}}},
        {"radius mismatch is drawn and flagged",
         {"G0 X10 Y0 Z0", "G3 X0 Y11 I-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 11, 0}, MISMATCH}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, 90}}},
        {"start radius 0 is an error",
         {"G0 X10 Y0 Z0", "G3 X0 Y10 I0 J0"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 10, 0}, ERROR}},
         {}},
        {"an arc without offsets has start radius 0",
         {"G0 X10 Y0 Z0", "G2 X0 Y10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CW, {10, 0, 0}, {0, 10, 0}, ERROR}},
         {}},
    };
    for (const GeometryCase& row : cases)
        CheckGeometry(row);
}

TEST(PathBuilder, RadiusForm)
{
    const GeometryCase cases[] = {
        {"positive radius sweeps the short way",
         {"G0 X10 Y0 Z0", "G3 X0 Y10 R10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 10, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, 90}}},
        {"positive radius clockwise",
         {"G0 X10 Y0 Z0", "G2 X0 Y10 R10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CW, {10, 0, 0}, {0, 10, 0}, NONE}},
         {{1, ARC_PLANE_XY, {10, 10, 0}, -90}}},
        {"negative radius sweeps the long way",
         {"G0 X10 Y0 Z0", "G3 X0 Y10 R-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 10, 0}, NONE}},
         {{1, ARC_PLANE_XY, {10, 10, 0}, 270}}},
        {"negative radius clockwise",
         {"G0 X10 Y0 Z0", "G2 X0 Y10 R-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CW, {10, 0, 0}, {0, 10, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, -270}}},
        {"chord equal to the diameter is a half circle",
         {"G0 X-10 Y0 Z0", "G2 X10 Y0 R10"},
         {{MOVE_RAPID, {0, 0, 0}, {-10, 0, 0}, ASSUMED}, {MOVE_CW, {-10, 0, 0}, {10, 0, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, -180}}},
        {"chord a hair over the diameter is still a half circle",
         {"G0 X-10 Y0 Z0", "G3 X10.0000000001 Y0 R10"},
         {{MOVE_RAPID, {0, 0, 0}, {-10, 0, 0}, ASSUMED}, {MOVE_CCW, {-10, 0, 0}, {10.0000000001, 0, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0.00000000005, 0, 0}, 180}}},
        {"chord longer than the diameter is an error",
         {"G0 X10 Y0 Z0", "G3 X0 Y30 R10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 30, 0}, ERROR}},
         {}},
        {"start equal to end with a radius is an error",
         {"G0 X10 Y0 Z0", "G3 X10 Y0 R10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {10, 0, 0}, ERROR}},
         {}},
        {"radius zero is an error",
         {"G0 X10 Y0 Z0", "G2 X0 Y10 R0"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CW, {10, 0, 0}, {0, 10, 0}, ERROR}},
         {}},
        {"R wins over the offsets",
         {"G0 X10 Y0 Z0", "G3 X0 Y10 I-10 J-10 R-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 10, 0}, NONE}},
         {{1, ARC_PLANE_XY, {10, 10, 0}, 270}}},
        {"radius form in the XZ plane",
         {"G0 X0 Y0 Z10", "G18 G3 X10 Z0 R10"},
         {{MOVE_RAPID, {0, 0, 0}, {0, 0, 10}, ASSUMED}, {MOVE_CCW, {0, 0, 10}, {10, 0, 0}, NONE}},
         {{1, ARC_PLANE_XZ, {0, 0, 0}, 90}}},
        {"helix in radius form",
         {"G0 X10 Y0 Z0", "G2 X0 Y10 Z-4 R-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CW, {10, 0, 0}, {0, 10, -4}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, -270}}},
    };
    for (const GeometryCase& row : cases)
        CheckGeometry(row);
}

TEST(PathBuilder, BlocksAndModes)
{
    const GeometryCase cases[] = {
        {"G91 adds to the given axes and keeps the others",
         {"G0 X1 Y2 Z3", "G91 G1 X5", "Y-1", "G90 Z7"},
         {{MOVE_RAPID, {0, 0, 0}, {1, 2, 3}, ASSUMED},
          {MOVE_LINEAR, {1, 2, 3}, {6, 2, 3}, NONE},
          {MOVE_LINEAR, {6, 2, 3}, {6, 1, 3}, NONE},
          {MOVE_LINEAR, {6, 1, 3}, {6, 1, 7}, NONE}},
         {}},
        {"relative arc end, offsets from the start",
         {"G0 X10 Y0 Z0", "G91 G3 X-10 Y10 I-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 10, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, 90}}},
        {"start assumed until every axis is given",
         {"G0 X5", "Y6", "Z7", "X8"},
         {{MOVE_RAPID, {0, 0, 0}, {5, 0, 0}, ASSUMED},
          {MOVE_RAPID, {5, 0, 0}, {5, 6, 0}, ASSUMED},
          {MOVE_RAPID, {5, 6, 0}, {5, 6, 7}, ASSUMED},
          {MOVE_RAPID, {5, 6, 7}, {8, 6, 7}, NONE}},
         {}},
        {"relative words make their axes known",
         {"G91 X1 Y1 Z1", "X1"},
         {{MOVE_LINEAR, {0, 0, 0}, {1, 1, 1}, ASSUMED}, {MOVE_LINEAR, {1, 1, 1}, {2, 1, 1}, NONE}},
         {}},
        {"axis words of a dwell block change nothing",
         {"G4 X5 Y5 Z5", "G1 Y1"},
         {{MOVE_LINEAR, {0, 0, 0}, {0, 1, 0}, ASSUMED}},
         {}},
        {"radius alone makes no arc",
         {"G0 X1 Y1 Z1", "G2 R5", "G1 X2"},
         {{MOVE_RAPID, {0, 0, 0}, {1, 1, 1}, ASSUMED}, {MOVE_LINEAR, {1, 1, 1}, {2, 1, 1}, NONE}},
         {}},
        {"dwell makes no move", {"G4 X2", "X3"}, {}, {}},
        {"parable and threads are drawn straight",
         {"G0 X0 Y0 Z0", "G6 X1 Y1", "G33 Z-10", "G34 Z-20", "G35 Z-30"},
         {{MOVE_RAPID, {0, 0, 0}, {0, 0, 0}, ASSUMED},
          {MOVE_PARABLE, {0, 0, 0}, {1, 1, 0}, APPROXIMATED},
          {MOVE_THREAD, {1, 1, 0}, {1, 1, -10}, APPROXIMATED},
          {MOVE_THREAD, {1, 1, -10}, {1, 1, -20}, APPROXIMATED},
          {MOVE_THREAD, {1, 1, -20}, {1, 1, -30}, APPROXIMATED}},
         {}},
        {"later word of the same address wins",
         {"G0 X1 X2 Y0 Z0", "G3 X0 Y2 I-1 I-2"},
         {{MOVE_RAPID, {0, 0, 0}, {2, 0, 0}, ASSUMED}, {MOVE_CCW, {2, 0, 0}, {0, 2, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, 90}}},
        {"later motion word wins",
         {"G0 G1 X1 Y0 Z0", "G1 G2 X0 Y1 I-1", "G2 G0 X5"},
         {{MOVE_LINEAR, {0, 0, 0}, {1, 0, 0}, ASSUMED},
          {MOVE_CW, {1, 0, 0}, {0, 1, 0}, NONE},
          {MOVE_RAPID, {0, 1, 0}, {5, 1, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, -270}}},
        {"later plane and dimensioning words win",
         {"G0 X10 Y0 Z0", "G18 G17 G91 G90 G3 X0 Y10 I-10"},
         {{MOVE_RAPID, {0, 0, 0}, {10, 0, 0}, ASSUMED}, {MOVE_CCW, {10, 0, 0}, {0, 10, 0}, NONE}},
         {{1, ARC_PLANE_XY, {0, 0, 0}, 90}}},
        {"a modal word after the axis words still counts",
         {"X1 Y1 Z1 G0", "X2 G91"},
         {{MOVE_RAPID, {0, 0, 0}, {1, 1, 1}, ASSUMED}, {MOVE_RAPID, {1, 1, 1}, {3, 1, 1}, NONE}},
         {}},
        {"comments, block numbers and other words pass",
         {"N10 (start) G0 X1 Y1 Z1 F100 S2000 T1 M3 H5", "; note", "N20 X2"},
         {{MOVE_RAPID, {0, 0, 0}, {1, 1, 1}, ASSUMED}, {MOVE_RAPID, {1, 1, 1}, {2, 1, 1}, NONE}},
         {}},
        {"coordinate systems and units move nothing",
         {"G55 G71 X1 Y1 Z1", "G54 G70"},
         {{MOVE_LINEAR, {0, 0, 0}, {1, 1, 1}, ASSUMED}},
         {}},
    };
    for (const GeometryCase& row : cases)
        CheckGeometry(row);
}

// Only a move that changes an axis no word has given yet is a guess: an
// axis its block names, or either axis of its arc's plane.
TEST(PathBuilder, AssumedMarksOnlyAGuessedAxis)
{
    const struct {
        const char* name;
        std::vector<const char*> lines;
        std::vector<std::uint8_t> flags;
    } cases[] = {
        {"the first move from an unknown start", {"G0 X0 Y0"}, {ASSUMED}},
        {"a program that never names Z", {"G0 X0 Y0", "G1 X5 Y5", "X7"}, {ASSUMED, NONE, NONE}},
        {"naming an axis for the first time", {"G0 X0 Y0", "G1 Z-1", "G1 Z-2"}, {ASSUMED, ASSUMED, NONE}},
        {"relative from an unknown start", {"G91 X5", "X5"}, {ASSUMED, NONE}},
        {"an arc in a known plane", {"G0 X0 Y0", "G2 X10 Y0 I5"}, {ASSUMED, NONE}},
        {"an arc naming one axis swings the other", {"G0 X0", "G2 X10 I5"}, {ASSUMED, ASSUMED}},
        {"a full circle by its centre alone", {"G0 X0", "G3 I5", "G0 Y0", "G3 I5"}, {ASSUMED, ASSUMED, ASSUMED, NONE}},
        {"an arc in the XZ plane needs Z", {"G0 X0 Y0", "G18 G2 X10 I5"}, {ASSUMED, ASSUMED}},
        {"an arc that cannot be made still swings its plane", {"G0 X0", "G2 X100 R1"}, {ASSUMED, ASSUMED | ERROR}},
        {"a thread along a known axis", {"G0 X0 Z0", "G33 Z-10"}, {ASSUMED, APPROXIMATED}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const CBuiltPath path(Lines(row.lines));
        ASSERT_EQ(path.sink.moves.size(), row.flags.size());
        for (std::size_t index = 0; index < row.flags.size(); ++index)
            EXPECT_EQ(path.sink.moves[index].flags, row.flags[index]) << "move " << index;
    }
}

// A reload must not wait for the whole build of a big program, nor for the
// numbers read ahead of a table's walk.
TEST(PathBuilder, ACancelledBuildStopsWithinAFewThousandWords)
{
    std::string program;
    for (int block = 0; block < 60000; ++block)
        program += "G1 X" + std::to_string(block % 100) + " Y1 Z1\r\n";
    CLoaderRig rig;
    ASSERT_EQ(rig.LoadBytes(program), CCncProgram::RESULT_OK);
    const CPathBuilder builder(rig.loader.GetWordList(), 0);
    // Five words a block: the flag, set at the tenth move, must stop the
    // build within the next few thousand words.
    class CCancellingSink : public IPathSink {
    public:
        void AddMove(const CPathMove&) override
        {
            if (++moves == 10)
                cancel.store(true);
        }
        std::atomic<bool> cancel{false};
        std::size_t moves = 0;
    } sink;
    const CPathSummary summary = builder.Build(sink, &sink.cancel);
    EXPECT_TRUE(summary.cancelled);
    EXPECT_LE(sink.moves, 10u + 5000u / 5u);
    CMoveTable table;
    const CPathSummary tableSummary = builder.BuildTable(table, &sink.cancel);
    EXPECT_TRUE(tableSummary.cancelled);
    EXPECT_TRUE(table.IsEmpty());
    EXPECT_EQ(table.GetMemoryBytes(), 0u);
}

// Coordinates the classifier reads as infinities, or so large that the
// geometry overflows, give arcs that cannot be made; the table keeps them as
// they are.
TEST(PathBuilder, HugeCoordinates)
{
    const struct {
        const char* name;
        std::vector<const char*> lines;
        std::uint8_t arcFlags;
        double tableEndX;
    } cases[] = {
        {"infinite start", {"G0 X1e400 Y0 Z0", "G3 X0 Y10 I-10"}, ERROR, 0.0},
        {"infinite end", {"G0 X10 Y0 Z0", "G3 X-1e400 Y0 I-10"}, ERROR, -HUGE_VAL},
        {"radius form whose squares overflow", {"G0 X1e300 Y0 Z0", "G2 X-1e300 Y0 R1e300"}, ERROR, -1e300},
        {"centre form beyond the float range", {"G0 X1e300 Y0 Z0", "G2 X-1e300 Y0 I-1e300"}, NONE, -1e300},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const CBuiltPath path(Lines(row.lines));
        ASSERT_EQ(path.sink.moves.size(), 2u);
        EXPECT_EQ(path.sink.moves[1].flags, row.arcFlags);
        CMoveTable table;
        CPathBuilder(path.rig.loader.GetWordList(), 0).BuildTable(table);
        ASSERT_EQ(table.GetCount(), 2u);
        EXPECT_EQ(table.GetEnd(1).x, row.tableEndX);
    }
}

TEST(PathBuilder, UnfinishedBlockMakesNoMove)
{
    // A load that stops at a syntax error leaves the block it was in unfinished.
    const CBuiltPath path("G1 X1 Y1 Z1\r\nG1 X5 Y\r\n");
    ASSERT_EQ(path.loadResult, CCncProgram::RESULT_SYNTAX_ERROR);
    ASSERT_EQ(path.sink.moves.size(), 1u);
    EXPECT_EQ(path.sink.moves[0].to[0], 1.0);
}

TEST(PathBuilder, LengthUnit)
{
    const struct {
        const char* name;
        std::vector<const char*> lines;
        std::vector<WordKind> moveUnits;
        WordKind endUnit;
    } cases[] = {
        {"millimetres from the start", {"X1"}, {WK_UNIT_MM}, WK_UNIT_MM},
        {"G71 is inch for its own move", {"G71 X1", "X2"}, {WK_UNIT_INCH, WK_UNIT_INCH}, WK_UNIT_INCH},
        {"G70 back to millimetres", {"G71 X1", "G70 X2"}, {WK_UNIT_INCH, WK_UNIT_MM}, WK_UNIT_MM},
        {"G22 and G21", {"G22 X1", "G21"}, {WK_UNIT_INCH}, WK_UNIT_MM},
        {"the unit of a block without a move counts at the end", {"X1", "G71"}, {WK_UNIT_MM}, WK_UNIT_INCH},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const CBuiltPath path(Lines(row.lines));
        ASSERT_EQ(path.sink.moves.size(), row.moveUnits.size());
        for (std::size_t index = 0; index < row.moveUnits.size(); ++index)
            EXPECT_EQ(path.sink.moves[index].lengthUnit, row.moveUnits[index]);
        EXPECT_EQ(path.summary.lengthUnit, row.endUnit);
        CMoveTable table;
        CPathBuilder(path.rig.loader.GetWordList(), 0).BuildTable(table);
        EXPECT_EQ(table.GetLengthUnit(), row.endUnit);
    }
}

TEST(PathBuilder, Bounds)
{
    const struct {
        const char* name;
        std::vector<const char*> lines;
        PathPoint min;
        PathPoint max;
    } cases[] = {
        {"the origin start counts", {"G0 X5 Y6 Z7"}, {0, 0, 0}, {5, 6, 7}},
        {"clockwise arc crossing -Y and -X",
         {"G0 X-40 Y-50 Z0", "G2 X-50 Y-40 I-10"},
         {-60, -60, 0},
         {0, 0, 0}},
        {"counter-clockwise arc crossing +X and +Y",
         {"G0 X50 Y40 Z0", "G3 X40 Y50 J10"},
         {0, 0, 0},
         {60, 60, 0}},
        {"quarter arc inside one quadrant adds nothing",
         {"G0 X-10 Y-20 Z0", "G3 X-20 Y-10 I-10 J0"},
         {-20, -20, 0},
         {0, 0, 0}},
        {"full circle reaches all four sides",
         {"G0 X-10 Y-30 Z-5", "G2 I-10"},
         {-30, -40, -5},
         {0, 0, 0}},
        {"XZ arc crosses -X in its frame",
         {"G0 X-20 Y0 Z-10", "G18 G2 X-20 Z-30 I0 K-10"},
         {-30, 0, -30},
         {0, 0, 0}},
        {"helix spans its linear axis", {"G0 X10 Y0 Z0", "G3 X0 Y10 Z5 I-10"}, {0, 0, 0}, {10, 10, 5}},
        {"an error arc counts its chord only", {"G0 X10 Y0 Z0", "G3 X0 Y30 R10"}, {0, 0, 0}, {10, 30, 0}},
        {"a spiral's box holds its ends and its larger radius",
         {"G0 X-10 Y-30 Z0", "G3 X-30 Y-51 I-20"},
         {-51, -51, 0},
         {0, 0, 0}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const CBuiltPath path(Lines(row.lines));
        ASSERT_TRUE(path.summary.hasBounds);
        ExpectPoint(path.summary.min, row.min, "min");
        ExpectPoint(path.summary.max, row.max, "max");
    }
}

// Points along a mismatched arc, the radius changing evenly, all inside the box.
TEST(PathBuilder, SpiralStaysInsideItsBounds)
{
    const struct {
        const char* name;
        const char* arc;
    } cases[] = {
        {"growing inside one quadrant", "G3 X1.7 Y9.8 I-1"},
        {"shrinking across two quadrants", "G3 X-0.5 Y-0.5 I-10"},
        {"clockwise growing", "G2 X-20 Y5 I-1 J-1"},
        {"ending at its centre", "G3 X0 Y0 I-10"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const CBuiltPath path(Lines({"G0 X10 Y0 Z0", row.arc}));
        ASSERT_EQ(path.sink.moves.size(), 2u);
        const CPathMove& arc = path.sink.moves[1];
        ASSERT_TRUE(arc.isArc);
        EXPECT_EQ(arc.flags, MOVE_MISMATCH);
        const double startAngle = std::atan2(arc.from[1] - arc.center[1], arc.from[0] - arc.center[0]);
        const double startRadius = std::hypot(arc.from[1] - arc.center[1], arc.from[0] - arc.center[0]);
        const double endRadius = std::hypot(arc.to[1] - arc.center[1], arc.to[0] - arc.center[0]);
        for (int step = 0; step <= 1000; ++step) {
            const double along = step / 1000.0;
            const double angle = startAngle + arc.sweep * along;
            const double radius = startRadius + (endRadius - startRadius) * along;
            const double x = arc.center[0] + radius * std::cos(angle);
            const double y = arc.center[1] + radius * std::sin(angle);
            EXPECT_GE(x, path.summary.min[0] - TOLERANCE);
            EXPECT_LE(x, path.summary.max[0] + TOLERANCE);
            EXPECT_GE(y, path.summary.min[1] - TOLERANCE);
            EXPECT_LE(y, path.summary.max[1] + TOLERANCE);
        }
    }
}

TEST(PathBuilder, NoMoveNoBounds)
{
    const CBuiltPath path(Lines({"G4 X1", "M30"}));
    EXPECT_EQ(path.summary.moves, 0u);
    EXPECT_FALSE(path.summary.hasBounds);
    CMoveTable table;
    CPathBuilder(path.rig.loader.GetWordList(), 0).BuildTable(table);
    CMovePoint min;
    CMovePoint max;
    EXPECT_TRUE(table.IsEmpty());
    EXPECT_FALSE(table.GetBounds(min, max));
}

TEST(PathBuilder, WordsAndLines)
{
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::size_t> endWords;
        std::vector<std::size_t> firstWords;
        std::vector<std::int64_t> lines;
    } cases[] = {
        // N10 G1 X1 CR | M3 CR | (c) G0 Y2 (d) CR, where the reader puts an
        // empty unclassified word before a comment that opens a line.
        {"block numbers, comments and blocks without a move",
         "N10 G1 X1\r\nM3\r\n(c) G0 Y2 (d)\r\n",
         {3, 11},
         {0, 8},
         {1, 3}},
        // Demo CR LF | % G1 X1 CR | X2 CR
        {"header lines count", "Demo\r\n%\r\nG1 X1\r\nX2\r\n", {4, 6}, {2, 5}, {3, 4}},
        {"bare line feeds end lines as well", "Demo\nmore\n%\nX1\nX2\n", {3, 5}, {2, 4}, {4, 5}},
        {"empty lines count", "X1\r\n\r\n\r\nX2\r\n", {1, 5}, {0, 4}, {1, 4}},
        // Q2 G83 G1 X1 CR: the words of no meaning belong to their block.
        {"a block that opens with a word of no meaning", "Q2 G83 G1 X1\r\n", {4}, {0}, {1}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const CBuiltPath path(row.bytes);
        ASSERT_EQ(path.loadResult, CCncProgram::RESULT_OK);
        ASSERT_EQ(path.sink.moves.size(), row.endWords.size());
        for (std::size_t index = 0; index < row.endWords.size(); ++index) {
            const CPathMove& move = path.sink.moves[index];
            EXPECT_EQ(move.endWord, row.endWords[index]);
            EXPECT_EQ(path.rig.loader.GetWordList().GetKind(move.endWord), WK_END_OF_BLOCK);
            EXPECT_EQ(move.blockFirstWord, row.firstWords[index]);
            EXPECT_EQ(move.line, row.lines[index]);
        }
    }
}

// The line of the last move before a syntax error, one line above the
// error, is the line the loader reports less one.
TEST(PathBuilder, LinesAgreeWithTheLoader)
{
    const std::string programs[] = {
        "Header\r\nline two\r\n%\r\nG1 X1\r\n\r\nX2\r\nX\r\n",
        "%\nG1 X1\n(comment)\nX2\nY\n",
        "G1 X1\r\nX2\r\nR5 X\r\n",
    };
    for (const std::string& bytes : programs) {
        SCOPED_TRACE(bytes);
        const CBuiltPath path(bytes);
        ASSERT_EQ(path.loadResult, CCncProgram::RESULT_SYNTAX_ERROR);
        ASSERT_FALSE(path.sink.moves.empty());
        const std::string expected =
            std::string(TEXT_SYNTAX_ERROR_IN_LINE) + std::to_string(path.sink.moves.back().line + 1);
        EXPECT_EQ(path.rig.loader.GetErrorText(), expected);
    }
}

TEST(PathBuilder, CountHeaderLines)
{
    const struct {
        const char* name;
        std::string header;
        std::int64_t lines;
    } cases[] = {
        {"no header", "", 0},
        {"carriage return and line feed count once", "a\r\nb\r\n", 2},
        {"byte 141 counts as a carriage return", "a\x8D", 1},
        {"no line end", "title", 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CPathBuilder::CountHeaderLines(row.header), row.lines);
    }
}

std::string FourDecimals(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

// What the window reads from its table is what the builder computed, bit
// for bit: the four-decimal text of every coordinate is the exact one,
// decimal runs and runs of sums alike, in runs closed and still open.
TEST(MoveTable, ReadsBackTheBuildersNumbers)
{
    std::vector<std::string> tenths;
    for (int step = 0; step < 2 * static_cast<int>(CMoveTable::RUN_MOVES) + 5; ++step)
        tenths.push_back("G1 X1000000" + std::to_string(step / 10) + "." + std::to_string(step % 10) + " Y" +
                         std::to_string(10000000 + step / 10) + "." + std::to_string(step % 10));
    std::vector<std::string> relative = {"G91"};
    for (std::size_t step = 0; step < CMoveTable::RUN_MOVES + 3; ++step)
        relative.push_back("G1 X0.1 Y-0.0003 Z0.7");
    const struct {
        const char* name;
        std::vector<std::string> lines;
    } cases[] = {
        {"four decimals in every magnitude",
         {"G0 X1234.5678 Y12345.6789 Z999999.9999", "G1 X-1234.5678 Y-12345.6789 Z-999999.9999",
          "G2 X1234.5678 Y12345.6789 I1234.5678 J12345.6789", "G18 G3 X0 Z0 R999999.9999"}},
        {"1e7 in steps of a tenth", tenths},
        {"near 1e9", {"G0 X999999999.9999 Y-999999999.9999 Z123456789.1234", "G1 X999999999.9998 Y-999999999.9997",
                      "X-999999999.9999", "G17 G2 X999999999.9999 I999999999.9999"}},
        {"sums of relative steps", relative},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        std::string program;
        for (const std::string& line : row.lines)
            program += line + "\r\n";
        const CBuiltPath path(program);
        ASSERT_EQ(path.loadResult, CCncProgram::RESULT_OK);
        CMoveTable table;
        CPathBuilder(path.rig.loader.GetWordList(), 0).BuildTable(table);
        const std::vector<CPathMove>& moves = path.sink.moves;
        ASSERT_EQ(table.GetCount(), moves.size());
        std::size_t arcs = 0;
        for (std::size_t index = 0; index < moves.size(); ++index) {
            const CPathMove& move = moves[index];
            const CMovePoint start = table.GetStart(index);
            const CMovePoint end = table.GetEnd(index);
            const double read[] = {start.x, start.y, start.z, end.x, end.y, end.z};
            const double exact[] = {move.from[0], move.from[1], move.from[2], move.to[0], move.to[1], move.to[2]};
            for (std::size_t number = 0; number < 6; ++number) {
                ASSERT_EQ(read[number], exact[number]) << "move " << index;
            }
            EXPECT_EQ(table.GetKind(index), move.kind);
            EXPECT_EQ(table.GetFlags(index), move.flags);
            EXPECT_EQ(table.GetEndWord(index), move.endWord);
            EXPECT_EQ(table.GetBlockFirstWord(index), move.blockFirstWord);
            const std::ptrdiff_t arc = table.FindArc(index);
            ASSERT_EQ(arc >= 0, move.isArc);
            if (arc < 0)
                continue;
            ++arcs;
            const CArcRecord& record = table.GetArcs()[static_cast<std::size_t>(arc)];
            EXPECT_EQ(record.sweep, move.sweep);
            // By ArcPlane: XY, XZ, YZ.
            const std::size_t firstAxis[] = {0, 2, 1};
            const std::size_t secondAxis[] = {1, 0, 2};
            EXPECT_EQ(record.centerFirst, move.center[firstAxis[record.plane]]);
            EXPECT_EQ(record.centerSecond, move.center[secondAxis[record.plane]]);
        }
        EXPECT_EQ(arcs, path.summary.arcs);
        CMovePoint min;
        CMovePoint max;
        ASSERT_TRUE(table.GetBounds(min, max));
        EXPECT_EQ(FourDecimals(min.x), FourDecimals(path.summary.min[0]));
        EXPECT_EQ(FourDecimals(max.y), FourDecimals(path.summary.max[1]));
    }
}

// The window holds the path of a 100 MB program: its table must stay well
// below the size of the file (here lines as CAM programs write them).
TEST(MoveTable, StaysWithinSevenTenthsOfTheFile)
{
    std::mt19937 random(16);
    std::uniform_int_distribution<int> step(-2000, 2000);
    std::string program;
    int x = 0;
    int y = 0;
    int z = -1000;
    char line[96];
    for (int block = 0; block < 20000; ++block) {
        x += step(random);
        y += step(random);
        z = std::min(0, z + step(random) / 40);
        if (block % 10 == 0)
            std::snprintf(line, sizeof line, "N%d G02 X%.3f Y%.3f I%.3f J%.3f\r\n", block, x / 1000.0, y / 1000.0,
                          step(random) / 1000.0, step(random) / 1000.0);
        else
            std::snprintf(line, sizeof line, "N%d G01 X%.3f Y%.3f Z%.3f F1200\r\n", block, x / 1000.0, y / 1000.0,
                          z / 1000.0);
        program += line;
    }
    const CBuiltPath path(program);
    CMoveTable table;
    const CPathSummary summary = CPathBuilder(path.rig.loader.GetWordList(), 0).BuildTable(table);
    ASSERT_EQ(summary.moves, 20000u);
    EXPECT_LE(static_cast<double>(table.GetMemoryBytes()), 0.7 * static_cast<double>(program.size()));
    table.Clear();
    EXPECT_EQ(table.GetMemoryBytes(), 0u);
    EXPECT_TRUE(table.IsEmpty());
}

// A compact run keeps each axis as two-byte multiples of a power of ten
// where they fit, else as four-byte steps; a run of other numbers keeps the
// doubles. Every end reads back bit for bit, in runs closed and still open.
TEST(MoveTable, KeepsEveryEndExactly)
{
    constexpr std::size_t RUN = CMoveTable::RUN_MOVES;
    // Thousandths n of a millimetre, as a program's "X0.001" gives them.
    const auto thousandths = [](std::int64_t n) { return static_cast<double>(n) / 1000.0; };
    const auto lastOfRun = [](std::size_t move) { return move % RUN == RUN - 1; };
    const struct {
        const char* name;
        std::size_t moves;
        std::function<CMovePoint(std::size_t)> end;
    } rows[] = {
        {"thousandths up to 32.767 from the run's first", 2 * RUN + 7,
         [&](std::size_t move) {
             return CMovePoint{thousandths(lastOfRun(move) ? 32767 : 5), thousandths(-32768 * (move % 2)), -1.5};
         }},
        {"thousandths 32.768 from the run's first", 2 * RUN,
         [&](std::size_t move) {
             return CMovePoint{thousandths(lastOfRun(move) ? 32768 : 0), 0.0, thousandths(-32769 * (move % 2))};
         }},
        {"a run starting away from zero", RUN + 1,
         [&](std::size_t move) { return CMovePoint{thousandths(123456789 + 32767 * (move % 2)), 1000.25, -2e-6}; }},
        {"millionths", RUN, [](std::size_t move) { return CMovePoint{static_cast<double>(move) / 1e6, 1e-6, 0.0}; }},
        {"whole millimetres far apart, millionths in four bytes", RUN, [](std::size_t move) {
             const double millionths = static_cast<double>(40001 * (move % 5));
             return CMovePoint{32767.0 * (move % 2), -32768.0 * (move % 2), millionths / 1e6};
         }},
        {"whole millimetres too far apart for four bytes", RUN,
         [](std::size_t move) { return CMovePoint{32768.0 * (move % 2), 0.0, 0.0}; }},
        {"steps of one and of a thousandth", RUN, [&](std::size_t move) {
             return CMovePoint{move == 9 ? 1e-6 : thousandths(static_cast<std::int64_t>(move)), 0.0, 0.0};
         }},
        {"sums that are no decimals", RUN + 3,
         [](std::size_t move) { return CMovePoint{0.1 * static_cast<double>(move) + 0.2, 0.0, 0.0}; }},
        {"minus zero", RUN, [](std::size_t move) { return CMovePoint{move == 3 ? -0.0 : 0.0, 1.0, 2.0}; }},
        {"a run still open alone", 9, [&](std::size_t move) { return CMovePoint{thousandths(700 * move), 3.0, 0.5}; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CMoveTable table;
        table.Reserve(row.moves);
        for (std::size_t move = 0; move < row.moves; ++move)
            table.Append(row.end(move), MOVE_LINEAR, 0, static_cast<std::uint32_t>(move),
                         static_cast<std::uint32_t>(move));
        for (int pass = 0; pass < 2; ++pass) {
            for (std::size_t move = 0; move < row.moves; ++move) {
                const CMovePoint expected = row.end(move);
                const CMovePoint read = table.GetEnd(move);
                ASSERT_EQ(std::memcmp(&read.x, &expected.x, sizeof(double)), 0) << "x of move " << move;
                ASSERT_EQ(std::memcmp(&read.y, &expected.y, sizeof(double)), 0) << "y of move " << move;
                ASSERT_EQ(std::memcmp(&read.z, &expected.z, sizeof(double)), 0) << "z of move " << move;
            }
            table.GiveBackRoom();
        }
    }
}

// Kinds and flags take a byte a move until a flag above the byte comes;
// every move keeps its own either way.
TEST(MoveTable, KeepsEveryMovesKindAndFlags)
{
    const MoveFlags lowFlags[] = {0, MOVE_ASSUMED, MOVE_APPROXIMATED, MOVE_MISMATCH, MOVE_ERROR, MOVE_COMPENSATED};
    const auto low = [&](std::size_t move) { return lowFlags[move % 6] | (move % 7 == 0 ? MOVE_ASSUMED : 0); };
    const struct {
        const char* name;
        std::size_t moves;
        std::function<MoveFlags(std::size_t)> flags;
    } rows[] = {
        {"flags within the byte", 300, low},
        {"a corner first", 300, [&](std::size_t move) { return move == 0 ? MOVE_CORNER : low(move); }},
        {"a cycle's move after a closed run", 600,
         [&](std::size_t move) { return move == 400 ? MOVE_CYCLE | MOVE_COMPENSATED : low(move); }},
        {"a corner last", 7, [&](std::size_t move) { return move == 6 ? MOVE_CORNER | MOVE_ERROR : low(move); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CMoveTable table;
        table.Reserve(row.moves / 2);
        for (std::size_t move = 0; move < row.moves; ++move)
            table.Append(CMovePoint{}, static_cast<MoveKind>(move % 6), row.flags(move), 0, 0);
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_EQ(table.GetCount(), row.moves);
            for (std::size_t move = 0; move < row.moves; ++move) {
                ASSERT_EQ(table.GetKind(move), static_cast<MoveKind>(move % 6)) << "move " << move;
                ASSERT_EQ(table.GetFlags(move), row.flags(move)) << "move " << move;
            }
            table.GiveBackRoom();
        }
    }
}

// Most runs keep their words as small steps; a run whose words do not fit
// keeps them whole. Either way every move gives back the words it was
// given, in runs closed and still open.
TEST(MoveTable, KeepsEveryMovesWords)
{
    using Words = std::pair<std::uint32_t, std::uint32_t>; // end word, block's first word
    constexpr std::size_t RUN = CMoveTable::RUN_MOVES;
    const struct {
        const char* name;
        std::size_t moves;
        std::function<Words(std::size_t)> words;
    } rows[] = {
        {"blocks of seven words", 3 * RUN + 17, [](std::size_t move) { return Words(7 * move + 6, 7 * move); }},
        {"a run's last end word 65535 after its first", 2 * RUN, [](std::size_t move) {
             const auto end = static_cast<std::uint32_t>(move % RUN == RUN - 1 ? 65535 + move - move % RUN : move);
             return Words(end, end);
         }},
        {"a run's last end word 65536 after its first", 2 * RUN, [](std::size_t move) {
             const auto end = static_cast<std::uint32_t>(move % RUN == RUN - 1 ? 65536 + move - move % RUN : move);
             return Words(end, end);
         }},
        {"blocks of 256 words", RUN + 3, [](std::size_t move) { return Words(256 * move + 255, 256 * move); }},
        {"one block of 257 words in the second run", 3 * RUN, [](std::size_t move) {
             return Words(100 * move + 99, move == RUN + 5 ? 100 * move - 157 : 100 * move + 99);
         }},
        {"end words going back", RUN + 1, [](std::size_t move) { return Words(5000 - move, 4000 - move); }},
        {"a block's first word after its end word", RUN, [](std::size_t move) { return Words(move, move + 1); }},
        {"words near the largest", 2 * RUN + 1,
         [](std::size_t move) { return Words(0xFFFFF000u + 3 * move, 0xFFFFF000u + 3 * move - 2); }},
        {"a run still open alone", 5, [](std::size_t move) { return Words(9 * move + 8, 9 * move + 1); }},
        {"every move in the block of the one before", RUN + 9, [](std::size_t move) {
             return Words(static_cast<std::uint32_t>(move / 3), static_cast<std::uint32_t>(move / 3));
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CMoveTable table;
        table.Reserve(row.moves);
        for (std::size_t move = 0; move < row.moves; ++move) {
            const Words words = row.words(move);
            table.Append(CMovePoint{}, MOVE_LINEAR, 0, words.first, words.second);
        }
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_EQ(table.GetCount(), row.moves);
            for (std::size_t move = 0; move < row.moves; ++move) {
                const Words words = row.words(move);
                ASSERT_EQ(table.GetEndWord(move), words.first) << "move " << move << ", pass " << pass;
                ASSERT_EQ(table.GetBlockFirstWord(move), words.second) << "move " << move << ", pass " << pass;
            }
            table.GiveBackRoom();
        }
    }
}

TEST(MoveTable, RebuildReplacesTheMoves)
{
    const CBuiltPath first(Lines({"G0 X1", "G2 X0 Y1 I-1"}));
    const CBuiltPath second(Lines({"G0 X7"}));
    CMoveTable table;
    CPathBuilder(first.rig.loader.GetWordList(), 0).BuildTable(table);
    CPathBuilder(second.rig.loader.GetWordList(), 0).BuildTable(table);
    ASSERT_EQ(table.GetCount(), 1u);
    EXPECT_TRUE(table.GetArcs().empty());
    EXPECT_EQ(table.GetEnd(0).x, 7.0);
}

TEST(CursorMoves, Locate)
{
    // Words 0 to 5: N10 G0 X1 Y1 Z1 CR; 6 to 8: N20 M3 CR; 9 to 14: N30 G1 X2 (cut) Y2 CR;
    // 15 to 17: the empty word the reader puts before a comment that opens a
    // line, (note), CR; 18 to 20: G1 X3 CR.
    const std::string program = Lines({"N10 G0 X1 Y1 Z1", "N20 M3", "N30 G1 X2 (cut) Y2", "(note)", "G1 X3"});
    CLoaderRig rig;
    ASSERT_EQ(rig.LoadBytes(program), CCncProgram::RESULT_OK);
    const CWordList& words = rig.loader.GetWordList();
    ASSERT_EQ(words.GetCount(), 21u);
    ASSERT_EQ(words.GetKind(5), WK_END_OF_BLOCK);
    ASSERT_EQ(words.GetKind(14), WK_END_OF_BLOCK);
    ASSERT_EQ(words.GetKind(15), WK_NONE);
    ASSERT_EQ(words.GetKind(16), WK_COMMENT);
    ASSERT_EQ(words.GetKind(17), WK_END_OF_BLOCK);
    CMoveTable table;
    CPathBuilder(words, 0).BuildTable(table);
    ASSERT_EQ(table.GetCount(), 3u);
    ASSERT_EQ(table.GetEndWord(1), 14u);
    const std::size_t none = CCursorMoves::NO_MOVE;
    const struct {
        const char* name;
        WordPosition cursor;
        std::size_t doneCount;
        std::size_t currentMove;
    } cases[] = {
        {"first word of the first block", 0, 0, 0},
        {"middle of the first block", 2, 0, 0},
        {"end of the first block", 5, 0, 0},
        {"first word of a block without a move", 6, 1, none},
        {"end of a block without a move", 8, 1, none},
        {"first word of the third block", 9, 1, 1},
        {"comment inside a block", 12, 1, 1},
        {"end of the third block", 14, 1, 1},
        {"unclassified word between blocks", 15, 2, none},
        {"comment line before a block", 16, 2, none},
        {"end of the comment line", 17, 2, none},
        {"first word of the last block", 18, 2, 2},
        {"middle of the last block", 19, 2, 2},
        {"end of the last block", 20, 2, 2},
        {"past the end", CWordList::NO_POSITION, 3, none},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const CCursorMoves located = CCursorMoves::Locate(table, row.cursor);
        EXPECT_EQ(located.doneCount, row.doneCount);
        EXPECT_EQ(located.currentMove, row.currentMove);
    }
}

TEST(CursorMoves, EmptyTable)
{
    const CMoveTable table;
    for (const WordPosition cursor : {WordPosition{0}, WordPosition{5}, CWordList::NO_POSITION}) {
        SCOPED_TRACE(cursor);
        const CCursorMoves located = CCursorMoves::Locate(table, cursor);
        EXPECT_EQ(located.doneCount, 0u);
        EXPECT_EQ(located.currentMove, CCursorMoves::NO_MOVE);
    }
}

// The table a build fills on its own thread holds, bit for bit, what the
// moves reported one by one make of it, across many batches of the hand-over
// and of the numbers read ahead.
TEST(PathBuilder, TableFilledBesideTheWalkHoldsEveryMoveAsReported)
{
    struct Row {
        const char* name;
        int blocks;
        bool withArcs;
    };
    const Row rows[] = {
        {"an empty program", 0, false},
        {"fewer moves than one batch", 7, true},
        {"exactly two batches of straight moves", 4096, false},
        {"many batches with arcs, rapids and decimals that are not compact", 9001, true},
        {"enough words for their numbers to be read ahead on a thread", 70001, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string text = "%\r\n";
        for (int block = 0; block < row.blocks; ++block) {
            const int step = block % 40;
            if (row.withArcs && block % 5 == 3)
                text += "G2 X" + std::to_string(step) + " Y0 I" + std::to_string(step / 2.0 + 0.5) + " J0\r\n";
            else if (row.withArcs && block % 11 == 4)
                text += "G3 X" + std::to_string(step) + " Y2 R" + std::to_string(step + 3) + "\r\n";
            else if (block % 7 == 0)
                text += "G0 X" + std::to_string(step) + ".1234567 Y" + std::to_string(block % 13) + " Z5\r\n";
            else
                text += "G1 X" + std::to_string(step) + " Y" + std::to_string(block % 11) + ".25 Z-1\r\n";
        }
        CLoaderRig rig;
        ASSERT_EQ(rig.LoadBytes(text), CCncProgram::RESULT_OK);
        CMoveTable direct;
        CMoveTableSink sink(direct);
        const CPathBuilder builder(rig.loader.GetWordList(), 0);
        const CPathSummary reported = builder.Build(sink);
        CMoveTable filled;
        const CPathSummary summary = builder.BuildTable(filled);
        EXPECT_EQ(summary.moves, reported.moves);
        if (row.withArcs && row.blocks > 5) {
            EXPECT_GT(reported.arcs, 0u);
        }
        ASSERT_EQ(filled.GetCount(), direct.GetCount());
        ASSERT_EQ(filled.GetCount(), reported.moves);
        for (std::size_t move = 0; move < filled.GetCount(); ++move) {
            const CMovePoint a = filled.GetEnd(move);
            const CMovePoint b = direct.GetEnd(move);
            ASSERT_TRUE(std::memcmp(&a, &b, sizeof a) == 0) << "move " << move;
            ASSERT_EQ(filled.GetKind(move), direct.GetKind(move)) << "move " << move;
            ASSERT_EQ(filled.GetFlags(move), direct.GetFlags(move)) << "move " << move;
            ASSERT_EQ(filled.GetEndWord(move), direct.GetEndWord(move)) << "move " << move;
            ASSERT_EQ(filled.GetBlockFirstWord(move), direct.GetBlockFirstWord(move)) << "move " << move;
        }
        ASSERT_EQ(filled.GetArcs().size(), direct.GetArcs().size());
        EXPECT_EQ(filled.GetArcs().size(), reported.arcs);
        for (std::size_t arc = 0; arc < filled.GetArcs().size(); ++arc) {
            const CArcRecord& a = filled.GetArcs()[arc];
            const CArcRecord& b = direct.GetArcs()[arc];
            EXPECT_EQ(a.move, b.move);
            EXPECT_EQ(a.plane, b.plane);
            EXPECT_TRUE(a.centerFirst == b.centerFirst && a.centerSecond == b.centerSecond && a.sweep == b.sweep)
                << "arc " << arc;
        }
    }
}

} // namespace
