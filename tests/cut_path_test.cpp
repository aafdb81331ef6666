#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cut_path.h"
#include "path_builder.h"
#include "test_support.h"

namespace {

constexpr double TOLERANCE = 1e-9;
constexpr double PI = 3.14159265358979323846;
constexpr MoveFlags COMP = MOVE_COMPENSATED;
constexpr MoveFlags CORNER = MOVE_COMPENSATED | MOVE_CORNER;
constexpr MoveFlags CYCLE = MOVE_CYCLE;

class CCollectingSink : public IPathSink {
public:
    void AddMove(const CPathMove& move) override { moves.push_back(move); }
    std::vector<CPathMove> moves;
};

// One expected move: its kind, flags and end; an arc also its centre (XY)
// and sweep in degrees.
struct ExpectedMove {
    MoveKind kind;
    MoveFlags flags;
    PathPoint to;
    bool arc = false;
    double centerX = 0.0;
    double centerY = 0.0;
    double sweepDegrees = 0.0;
};

ExpectedMove Line(MoveKind kind, MoveFlags flags, PathPoint to) { return {kind, flags, to}; }
ExpectedMove Arc(MoveKind kind, MoveFlags flags, PathPoint to, double centerX, double centerY, double sweep)
{
    return {kind, flags, to, true, centerX, centerY, sweep};
}

// A program's cut path with tool 1 of diameter 4 (r = 2) and the default
// tool of diameter 6 (r = 3).
struct CCutRun {
    explicit CCutRun(const std::string& bytes)
    {
        loadResult = rig.LoadBytes(bytes);
        CToolTable tools;
        tools.SetTool(1, CTool{TOOL_FLAT, 4.0});
        const CCutPathBuilder builder(rig.loader.GetWordList(),
                                      CPathBuilder::CountHeaderLines(rig.loader.GetHeader()), tools);
        summary = builder.Build(sink, nullptr, &notes);
    }
    CLoaderRig rig;
    int loadResult = 0;
    CCollectingSink sink;
    CCutNotes notes;
    CCutSummary summary;
};

std::string Program(const std::vector<const char*>& lines)
{
    std::string text = "%\r\n";
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void ExpectMoves(const CCutRun& run, const std::vector<ExpectedMove>& expected)
{
    ASSERT_EQ(run.sink.moves.size(), expected.size());
    PathPoint previous{};
    for (std::size_t index = 0; index < expected.size(); ++index) {
        SCOPED_TRACE("move " + std::to_string(index));
        const CPathMove& move = run.sink.moves[index];
        const ExpectedMove& want = expected[index];
        EXPECT_EQ(move.index, index);
        EXPECT_EQ(move.kind, want.kind);
        EXPECT_EQ(move.flags, want.flags);
        for (std::size_t axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(move.from[axis], previous[axis], TOLERANCE) << "from axis " << axis;
            EXPECT_NEAR(move.to[axis], want.to[axis], TOLERANCE) << "to axis " << axis;
        }
        EXPECT_EQ(move.isArc, want.arc);
        if (want.arc && move.isArc) {
            EXPECT_NEAR(move.center[0], want.centerX, TOLERANCE);
            EXPECT_NEAR(move.center[1], want.centerY, TOLERANCE);
            EXPECT_NEAR(move.sweep * 180.0 / PI, want.sweepDegrees, 1e-7);
        }
        previous = move.to;
    }
}

struct CutCase {
    const char* name;
    std::vector<const char*> lines;
    std::vector<ExpectedMove> moves;
};

// The hand-computed cut paths of correct programs.
TEST(CutPath, CompensationCases)
{
    const double sqrt60 = std::sqrt(60.0);
    const double cutBackDegrees = std::asin(0.25) * 180.0 / PI;
    const CutCase cases[] = {
        {"G41 square run counter-clockwise: an inside pocket, corners cut back",
         {"T1", "G0 X-10 Y-10 Z5", "G41 G1 X0 Y0", "Z-2", "X20", "Y20", "X0", "Y0", "G40 X-10 Y-10"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {-10, -10, 5}), Line(MOVE_LINEAR, COMP, {0, 2, 5}),
          Line(MOVE_LINEAR, COMP, {0, 2, -2}), Line(MOVE_LINEAR, COMP, {18, 2, -2}),
          Line(MOVE_LINEAR, COMP, {18, 18, -2}), Line(MOVE_LINEAR, COMP, {2, 18, -2}),
          Line(MOVE_LINEAR, COMP, {2, 0, -2}), Line(MOVE_LINEAR, COMP, {-10, -10, -2})}},
        {"G42 square run counter-clockwise: outer corners get counter-clockwise arcs",
         {"T1", "G0 X-10 Y-10 Z5", "G42 G1 X0 Y0", "Z-2", "X20", "Y20", "X0", "Y0", "G40 X-10 Y-10"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {-10, -10, 5}), Line(MOVE_LINEAR, COMP, {0, -2, 5}),
          Line(MOVE_LINEAR, COMP, {0, -2, -2}), Line(MOVE_LINEAR, COMP, {20, -2, -2}),
          Arc(MOVE_CCW, CORNER, {22, 0, -2}, 20, 0, 90), Line(MOVE_LINEAR, COMP, {22, 20, -2}),
          Arc(MOVE_CCW, CORNER, {20, 22, -2}, 20, 20, 90), Line(MOVE_LINEAR, COMP, {0, 22, -2}),
          Arc(MOVE_CCW, CORNER, {-2, 20, -2}, 0, 20, 90), Line(MOVE_LINEAR, COMP, {-2, 0, -2}),
          Line(MOVE_LINEAR, COMP, {-10, -10, -2})}},
        {"G41 square run clockwise: outer corners get clockwise arcs",
         {"T1", "G0 X-10 Y-10", "G41 G1 X0 Y0", "Y20", "X20", "Y0", "G40 X30 Y-10"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {-10, -10, 0}), Line(MOVE_LINEAR, COMP, {-2, 0, 0}),
          Line(MOVE_LINEAR, COMP, {-2, 20, 0}), Arc(MOVE_CW, CORNER, {0, 22, 0}, 0, 20, -90),
          Line(MOVE_LINEAR, COMP, {20, 22, 0}), Arc(MOVE_CW, CORNER, {22, 20, 0}, 20, 20, -90),
          Line(MOVE_LINEAR, COMP, {22, 0, 0}), Line(MOVE_LINEAR, COMP, {30, -10, 0})}},
        {"line into a tangent arc: no joint, the arc inside by r",
         {"T1", "G0 X-5 Y0", "G41 G1 X0", "X10", "G3 X20 Y10 I0 J10", "G40 G1 X30 Y10"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {-5, 0, 0}), Line(MOVE_LINEAR, COMP, {0, 2, 0}), Line(MOVE_LINEAR, COMP, {10, 2, 0}),
          Arc(MOVE_CCW, COMP, {18, 10, 0}, 10, 10, 90), Line(MOVE_LINEAR, COMP, {30, 10, 0})}},
        {"arc into a tangent line: no joint",
         {"T1", "G0 X10 Y-10", "G41 G1 X10 Y0", "G3 X20 Y10 I0 J10", "G1 Y20", "G40 X30"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {10, -10, 0}), Line(MOVE_LINEAR, COMP, {10, 2, 0}),
          Arc(MOVE_CCW, COMP, {18, 10, 0}, 10, 10, 90), Line(MOVE_LINEAR, COMP, {18, 20, 0}),
          Line(MOVE_LINEAR, COMP, {30, 20, 0})}},
        {"line into an arc at an inner corner: both cut back where the offsets meet",
         {"T1", "G0 X-5 Y0", "G41 G1 X0", "X10", "G3 X0 Y10 I-10 J0", "G40 G1 X-10"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {-5, 0, 0}), Line(MOVE_LINEAR, COMP, {0, 2, 0}), Line(MOVE_LINEAR, COMP, {sqrt60, 2, 0}),
          Arc(MOVE_CCW, COMP, {0, 8, 0}, 0, 0, 90 - cutBackDegrees), Line(MOVE_LINEAR, COMP, {-10, 10, 0})}},
        {"arc into a line at an outer corner: a clockwise arc of r about the corner",
         {"T1", "G0 X10 Y-10", "G41 G1 X10 Y0", "G3 X0 Y10 I-10 J0", "G1 Y20", "G40 X-10"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {10, -10, 0}), Line(MOVE_LINEAR, COMP, {8, 0, 0}),
          Arc(MOVE_CCW, COMP, {0, 8, 0}, 0, 0, 90), Arc(MOVE_CW, CORNER, {-2, 10, 0}, 0, 10, -90),
          Line(MOVE_LINEAR, COMP, {-2, 20, 0}), Line(MOVE_LINEAR, COMP, {-10, 20, 0})}},
        {"a reversal is an outer corner: half a turn about the corner",
         {"T1", "G0 X-5 Y0", "G41 G1 X0", "X10", "X0", "G40 X-5"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {-5, 0, 0}), Line(MOVE_LINEAR, COMP, {0, 2, 0}), Line(MOVE_LINEAR, COMP, {10, 2, 0}),
          Arc(MOVE_CW, CORNER, {10, -2, 0}, 10, 0, -180), Line(MOVE_LINEAR, COMP, {0, -2, 0}),
          Line(MOVE_LINEAR, COMP, {-5, 0, 0})}},
        {"a plunge between elements runs at the cut back point",
         {"T1", "G0 X-5 Y0 Z0", "G41 G1 X0", "X10", "Z-3", "Y10", "G40 X20"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {-5, 0, 0}), Line(MOVE_LINEAR, COMP, {0, 2, 0}), Line(MOVE_LINEAR, COMP, {8, 2, 0}),
          Line(MOVE_LINEAR, COMP, {8, 2, -3}), Line(MOVE_LINEAR, COMP, {8, 10, -3}),
          Line(MOVE_LINEAR, COMP, {20, 10, -3})}},
        {"a plunge before an outer corner runs before its arc",
         {"T1", "G0 X-5 Y0 Z0", "G42 G1 X0", "X10", "Z-3", "Y10", "G40 X20"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {-5, 0, 0}), Line(MOVE_LINEAR, COMP, {0, -2, 0}), Line(MOVE_LINEAR, COMP, {10, -2, 0}),
          Line(MOVE_LINEAR, COMP, {10, -2, -3}), Arc(MOVE_CCW, CORNER, {12, 0, -3}, 10, 0, 90),
          Line(MOVE_LINEAR, COMP, {12, 10, -3}), Line(MOVE_LINEAR, COMP, {20, 10, -3})}},
        {"approach with no element before G40 ends by its own direction",
         {"T1", "G0 X-5 Y0", "G41 G1 X10", "G40 X20"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {-5, 0, 0}), Line(MOVE_LINEAR, COMP, {10, 2, 0}), Line(MOVE_LINEAR, COMP, {20, 0, 0})}},
        {"nearly straight corner: a short joint",
         {"T1", "G0 X-5 Y0", "G41 G1 X0", "X100", "X200 Y0.05", "G40 X210"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {-5, 0, 0}), Line(MOVE_LINEAR, COMP, {0, 2, 0}), Line(MOVE_LINEAR, COMP, {100, 2, 0}),
          Line(MOVE_LINEAR, COMP, {100 - 2 * 0.05 / std::hypot(100, 0.05), 2 * 100 / std::hypot(100, 0.05), 0}),
          Line(MOVE_LINEAR, COMP, {200 - 2 * 0.05 / std::hypot(100, 0.05), 0.05 + 2 * 100 / std::hypot(100, 0.05), 0}),
          Line(MOVE_LINEAR, COMP, {210, 0.05, 0})}},
        {"G40 with no element since G41 simply ends it",
         {"T1", "G41", "Z-1", "G40", "G1 X5"},
         {Line(MOVE_LINEAR, COMP | MOVE_ASSUMED, {0, 0, -1}), Line(MOVE_LINEAR, MOVE_ASSUMED, {5, 0, -1})}},
        {"the default tool without a T word: r = 3",
         {"G41 G1 X10", "Y10", "G40 X0"},
         {Line(MOVE_LINEAR, COMP | MOVE_ASSUMED, {7, 0, 0}), Line(MOVE_LINEAR, COMP | MOVE_ASSUMED, {7, 10, 0}),
          Line(MOVE_LINEAR, COMP, {0, 10, 0})}},
    };
    for (const CutCase& row : cases) {
        SCOPED_TRACE(row.name);
        const CCutRun run(Program(row.lines));
        ASSERT_EQ(run.loadResult, 1);
        EXPECT_FALSE(run.summary.hasError) << run.summary.error.message;
        ExpectMoves(run, row.moves);
        EXPECT_EQ(run.summary.path.moves, row.moves.size());
    }
}

TEST(CutPath, CycleCases)
{
    const CutCase cases[] = {
        {"G81 under G98 returns to the initial level, later X drills again",
         {"G0 X0 Y0 Z10", "G81 X10 Y10 Z-5 R2", "X20", "G80", "G0 Z20"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {0, 0, 10}), Line(MOVE_RAPID, CYCLE, {10, 10, 10}),
          Line(MOVE_RAPID, CYCLE, {10, 10, 2}), Line(MOVE_LINEAR, CYCLE, {10, 10, -5}),
          Line(MOVE_RAPID, CYCLE, {10, 10, 10}), Line(MOVE_RAPID, CYCLE, {20, 10, 10}),
          Line(MOVE_RAPID, CYCLE, {20, 10, 2}), Line(MOVE_LINEAR, CYCLE, {20, 10, -5}),
          Line(MOVE_RAPID, CYCLE, {20, 10, 10}), Line(MOVE_RAPID, 0, {20, 10, 20})}},
        {"G81 under G99 returns to R; a block without X and Y drills nothing",
         {"G0 X0 Y0 Z10", "G99 G81 X10 Z-5 R2", "Z-6", "Y5", "G0 X0"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {0, 0, 10}), Line(MOVE_RAPID, CYCLE, {10, 0, 10}),
          Line(MOVE_RAPID, CYCLE, {10, 0, 2}), Line(MOVE_LINEAR, CYCLE, {10, 0, -5}),
          Line(MOVE_RAPID, CYCLE, {10, 0, 2}), Line(MOVE_RAPID, CYCLE, {10, 5, 2}),
          Line(MOVE_LINEAR, CYCLE, {10, 5, -6}), Line(MOVE_RAPID, CYCLE, {10, 5, 2}),
          Line(MOVE_RAPID, 0, {0, 5, 2})}},
        {"G83 pecks by Q back to R, returning to 0.25 above the last depth",
         {"G0 X0 Y0 Z5", "Q3 G83 X1 Z-7 R1"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {0, 0, 5}), Line(MOVE_RAPID, CYCLE, {1, 0, 5}),
          Line(MOVE_RAPID, CYCLE, {1, 0, 1}), Line(MOVE_LINEAR, CYCLE, {1, 0, -2}),
          Line(MOVE_RAPID, CYCLE, {1, 0, 1}), Line(MOVE_RAPID, CYCLE, {1, 0, -1.75}),
          Line(MOVE_LINEAR, CYCLE, {1, 0, -5}), Line(MOVE_RAPID, CYCLE, {1, 0, 1}),
          Line(MOVE_RAPID, CYCLE, {1, 0, -4.75}), Line(MOVE_LINEAR, CYCLE, {1, 0, -7}),
          Line(MOVE_RAPID, CYCLE, {1, 0, 5})}},
        {"G73 breaks the chip 0.25 up only",
         {"G0 X0 Y0 Z5", "Q3 G73 X1 Z-7 R1"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {0, 0, 5}), Line(MOVE_RAPID, CYCLE, {1, 0, 5}),
          Line(MOVE_RAPID, CYCLE, {1, 0, 1}), Line(MOVE_LINEAR, CYCLE, {1, 0, -2}),
          Line(MOVE_RAPID, CYCLE, {1, 0, -1.75}), Line(MOVE_LINEAR, CYCLE, {1, 0, -5}),
          Line(MOVE_RAPID, CYCLE, {1, 0, -4.75}), Line(MOVE_LINEAR, CYCLE, {1, 0, -7}),
          Line(MOVE_RAPID, CYCLE, {1, 0, 5})}},
        {"G85 feeds out to R, then up to I under G98",
         {"G0 X0 Y0 Z5", "G85 X1 Z-3 R1"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {0, 0, 5}), Line(MOVE_RAPID, CYCLE, {1, 0, 5}),
          Line(MOVE_RAPID, CYCLE, {1, 0, 1}), Line(MOVE_LINEAR, CYCLE, {1, 0, -3}),
          Line(MOVE_LINEAR, CYCLE, {1, 0, 1}), Line(MOVE_RAPID, CYCLE, {1, 0, 5})}},
        {"below R the tool first rises to R",
         {"G0 X0 Y0 Z-1", "G81 X3 Z-4 R2"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {0, 0, -1}), Line(MOVE_RAPID, CYCLE, {0, 0, 2}),
          Line(MOVE_RAPID, CYCLE, {3, 0, 2}), Line(MOVE_LINEAR, CYCLE, {3, 0, -4}),
          Line(MOVE_RAPID, CYCLE, {3, 0, 2})}},
        {"under G91 R counts from I, Z from R and X from the last hole",
         {"G0 X10 Y0 Z5", "G91 G81 X5 R-3 Z-4", "X5", "G90 G0 X0"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {10, 0, 5}), Line(MOVE_RAPID, CYCLE, {15, 0, 5}),
          Line(MOVE_RAPID, CYCLE, {15, 0, 2}), Line(MOVE_LINEAR, CYCLE, {15, 0, -2}),
          Line(MOVE_RAPID, CYCLE, {15, 0, 5}), Line(MOVE_RAPID, CYCLE, {20, 0, 5}),
          Line(MOVE_RAPID, CYCLE, {20, 0, 2}), Line(MOVE_LINEAR, CYCLE, {20, 0, -2}),
          Line(MOVE_RAPID, CYCLE, {20, 0, 5}), Line(MOVE_RAPID, 0, {0, 0, 5})}},
        {"R, Z and Q stay for a newly selected cycle; I is taken anew",
         {"G0 X0 Y0 Z5", "Q4 G99 G83 X1 Z-3 R1", "G81 X2"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {0, 0, 5}), Line(MOVE_RAPID, CYCLE, {1, 0, 5}),
          Line(MOVE_RAPID, CYCLE, {1, 0, 1}), Line(MOVE_LINEAR, CYCLE, {1, 0, -3}),
          Line(MOVE_RAPID, CYCLE, {1, 0, 1}), Line(MOVE_RAPID, CYCLE, {2, 0, 1}),
          Line(MOVE_LINEAR, CYCLE, {2, 0, -3}), Line(MOVE_RAPID, CYCLE, {2, 0, 1})}},
        {"G1 in a block ends the cycle and moves as programmed",
         {"G0 X0 Y0 Z5", "G81 X1 Z-1 R1", "G1 X4 Z0"},
         {Line(MOVE_RAPID, MOVE_ASSUMED, {0, 0, 5}), Line(MOVE_RAPID, CYCLE, {1, 0, 5}),
          Line(MOVE_RAPID, CYCLE, {1, 0, 1}), Line(MOVE_LINEAR, CYCLE, {1, 0, -1}),
          Line(MOVE_RAPID, CYCLE, {1, 0, 5}), Line(MOVE_LINEAR, 0, {4, 0, 0})}},
    };
    for (const CutCase& row : cases) {
        SCOPED_TRACE(row.name);
        const CCutRun run(Program(row.lines));
        ASSERT_EQ(run.loadResult, 1);
        EXPECT_FALSE(run.summary.hasError) << run.summary.error.message;
        ExpectMoves(run, row.moves);
    }
}

struct ErrorCase {
    const char* name;
    std::vector<const char*> lines;
    const char* message;
    // The file line of the block refused; the moves drawn before it.
    std::int64_t line;
    std::size_t moves;
};

TEST(CutPath, Errors)
{
    const ErrorCase cases[] = {
        {"approach by an arc", {"T1", "G41 G2 X10 Y0 I5"}, "Radiuskorrektur: Anfahren nur mit einer Geraden", 3, 0},
        {"departure by an arc", {"T1", "G41 G1 X10", "Y10", "G40 G2 X20 Y0 R10"},
         "Radiuskorrektur: Anfahren nur mit einer Geraden", 5, 2},
        {"switched on outside G17", {"G18 G41 G1 X10"}, "Radiuskorrektur nur in der Ebene G17", 2, 0},
        {"an arc of another plane while on", {"T1", "G41 G1 X10", "Y10", "G18 G2 X20 Z-5 I5 K0"},
         "Radiuskorrektur nur in der Ebene G17", 5, 2},
        {"side changed without G40", {"T1", "G41 G1 X10", "G42 X20"}, "Radiuskorrektur: Wechsel der Seite ohne G40",
         4, 1},
        {"an arc whose radii differ", {"T1", "G41 G1 X10", "X20", "G3 X30 Y10 I0 J11"},
         "Radiuskorrektur: Bogen mit ungleichen Radien", 5, 2},
        {"an inside arc smaller than the tool", {"G41 G1 X10", "X20", "G3 X22 Y2 I0 J2"},
         "Radiuskorrektur: Bogen kleiner als der Werkzeugradius", 4, 2},
        {"a step narrower than the tool", {"T1", "G0 X-5 Y0", "G41 G1 X0", "X10", "Y1", "X0"},
         "Konturverletzung: das Werkzeug passt nicht in die Ecke", 6, 3},
        {"a cycle with compensation on", {"G41 G1 X10", "G81 X5 Z-1 R1"}, "Bohrzyklus bei eingeschalteter Radiuskorrektur",
         3, 1},
        {"a cycle without Z", {"G0 Z5", "G81 X5 R1"}, "Bohrzyklus ohne Z", 3, 1},
        {"G80 forgets Z", {"G0 Z5", "G81 X5 Z-1 R1", "G80", "G81 X6"}, "Bohrzyklus ohne Z", 5, 5},
        {"Z above R", {"G0 Z5", "G81 X5 Z3 R1"}, "Bohrzyklus: Z liegt \xC3\xBC" "ber R", 3, 1},
        {"a peck cycle without Q", {"G0 Z5", "G83 X5 Z-3 R1"}, "Bohrzyklus G83/G73 ohne Zustellung Q", 3, 1},
        {"Q joined to G83 is no Q", {"G0 Z5", "G83 Q2 X5 Z-3 R1"}, "Bohrzyklus G83/G73 ohne Zustellung Q", 3, 1},
        {"a Q not above 0", {"G0 Z5", "Q0 G73 X5 Z-3 R1"}, "Bohrzyklus G83/G73 ohne Zustellung Q", 3, 1},
    };
    for (const ErrorCase& row : cases) {
        SCOPED_TRACE(row.name);
        const CCutRun run(Program(row.lines));
        ASSERT_EQ(run.loadResult, 1);
        ASSERT_TRUE(run.summary.hasError);
        EXPECT_EQ(run.summary.error.message, row.message);
        EXPECT_EQ(run.summary.error.line, row.line);
        EXPECT_EQ(run.summary.path.moves, row.moves);
        EXPECT_EQ(run.sink.moves.size(), row.moves);
        const CWordList& words = run.rig.loader.GetWordList();
        EXPECT_EQ(words.GetKind(run.summary.error.word), WK_END_OF_BLOCK);
    }
}

// The element waiting when an error comes is drawn as if the program ended.
TEST(CutPath, ErrorDrawsTheWaitingElementUncut)
{
    const CCutRun run(Program({"T1", "G0 X-5 Y0", "G41 G1 X0", "X10", "Y1", "X0"}));
    ASSERT_TRUE(run.summary.hasError);
    ExpectMoves(run, {Line(MOVE_RAPID, MOVE_ASSUMED, {-5, 0, 0}), Line(MOVE_LINEAR, COMP, {0, 2, 0}),
                      Line(MOVE_LINEAR, COMP, {10, 2, 0})});
}

TEST(CutPath, NotesTellSideRadiusAndPeck)
{
    const CCutRun run(Program({"T1", "G0 X0 Y0 Z5", "G42 G1 X10", "Y10", "G40 X20", "G0 Z5", "Q3 G83 X1 Z-4 R1"}));
    ASSERT_FALSE(run.summary.hasError);
    const struct {
        std::size_t move;
        bool plain;
        CCutNote::Kind kind;
        int gNumber;
        double radius;
        int peck;
        int peckCount;
    } rows[] = {
        {0, true, CCutNote::CUT_NOTE_COMPENSATION, 0, 0, 0, 0},
        {1, false, CCutNote::CUT_NOTE_COMPENSATION, 42, 2.0, 0, 0},
        {2, false, CCutNote::CUT_NOTE_COMPENSATION, 42, 2.0, 0, 0},
        {3, false, CCutNote::CUT_NOTE_COMPENSATION, 42, 2.0, 0, 0},
        {4, true, CCutNote::CUT_NOTE_COMPENSATION, 0, 0, 0, 0},
        {5, false, CCutNote::CUT_NOTE_CYCLE, 83, 0, 0, 0},
        {7, false, CCutNote::CUT_NOTE_CYCLE, 83, 0, 1, 2},
        {8, false, CCutNote::CUT_NOTE_CYCLE, 83, 0, 0, 0},
        {10, false, CCutNote::CUT_NOTE_CYCLE, 83, 0, 2, 2},
        {11, false, CCutNote::CUT_NOTE_CYCLE, 83, 0, 0, 0},
    };
    ASSERT_EQ(run.sink.moves.size(), 12u);
    for (const auto& row : rows) {
        SCOPED_TRACE("move " + std::to_string(row.move));
        const CCutNote* note = run.notes.Find(row.move);
        ASSERT_EQ(note == nullptr, row.plain);
        if (note == nullptr)
            continue;
        EXPECT_EQ(note->kind, row.kind);
        EXPECT_EQ(note->gNumber, row.gNumber);
        EXPECT_EQ(note->radius, row.radius);
        EXPECT_EQ(note->peck, row.peck);
        EXPECT_EQ(note->peckCount, row.peckCount);
    }
}

TEST(CutPath, NeedsCutOnlyForItsWords)
{
    const struct {
        const char* name;
        std::vector<const char*> lines;
        bool needs;
    } rows[] = {
        {"plain moves", {"G0 X1", "G1 Y2 Z-1", "G2 X3 Y3 R2"}, false},
        {"Q and an unknown G alone", {"Q2 G84 X1", "G87"}, false},
        {"G41", {"G41 X1"}, true},
        {"lower case g40", {"g40"}, true},
        {"G98", {"G98 X1"}, true},
        {"G83 with its Q joined", {"G83Q2 X1"}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CLoaderRig rig;
        ASSERT_EQ(rig.LoadBytes(Program(row.lines)), 1);
        EXPECT_EQ(CCutPathBuilder::NeedsCut(rig.loader.GetWordList()), row.needs);
    }
}

// Without its words the cut path is the path, move for move, in the table.
TEST(CutPath, TableWithoutTheWordsIsThePath)
{
    CLoaderRig rig;
    ASSERT_EQ(rig.LoadBytes(Program({"G0 X1 Y1", "G1 Z-1", "G2 X5 Y1 R2", "G18 G3 X9 Z-1 R2"})), 1);
    const CWordList& words = rig.loader.GetWordList();
    CMoveTable path;
    CPathBuilder(words, 0).BuildTable(path);
    CMoveTable cut;
    const CCutSummary summary = CCutPathBuilder(words, 0, CToolTable()).BuildTable(cut);
    EXPECT_FALSE(summary.hasError);
    ASSERT_EQ(cut.GetCount(), path.GetCount());
    ASSERT_EQ(cut.GetArcs().size(), path.GetArcs().size());
    for (std::size_t move = 0; move < path.GetCount(); ++move) {
        EXPECT_EQ(cut.GetKind(move), path.GetKind(move));
        EXPECT_EQ(cut.GetFlags(move), path.GetFlags(move));
        EXPECT_EQ(cut.GetEnd(move).x, path.GetEnd(move).x);
        EXPECT_EQ(cut.GetEnd(move).z, path.GetEnd(move).z);
    }
}

TEST(CutPath, TableStoresTheNewFlagsAndRefusesTooManyMoves)
{
    CLoaderRig rig;
    ASSERT_EQ(rig.LoadBytes(Program({"T1", "G42 G1 X10", "X20", "Y10", "G40 X0", "G0 Z5", "Q1 G83 X1 Z-4 R1"})), 1);
    const CWordList& words = rig.loader.GetWordList();
    CToolTable tools;
    tools.SetTool(1, CTool{TOOL_FLAT, 4.0});
    CMoveTable table;
    CCutNotes notes;
    const CCutSummary summary = CCutPathBuilder(words, 0, tools).BuildTable(table, nullptr, SIZE_MAX, &notes);
    ASSERT_EQ(table.GetCount(), summary.path.moves);
    EXPECT_EQ(table.GetFlags(2), MOVE_COMPENSATED | MOVE_CORNER);
    EXPECT_EQ(table.GetKind(2), MOVE_CCW);
    EXPECT_EQ(table.GetFlags(table.GetCount() - 1), MOVE_CYCLE);
    EXPECT_EQ(table.GetArcs().size(), 1u);
    EXPECT_NE(notes.Find(table.GetCount() - 1), nullptr);
    // More moves than blocks: the limit is met inside the build.
    const CCutSummary refused = CCutPathBuilder(words, 0, tools).BuildTable(table, nullptr, 10, &notes);
    EXPECT_TRUE(refused.path.tooManyMoves);
    EXPECT_TRUE(table.IsEmpty());
    EXPECT_TRUE(notes.IsEmpty());
}

TEST(CutPath, CancelStopsTheBuild)
{
    std::string text = "%\r\nG0 Z5\r\n";
    for (int hole = 0; hole < 20000; ++hole)
        text += "Q1 G83 X" + std::to_string(hole) + " Z-20 R1\r\n";
    CLoaderRig rig;
    ASSERT_EQ(rig.LoadBytes(text), 1);
    std::atomic<bool> cancel{true};
    CMoveTable table;
    const CCutSummary summary = CCutPathBuilder(rig.loader.GetWordList(), 0, CToolTable()).BuildTable(table, &cancel);
    EXPECT_TRUE(summary.path.cancelled);
    EXPECT_TRUE(table.IsEmpty());
}

// An independent look at random convex contours: every offset line lies at r
// from its programmed line on the tool's side, and every corner arc has
// radius r about its programmed corner.
TEST(CutPath, RandomContoursKeepTheirDistance)
{
    std::mt19937 random(23);
    std::uniform_real_distribution<double> angleStep(0.3, 1.2);
    std::uniform_real_distribution<double> radius(40.0, 80.0);
    for (int trial = 0; trial < 40; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const bool left = trial % 2 == 0;
        const double r = 2.0;
        // Counter-clockwise around a convex polygon: G42 outside, G41 inside.
        std::vector<std::pair<double, double>> corners;
        const double ring = radius(random);
        for (double angle = 0.0; angle < 2.0 * PI - 1.2; angle += angleStep(random))
            corners.emplace_back(ring * std::cos(angle), ring * std::sin(angle));
        std::string text = "%\r\nT1\r\nG0 X0 Y0\r\n";
        text += left ? "G41" : "G42";
        char buffer[96];
        for (std::size_t index = 0; index <= corners.size(); ++index) {
            const auto& corner = corners[index % corners.size()];
            std::snprintf(buffer, sizeof buffer, " G1 X%.6f Y%.6f\r\n", corner.first, corner.second);
            text += buffer;
        }
        text += "G40 X0 Y0\r\n";
        CCutRun run(text);
        ASSERT_EQ(run.loadResult, 1);
        ASSERT_FALSE(run.summary.hasError) << run.summary.error.message;
        // Programmed moves by block end word.
        CCollectingSink programmed;
        CPathBuilder(run.rig.loader.GetWordList(), 0).Build(programmed);
        std::size_t checkedLines = 0;
        for (const CPathMove& move : run.sink.moves) {
            if ((move.flags & MOVE_CORNER) != 0) {
                EXPECT_FALSE(left);
                EXPECT_NEAR(std::hypot(move.from[0] - move.center[0], move.from[1] - move.center[1]), r, 1e-9);
                EXPECT_NEAR(std::hypot(move.to[0] - move.center[0], move.to[1] - move.center[1]), r, 1e-9);
                EXPECT_GT(move.sweep, 0.0);
                continue;
            }
            const CPathMove* source = nullptr;
            for (const CPathMove& candidate : programmed.moves) {
                if (candidate.endWord == move.endWord)
                    source = &candidate;
            }
            ASSERT_NE(source, nullptr);
            // The approach (from the origin) and the departure are not offsets.
            if (source->from[0] == 0.0 && source->from[1] == 0.0)
                continue;
            if (source->to[0] == 0.0 && source->to[1] == 0.0)
                continue;
            const double dx = source->to[0] - source->from[0];
            const double dy = source->to[1] - source->from[1];
            const double length = std::hypot(dx, dy);
            for (const PathPoint& point : {move.from, move.to}) {
                // Signed distance, positive to the left of the programmed line.
                const double distance = (dx * (point[1] - source->from[1]) - dy * (point[0] - source->from[0])) / length;
                EXPECT_NEAR(distance, left ? r : -r, 1e-9);
            }
            ++checkedLines;
        }
        EXPECT_EQ(checkedLines, corners.size());
    }
}

} // namespace
