#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "arc_geometry.h"
#include "move_chords.h"
#include "path_builder.h"
#include "test_support.h"
#include "workpiece.h"

namespace {

constexpr double PI = 3.14159265358979323846;

TEST(ArcGeometryTest, SweepRunsInTheSenseOfTheArc)
{
    struct Row {
        const char* name;
        double x0, y0, x1, y1;
        bool clockwise;
        double expected;
    };
    const Row rows[] = {
        {"a quarter turn counter-clockwise is exact", 5, 0, 0, 5, false, PI / 2.0},
        {"the same ends clockwise go three quarters", 5, 0, 0, 5, true, -1.5 * PI},
        {"a half turn counter-clockwise", 5, 0, -5, 0, false, PI},
        {"a half turn clockwise", 5, 0, -5, 0, true, -PI},
        {"the same direction is a whole turn", 2, 2, 4, 4, false, 2.0 * PI},
        {"the same direction clockwise is a whole turn back", 2, 2, 4, 4, true, -2.0 * PI},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SweepBetween(row.x0, row.y0, row.x1, row.y1, row.clockwise), row.expected);
    }
}

// Distance from a point to the segment from a to b in the plane.
double DistanceToSegment(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax;
    const double dy = by - ay;
    const double lengthSquared = dx * dx + dy * dy;
    const double t = lengthSquared > 0.0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / lengthSquared, 0.0, 1.0) : 0.0;
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

TEST(ArcGeometryTest, ChordsStayWithinTheirTolerance)
{
    struct Row {
        const char* name;
        double x0, y0, x1, y1, sweep;
        double tolerance;
    };
    const Row rows[] = {
        {"a quarter circle, fine", 10, 0, 0, 10, PI / 2.0, 1e-4},
        {"a whole circle, coarse", 3, 4, 3, 4, 2.0 * PI, 0.05},
        {"a clockwise half circle", 0, -8, 0, 8, -PI, 5e-4},
        {"a growing spiral", 4, 0, 0, 6, PI / 2.0, 1e-3},
        {"a shrinking spiral over most of a turn", 0, 9, -5, 0, -1.5 * PI, 2e-3},
        {"an arc smaller than its tolerance", 1e-4, 0, 0, 1e-4, PI / 2.0, 1e-3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CArcShape shape(row.x0, row.y0, row.x1, row.y1, row.sweep);
        const std::size_t chords = shape.CountChords(row.tolerance, 1u << 20);
        std::vector<std::pair<double, double>> corners{{row.x0, row.y0}};
        shape.ForEachInnerPoint(chords, [&](double first, double second, double) { corners.emplace_back(first, second); });
        corners.emplace_back(row.x1, row.y1);
        ASSERT_EQ(corners.size(), chords + 1);
        // Every point of the arc lies within the tolerance of its chord.
        constexpr int SAMPLES = 64;
        double worst = 0.0;
        for (std::size_t chord = 0; chord < chords; ++chord) {
            for (int sample = 0; sample <= SAMPLES; ++sample) {
                const double along = (static_cast<double>(chord) + static_cast<double>(sample) / SAMPLES) /
                                     static_cast<double>(chords);
                double first = 0.0;
                double second = 0.0;
                shape.PointAt(along, first, second);
                worst = std::max(worst, DistanceToSegment(first, second, corners[chord].first, corners[chord].second,
                                                          corners[chord + 1].first, corners[chord + 1].second));
            }
        }
        EXPECT_LE(worst, row.tolerance);
        // And not many more chords than that needs: half as many would
        // stray too far from the arc's circle of its reach.
        const double reach = shape.GetLargerRadius() + std::fabs(shape.GetEndRadius() - shape.GetStartRadius());
        if (chords > 2) {
            EXPECT_GT(reach * (1.0 - std::cos(std::fabs(row.sweep) / static_cast<double>(chords / 2) / 2.0)),
                      row.tolerance);
        }
    }
}

TEST(ArcGeometryTest, PointsAlongRunFromStartToEnd)
{
    const CArcShape spiral(4, 0, 0, -6, 1.5 * PI);
    double first = 0.0;
    double second = 0.0;
    spiral.PointAt(0.0, first, second);
    EXPECT_NEAR(first, 4.0, 1e-15);
    EXPECT_NEAR(second, 0.0, 1e-15);
    spiral.PointAt(1.0, first, second);
    EXPECT_NEAR(first, 0.0, 1e-14);
    EXPECT_NEAR(second, -6.0, 1e-14);
    // Two thirds of the way: a half turn on, the radius 4 + 2/3 of 2.
    spiral.PointAt(2.0 / 3.0, first, second);
    EXPECT_NEAR(first, -(4.0 + 4.0 / 3.0), 1e-14);
    EXPECT_NEAR(second, 0.0, 1e-14);
}

TEST(ArcGeometryTest, AxisCrossingsComeWithTheirShareOfTheSweep)
{
    struct Row {
        const char* name;
        double x0, y0, x1, y1, sweep;
        std::vector<std::pair<int, double>> expected;
    };
    const Row rows[] = {
        {"a quarter from +first to +second touches both at its ends", 5, 0, 0, 5, PI / 2.0, {{0, 0.0}, {1, 1.0}}},
        {"a half turn from +second crosses -first half-way", 0, 5, 0, -5, PI, {{1, 0.0}, {2, 0.5}, {3, 1.0}}},
        {"clockwise from 45 degrees crosses +first then -second", 1, 1, -1, -1, -PI, {{0, 0.25}, {3, 0.75}}},
        {"a whole turn from +first meets it twice", 2, 0, 2, 0, 2.0 * PI,
         {{0, 0.0}, {0, 1.0}, {1, 0.25}, {2, 0.5}, {3, 0.75}}},
        {"a short arc between the axes crosses none", 3, 1, 1, 3, 0.6435011087932844, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CArcShape shape(row.x0, row.y0, row.x1, row.y1, row.sweep);
        std::vector<std::pair<int, double>> found;
        shape.ForEachAxisCrossing([&](int direction, double along) { found.emplace_back(direction, along); });
        ASSERT_EQ(found.size(), row.expected.size());
        for (std::size_t index = 0; index < found.size(); ++index) {
            EXPECT_EQ(found[index].first, row.expected[index].first);
            EXPECT_NEAR(found[index].second, row.expected[index].second, 1e-15);
        }
    }
}

TEST(MoveChordsTest, ToleranceFollowsTheCellUpToItsLimit)
{
    struct Row {
        const char* name;
        double cell;
        double expected;
    };
    const Row rows[] = {
        {"a fine cell: a tenth of it", 0.002, 0.0002},
        {"a cell of the limit's ten", 0.005, MoveChords::MAX_TOLERANCE},
        {"a coarse cell: the limit", 0.1, MoveChords::MAX_TOLERANCE},
        {"no usable cell: the limit", 0.0, MoveChords::MAX_TOLERANCE},
        {"not a number: the limit", std::nan(""), MoveChords::MAX_TOLERANCE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_DOUBLE_EQ(MoveChords::ToleranceForCell(row.cell), row.expected);
    }
}

// A loaded program with its move table.
struct CLoadedArc {
    explicit CLoadedArc(const std::string& bytes)
    {
        loadResult = rig.LoadBytes(bytes);
        CPathBuilder(rig.loader.GetWordList(), 0).BuildTable(table);
    }
    CLoaderRig rig;
    int loadResult = 0;
    CMoveTable table;
};

TEST(MoveChordsTest, OnlyExactArcsAskForAWiderTool)
{
    const CLoadedArc path("%\r\n" + CrLfLines({"G1 X10 Y0", "G3 X0 Y10 I-10 J0", "G3 X0 Y100 R10"}));
    ASSERT_EQ(path.loadResult, 1);
    struct Row {
        const char* name;
        std::size_t move;
        double widening;
        std::size_t minimumPoints;
    };
    const Row rows[] = {
        {"a line: its ends, no widening", 0, 0.0, 2},
        {"an arc: chords, widened by the tolerance", 1, 1e-3, 20},
        {"an arc that cannot be made: its chord", 2, 0.0, 2},
    };
    std::vector<SweepPoint> points;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MoveChords::Build(path.table, row.move, 1e-3, points), row.widening);
        EXPECT_GE(points.size(), row.minimumPoints);
    }
    const CTool widened = MoveChords::WidenedTool(CTool{TOOL_BALL, 6.0}, 1e-3);
    EXPECT_EQ(widened.shape, TOOL_BALL);
    EXPECT_DOUBLE_EQ(widened.GetRadius(), 3.001);
}

// The swept stock against the exact sweep of a flat tool along a half
// circle: every cell the exact sweep reaches is cut, and none more than a
// thousandth beyond its reach.
TEST(MoveChordsTest, SweptArcStaysWithinAThousandthOfTheExactSweep)
{
    struct Row {
        const char* name;
        double radius;
        double toolDiameter;
        double boxSize;
        double cell;
    };
    const Row rows[] = {
        {"window-sized cells", 5.0, 6.0, 20.0, 0.05},
        {"cells finer than the limit", 0.5, 0.4, 2.0, 0.002},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const double center = row.boxSize / 2.0;
        char start[128];
        char arc[128];
        std::snprintf(start, sizeof start, "G0 X%.17g Y%.17g Z1", center + row.radius, center);
        std::snprintf(arc, sizeof arc, "G3 X%.17g Y%.17g I%.17g J0", center - row.radius, center, -row.radius);
        const CLoadedArc path("%\r\n" + CrLfLines({start, "G1 Z-1", arc}));
        ASSERT_EQ(path.loadResult, 1);
        CToolTable tools;
        tools.SetDefaultTool(CTool{TOOL_FLAT, row.toolDiameter});
        CWorkpiece::CSettings settings;
        settings.box = CStockBox{0.0, 0.0, -5.0, row.boxSize, row.boxSize, 0.0};
        settings.cell = row.cell;
        CWorkpiece workpiece(path.table, path.rig.loader.GetWordList(), 0, tools, settings);
        workpiece.BringTo(path.table.GetCount());
        const CHeightGrid& grid = workpiece.GetGrid();
        const double reach = row.toolDiameter / 2.0;
        std::size_t underCut = 0;
        std::size_t overCut = 0;
        for (std::size_t rowIndex = 0; rowIndex < grid.GetRows(); ++rowIndex) {
            for (std::size_t column = 0; column < grid.GetColumns(); ++column) {
                const double x = (static_cast<double>(column) + 0.5) * row.cell - center;
                const double y = (static_cast<double>(rowIndex) + 0.5) * row.cell - center;
                // The upper half plane sees the arc, the lower its ends.
                const double distance = y >= 0.0 ? std::fabs(std::hypot(x, y) - row.radius)
                                                 : std::min(std::hypot(x - row.radius, y), std::hypot(x + row.radius, y));
                const double height = grid.GetHeight(column, rowIndex);
                underCut += distance <= reach - 1e-9 && height != -1.0 ? 1 : 0;
                overCut += distance > reach + 1e-3 && height != 0.0 ? 1 : 0;
            }
        }
        EXPECT_EQ(underCut, 0u);
        EXPECT_EQ(overCut, 0u);
    }
}


// The chord count from its arc tangent alone, as before any shortcut.
std::size_t ChordsByArcTangent(const CArcShape& shape, double tolerance, std::size_t maxChords)
{
    const double reach = shape.GetLargerRadius() + std::fabs(shape.GetEndRadius() - shape.GetStartRadius());
    const double wanted = std::ceil(std::fabs(shape.GetSweep()) / ChordAngle(reach, tolerance) - 1e-6);
    if (!(wanted < static_cast<double>(maxChords)))
        return maxChords;
    return wanted < 1.0 ? 1 : static_cast<std::size_t>(wanted);
}

TEST(ArcGeometryTest, ChordCountOfSmallArcsAgreesWithTheArcTangent)
{
    // Sweeps just either side of the one-chord limit 2 acos(1 - q), where the
    // count is decided without the arc tangent, and odd sizes around it.
    struct Row {
        const char* name;
        double radius;
        double tolerance;
        std::size_t maxChords;
    };
    const Row rows[] = {
        {"a fitted picture of a big part", 2.0, 0.05, 1u << 16},
        {"tolerance a millionth of the radius", 1.0, 1e-6, 1u << 16},
        {"tolerance near the radius", 1.0, 0.9, 1u << 16},
        {"a tiny share of the radius", 1e6, 1e-90, 1u << 16},
        {"a share below the shortcut", 1e6, 1e-110, 1u << 16},
        {"no chord allowed", 5.0, 0.01, 0},
        {"at most one chord", 5.0, 0.01, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const double share = row.tolerance / row.radius;
        const double limit = 2.0 * std::acos(1.0 - share);
        for (const double factor : {0.0, 0.5, 0.999999, 1.0 - 1e-12, 1.0, 1.0 + 1e-12, 1.000001, 1.5, 3.0}) {
            for (const double sign : {1.0, -1.0}) {
                const double sweep = sign * (std::isfinite(limit) && limit > 0.0 ? limit * factor : factor * 1e-50);
                const CArcShape shape(row.radius, 0.0, row.radius * std::cos(sweep), row.radius * std::sin(sweep),
                                      sweep);
                EXPECT_EQ(shape.CountChords(row.tolerance, row.maxChords),
                          ChordsByArcTangent(shape, row.tolerance, row.maxChords))
                    << "sweep " << sweep;
            }
        }
    }
}

TEST(ArcGeometryTest, ChordCountOfOddArcsAgreesWithTheArcTangent)
{
    constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();
    constexpr double INFINITE = std::numeric_limits<double>::infinity();
    struct Row {
        const char* name;
        double x0, y0, x1, y1, sweep;
        double tolerance;
    };
    const Row rows[] = {
        {"a zero sweep", 3, 0, 3, 0, 0.0, 0.1},
        {"a point arc", 0, 0, 0, 0, PI / 2.0, 0.1},
        {"a spiral from the centre", 0, 0, 0, 2, PI / 4.0, 0.1},
        {"a not-a-number sweep", 3, 0, 0, 3, NOT_A_NUMBER, 0.1},
        {"an infinite radius", INFINITE, 0, 0, 3, 0.001, 0.1},
        {"a zero tolerance", 3, 0, 0, 3, 0.001, 0.0},
        {"a negative tolerance", 3, 0, 0, 3, 0.001, -0.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CArcShape shape(row.x0, row.y0, row.x1, row.y1, row.sweep);
        EXPECT_EQ(shape.CountChords(row.tolerance, 1u << 16), ChordsByArcTangent(shape, row.tolerance, 1u << 16));
    }
}

} // namespace
