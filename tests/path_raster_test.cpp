// The toolpath picture without a screen: views, the move-ID raster on tiny
// images with hand-computed pixels, the cursor's step state, the recolour
// pass and the background job runner.
#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "latest_job_runner.h"
#include "move_id_image.h"
#include "move_table.h"
#include "path_raster.h"
#include "path_recolour.h"
#include "path_view.h"
#include "step_state.h"

namespace {

constexpr std::size_t NO_MOVE = CMoveIdImage::NO_MOVE;
// Half a pixel of chord tolerance plus the rounding of each point to its
// pixel, at most half a pixel's diagonal.
constexpr double ON_CIRCLE = CPathRaster::CHORD_TOLERANCE + 0.75;

// Appends moves one block each: block b has words [3b, 3b + 2], its end
// word 3b + 2.
class CTableWriter {
public:
    explicit CTableWriter(CMoveTable& table) : table(table) {}
    std::size_t Move(double x, double y, double z, MoveKind kind = MOVE_LINEAR, std::uint8_t flags = 0)
    {
        const auto block = static_cast<std::uint32_t>(table.GetCount());
        table.Append({x, y, z}, kind, flags, block * 3 + 2, block * 3);
        return table.GetCount() - 1;
    }
    // An exact arc in the XY plane around (centerX, centerY).
    std::size_t Arc(double x, double y, double z, double centerX, double centerY, double sweep,
                    ArcPlane plane = ARC_PLANE_XY)
    {
        const std::size_t move = Move(x, y, z, sweep > 0 ? MOVE_CCW : MOVE_CW);
        CArcRecord arc;
        arc.centerFirst = centerX;
        arc.centerSecond = centerY;
        arc.sweep = sweep;
        arc.move = static_cast<std::uint32_t>(move);
        arc.plane = plane;
        table.AppendArc(arc);
        return move;
    }

private:
    CMoveTable& table;
};

// Top view where pixel (x, y) shows the program point (x, size - 1 - y).
CPathView PixelTopView(int size) { return CPathView(PROJECTION_TOP, 1.0, 0.0, size - 1.0); }

std::size_t CountDrawn(const CMoveIdImage& image)
{
    std::size_t drawn = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            drawn += image.GetMove(x, y) != NO_MOVE;
    return drawn;
}

CMoveIdImage Draw(const CMoveTable& table, const CPathView& view, int width, int height,
                  CRasterResult* result = nullptr)
{
    CMoveIdImage image;
    image.Resize(width, height);
    const CPathRaster raster(table);
    const CRasterResult drawn = raster.Draw(view, image);
    if (result != nullptr)
        *result = drawn;
    return image;
}

} // namespace

TEST(PathView, ProjectionsPutEachAxisWhereTheViewShowsIt)
{
    struct Row {
        const char* name;
        PathProjection projection;
        CViewPoint plane; // of the point (1, 2, 3)
    };
    const double iso = std::sqrt(3.0) / 2.0;
    const Row rows[] = {
        {"top shows X right and Y up", PROJECTION_TOP, {1.0, 2.0}},
        {"front shows X right and Z up", PROJECTION_FRONT, {1.0, 3.0}},
        {"side shows Y right and Z up", PROJECTION_SIDE, {2.0, 3.0}},
        {"isometric mixes all three", PROJECTION_ISOMETRIC, {3.0 * iso, 3.0 + 0.5}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CViewPoint plane = CPathView::ToPlane(row.projection, 1.0, 2.0, 3.0);
        EXPECT_NEAR(plane.x, row.plane.x, 1e-12);
        EXPECT_NEAR(plane.y, row.plane.y, 1e-12);
        // Scale 2 and the origin at pixel (10, 20): the second axis points up.
        const CViewPoint pixel = CPathView(row.projection, 2.0, 10.0, 20.0).Project(1.0, 2.0, 3.0);
        EXPECT_NEAR(pixel.x, 10.0 + 2.0 * row.plane.x, 1e-12);
        EXPECT_NEAR(pixel.y, 20.0 - 2.0 * row.plane.y, 1e-12);
    }
}

TEST(PathView, IsometricAxesPointRightDownRightUpAndUp)
{
    const CViewPoint x = CPathView::AxisDirection(PROJECTION_ISOMETRIC, 0);
    const CViewPoint y = CPathView::AxisDirection(PROJECTION_ISOMETRIC, 1);
    const CViewPoint z = CPathView::AxisDirection(PROJECTION_ISOMETRIC, 2);
    EXPECT_GT(x.x, 0.0);
    EXPECT_GT(x.y, 0.0);
    EXPECT_GT(y.x, 0.0);
    EXPECT_LT(y.y, 0.0);
    EXPECT_DOUBLE_EQ(z.x, 0.0);
    EXPECT_DOUBLE_EQ(z.y, -1.0);
}

TEST(PathView, FitPutsTheBoundsInsideTheImage)
{
    struct Row {
        const char* name;
        PathProjection projection;
        CMovePoint min;
        CMovePoint max;
        int width;
        int height;
    };
    const Row rows[] = {
        {"wide box in a tall image", PROJECTION_TOP, {-50, -5, 0}, {150, 5, 1}, 32, 64},
        {"tall box in a wide image", PROJECTION_TOP, {0, 0, 0}, {1, 400, 0}, 640, 480},
        {"front view of a deep box", PROJECTION_FRONT, {-1, -1000, -30}, {1, 1000, 2}, 200, 100},
        {"side view far from the origin", PROJECTION_SIDE, {1e6, 2e6, 3e6}, {1e6 + 1, 2e6 + 5, 3e6 + 2}, 100, 100},
        {"isometric cube", PROJECTION_ISOMETRIC, {-10, -10, -10}, {10, 10, 10}, 1280, 800},
        {"a single point", PROJECTION_TOP, {3, 4, 5}, {3, 4, 5}, 16, 16},
        {"a flat line seen end on", PROJECTION_SIDE, {-5, 2, 2}, {5, 2, 2}, 16, 16},
    };
    const int margin = 2;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CPathView view(row.projection, 1.0, 0.0, 0.0);
        view.Fit(row.min, row.max, row.width, row.height, margin);
        double lowX = 1e300;
        double highX = -1e300;
        double lowY = 1e300;
        double highY = -1e300;
        for (int corner = 0; corner < 8; ++corner) {
            const CViewPoint pixel = view.Project((corner & 1) ? row.max.x : row.min.x,
                                                  (corner & 2) ? row.max.y : row.min.y,
                                                  (corner & 4) ? row.max.z : row.min.z);
            lowX = std::min(lowX, pixel.x);
            highX = std::max(highX, pixel.x);
            lowY = std::min(lowY, pixel.y);
            highY = std::max(highY, pixel.y);
        }
        const double slack = 1e-6 * std::max(row.width, row.height);
        EXPECT_GE(lowX, margin - slack);
        EXPECT_LE(highX, row.width - margin + slack);
        EXPECT_GE(lowY, margin - slack);
        EXPECT_LE(highY, row.height - margin + slack);
        // Centred, and filling one direction unless the box is a point.
        EXPECT_NEAR((lowX + highX) / 2.0, row.width / 2.0, 1e-3);
        EXPECT_NEAR((lowY + highY) / 2.0, row.height / 2.0, 1e-3);
        const bool fillsX = std::fabs(highX - lowX - (row.width - 2 * margin)) < 1e-3;
        const bool fillsY = std::fabs(highY - lowY - (row.height - 2 * margin)) < 1e-3;
        EXPECT_TRUE(fillsX || fillsY || (highX - lowX < 1e-9 && highY - lowY < 1e-9));
    }
}

TEST(PathView, ZoomKeepsThePointUnderThePointerAndPanShifts)
{
    struct Row {
        const char* name;
        double pixelX;
        double pixelY;
        double factor;
    };
    const Row rows[] = {
        {"zoom in about a corner", 0.0, 0.0, 16.0},
        {"zoom out about the middle", 320.0, 240.0, 0.25},
        {"zoom in about a point outside", -100.0, 900.0, 2.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CPathView view(PROJECTION_FRONT, 3.0, 17.0, -40.0);
        const CViewPoint before = view.PixelToPlane(row.pixelX, row.pixelY);
        view.ZoomAbout(row.pixelX, row.pixelY, row.factor);
        EXPECT_DOUBLE_EQ(view.GetScale(), 3.0 * row.factor);
        const CViewPoint after = view.PixelToPlane(row.pixelX, row.pixelY);
        EXPECT_NEAR(after.x, before.x, 1e-9);
        EXPECT_NEAR(after.y, before.y, 1e-9);
    }
    CPathView view(PROJECTION_TOP, 2.0, 5.0, 6.0);
    view.Pan(-3.0, 4.5);
    EXPECT_DOUBLE_EQ(view.GetOffsetX(), 2.0);
    EXPECT_DOUBLE_EQ(view.GetOffsetY(), 10.5);
    view.ZoomAbout(0.0, 0.0, 1e30);
    EXPECT_DOUBLE_EQ(view.GetScale(), CPathView::MAX_SCALE);
    view.ZoomAbout(0.0, 0.0, 0.0);
    EXPECT_DOUBLE_EQ(view.GetScale(), CPathView::MAX_SCALE);
}

// However far a learner zooms into a path far from the origin, every pixel
// lies within a tenth of where exact arithmetic puts it.
TEST(PathView, ZoomStopsWherePixelsLoseATenth)
{
    const struct {
        const char* name;
        CMovePoint min;
        CMovePoint max;
    } rows[] = {
        {"near the origin", {-1, -1, -1}, {1, 1, 1}},
        {"a millimetre near 1e9", {999999999.0, 999999999.0, -1}, {999999999.9999, 999999999.9999, 0}},
        {"1e7 plus tenths", {10000000.1, 10000000.1, 0}, {10000000.5, 10000000.5, 0}},
    };
    for (const auto& row : rows) {
        for (int projection = 0; projection < PROJECTION_COUNT; ++projection) {
            SCOPED_TRACE(std::string(row.name) + " in projection " + std::to_string(projection));
            CPathView view;
            view.SetProjection(static_cast<PathProjection>(projection));
            view.Fit(row.min, row.max, 200, 100, 10);
            view.ZoomAbout(100.0, 50.0, 1e30);
            EXPECT_LE(view.GetScale(), CPathView::MAX_SCALE);
            const CMovePoint points[] = {row.min, row.max, {row.min.x, row.max.y, row.max.z}};
            for (const CMovePoint& point : points) {
                // The same sums in extended precision.
                long double exact[2] = {view.GetOffsetX(), view.GetOffsetY()};
                const long double coordinates[3] = {point.x, point.y, point.z};
                for (int axis = 0; axis < 3; ++axis) {
                    const CViewPoint direction = CPathView::AxisDirection(view.GetProjection(), axis);
                    exact[0] += static_cast<long double>(view.GetScale()) * direction.x * coordinates[axis];
                    exact[1] += static_cast<long double>(view.GetScale()) * direction.y * coordinates[axis];
                }
                const CViewPoint pixel = view.Project(point);
                EXPECT_LE(std::fabs(pixel.x - exact[0]), 0.1L);
                EXPECT_LE(std::fabs(pixel.y - exact[1]), 0.1L);
            }
        }
    }
}

TEST(PathRaster, EachPixelBelongsToTheFirstMoveDrawnOverIt)
{
    // The cursor marks moves below a number done: the first owner of a
    // shared pixel is the one done first, so a later pass never hides it.
    CMoveTable table;
    CTableWriter writer(table);
    writer.Move(0, 0, 0, MOVE_RAPID);      // 0: zero length at the origin
    writer.Move(10, 0, 0);                 // 1: along the bottom row
    writer.Move(10, 10, 0);                // 2: up the column x = 10
    writer.Move(0, 10, 0, MOVE_RAPID);     // 3: back along row y = 10, dashed
    writer.Move(5, 5, 0);                  // 4: diagonal down to the middle
    writer.Move(5, 0, 0);                  // 5: straight down across move 1
    writer.Move(0, 0, 0);                  // 6: a second pass over move 1
    const CMoveIdImage image = Draw(table, PixelTopView(16), 16, 16);
    struct Row {
        const char* name;
        int x;
        int y;
        std::size_t move;
    };
    const Row rows[] = {
        {"the shared start pixel stays with the rapid's dot", 0, 15, 0},
        {"the bottom row under the second pass", 3, 15, 1},
        {"the bottom row where move 5 crosses it", 5, 15, 1},
        {"the corner where move 2 starts", 10, 15, 1},
        {"up the column", 10, 9, 2},
        {"the top corner stays with the column", 10, 5, 2},
        {"a dash of the rapid", 9, 5, 3},
        {"a gap of the rapid keeps the pixel empty", 6, 5, NO_MOVE},
        {"the rapid's last dash keeps the diagonal's start", 0, 5, 3},
        {"on the diagonal", 2, 7, 4},
        {"the diagonal's end stays with it", 5, 10, 4},
        {"below the diagonal, move 5 alone", 5, 12, 5},
        {"empty pixel", 13, 2, NO_MOVE},
        {"outside the image", 16, 0, NO_MOVE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(image.GetMove(row.x, row.y), row.move);
    }
    EXPECT_EQ(CMoveIdImage::StyleOfPixel(image.GetPixel(9, 5)), STYLE_RAPID);
    EXPECT_EQ(CMoveIdImage::StyleOfPixel(image.GetPixel(10, 9)), STYLE_FEED);
}

TEST(PathRaster, RapidsAndAssumedMovesAreDashedFeedsSolid)
{
    struct Row {
        const char* name;
        MoveKind kind;
        std::uint8_t flags;
        PathStyle style;
        int drawn; // of the 31 pixels of a row after its first
    };
    // Four on, three off from the start: 32 pixels hold 4 full periods and 4
    // more; the first stays with the rapid that ends there.
    const int dashed = 4 * CPathRaster::DASH_ON + 4 - 1;
    const Row rows[] = {
        {"feed", MOVE_LINEAR, 0, STYLE_FEED, 31},
        {"rapid", MOVE_RAPID, 0, STYLE_RAPID, dashed},
        {"assumed feed keeps its colour, dashed", MOVE_LINEAR, MOVE_ASSUMED, STYLE_FEED, dashed},
        {"assumed rapid", MOVE_RAPID, MOVE_ASSUMED, STYLE_RAPID, dashed},
        {"thread drawn straight", MOVE_THREAD, MOVE_APPROXIMATED, STYLE_FEED, 31},
        {"arc without a record drawn as its chord", MOVE_CW, MOVE_ERROR, STYLE_ERROR, 31},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CMoveTable table;
        CTableWriter writer(table);
        writer.Move(0, 3, 0, MOVE_RAPID, MOVE_ASSUMED);
        writer.Move(31, 3, 0, row.kind, row.flags);
        const CMoveIdImage image = Draw(table, CPathView(PROJECTION_TOP, 1.0, 0.0, 10.0), 32, 8);
        int drawn = 0;
        for (int x = 0; x < 32; ++x) {
            if (image.GetMove(x, 7) == 1) {
                ++drawn;
                EXPECT_EQ(CMoveIdImage::StyleOfPixel(image.GetPixel(x, 7)), row.style);
            }
        }
        EXPECT_EQ(drawn, row.drawn);
    }
}

TEST(PathRaster, MovesOutsideTheViewAreSkipped)
{
    CMoveTable table;
    CTableWriter writer(table);
    // The first chunk lies up and to the right of the view, the second
    // comes into it.
    for (std::size_t move = 0; move < CPathRaster::CHUNK_MOVES; ++move)
        writer.Move(100.0f + static_cast<float>(move % 50), 100.0f, 0.0f);
    const std::size_t rapid = writer.Move(-114, -113, 0, MOVE_RAPID);
    const std::size_t feed = writer.Move(-114, -103, 0);
    // The view shows X from -116 to -101 and Y from -115 to -100.
    CRasterResult result;
    const CMoveIdImage image = Draw(table, CPathView(PROJECTION_TOP, 1.0, 116.0, -100.0), 16, 16, &result);
    EXPECT_EQ(result.chunksCulled, 1u);
    EXPECT_EQ(result.chunksDrawn, 1u);
    std::set<std::size_t> moves;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (image.GetMove(x, y) != NO_MOVE)
                moves.insert(image.GetMove(x, y));
    EXPECT_EQ(moves, (std::set<std::size_t>{rapid, feed}));
    EXPECT_EQ(image.GetMove(2, 13), feed);
    EXPECT_EQ(image.GetMove(2, 8), feed);
    EXPECT_EQ(image.GetMove(2, 3), feed);
    EXPECT_EQ(image.GetMove(2, 2), NO_MOVE);
}

TEST(PathRaster, ZeroLengthMovesAreOnePixel)
{
    // The move stays at the origin; the view puts the origin elsewhere. (A
    // move after another shares its first pixel, which the earlier keeps.)
    struct Row {
        const char* name;
        double offsetX;
        double offsetY;
        int x;
        int y;
    };
    const Row rows[] = {
        {"in the bottom left pixel", 0.0, 15.0, 0, 15},
        {"in the middle", 7.0, 7.0, 7, 7},
        {"rounded to the nearest pixel", 3.4, 3.4, 3, 3},
        {"on the top right pixel", 15.0, 0.0, 15, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CMoveTable table;
        CTableWriter writer(table);
        const std::size_t move = writer.Move(0, 0, 0);
        const CMoveIdImage image = Draw(table, CPathView(PROJECTION_TOP, 1.0, row.offsetX, row.offsetY), 16, 16);
        EXPECT_EQ(image.GetMove(row.x, row.y), move);
        EXPECT_EQ(CountDrawn(image), 1u);
    }
}

// The measured move starts outside the picture, most of them further than
// an int counts pixels; a dashed one stays dashed where it crosses.
TEST(PathRaster, HugeCoordinatesAreClippedBeforeStepping)
{
    struct Row {
        const char* name;
        CMovePoint from;
        CMovePoint to;
        MoveKind kind;
        double scale;
        // Pixels of the measured move: a dash pattern of period 7 leaves 8
        // to 10 of 16 in a row; at the largest scale the end points
        // themselves are rounded to a pixel or two.
        int leastDrawn;
        int mostDrawn;
    };
    const int dashedLeast = 2 * CPathRaster::DASH_ON;
    const int dashedMost = dashedLeast + 2;
    const Row rows[] = {
        {"a feed from far left to far right", {-3e9, 5, 0}, {3e9, 5, 0}, MOVE_LINEAR, 1.0, 16, 16},
        {"a rapid from far left stays dashed", {-3e9, 5, 0}, {3e9, 5, 0}, MOVE_RAPID, 1.0, dashedLeast, dashedMost},
        {"a dashed diagonal from far down left", {-3e9, -3e9, 0}, {3e9, 3e9, 0}, MOVE_RAPID, 1.0, dashedLeast,
         dashedMost},
        {"far outside on both ends, passing by", {-3e9, 3e9, 0}, {3e9, 3e9, 0}, MOVE_RAPID, 1.0, 0, 0},
        {"zoomed to the largest scale", {-1e9, -1e9, 0}, {1e9, 1e9, 0}, MOVE_LINEAR, CPathView::MAX_SCALE, 14, 16},
        {"an endless coordinate is not drawn", {-5, 0, 0}, {INFINITY, 3, 0}, MOVE_LINEAR, 1.0, 0, 0},
        {"nor one that is not a number", {-5, 0, 0}, {NAN, 3, 0}, MOVE_LINEAR, 1.0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CMoveTable table;
        CTableWriter writer(table);
        writer.Move(row.from.x, row.from.y, row.from.z);
        writer.Move(row.to.x, row.to.y, row.to.z, row.kind);
        // The origin of the program at pixel (0, 15) at every scale.
        const CPathView view(PROJECTION_TOP, row.scale, 0.0, 15.0);
        const auto start = std::chrono::steady_clock::now();
        const CMoveIdImage image = Draw(table, view, 16, 16);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        std::size_t drawn = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                drawn += image.GetMove(x, y) == 1;
        EXPECT_GE(drawn, static_cast<std::size_t>(row.leastDrawn));
        EXPECT_LE(drawn, static_cast<std::size_t>(row.mostDrawn));
    }
}

TEST(PathRaster, ArcPixelsLieOnTheCircle)
{
    const double pi = std::acos(-1.0);
    struct Row {
        const char* name;
        PathProjection projection;
        ArcPlane plane;
        CMovePoint start;
        CMovePoint end;
        float sweep;
        double radius;
    };
    // Centre (16, 16) of the plane in every row; pixel = (first, 31 - second).
    const Row rows[] = {
        {"full circle counter-clockwise in XY", PROJECTION_TOP, ARC_PLANE_XY, {26, 16, 0}, {26, 16, 0},
         static_cast<float>(2 * pi), 10.0},
        {"half circle clockwise in XY", PROJECTION_TOP, ARC_PLANE_XY, {16, 28, 0}, {16, 4, 0},
         static_cast<float>(-pi), 12.0},
        {"quarter in XZ seen from the front", PROJECTION_FRONT, ARC_PLANE_XZ, {16, 0, 30}, {30, 0, 16},
         static_cast<float>(pi / 2), 14.0},
        {"helix in YZ seen from the side", PROJECTION_SIDE, ARC_PLANE_YZ, {-5, 24, 16}, {5, 24, 16},
         static_cast<float>(2 * pi), 8.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CMoveTable table;
        CTableWriter writer(table);
        writer.Move(row.start.x, row.start.y, row.start.z, MOVE_RAPID);
        // The plane's first and second axis of the centre; the side view
        // shows Y right and Z up, the front view X right and Z up.
        const std::size_t arc = writer.Arc(row.end.x, row.end.y, row.end.z, 16, 16, row.sweep, row.plane);
        const CMoveIdImage image = Draw(table, CPathView(row.projection, 1.0, 0.0, 31.0), 32, 32);
        std::size_t onArc = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                if (image.GetMove(x, y) != arc)
                    continue;
                ++onArc;
                // In every row the picture shows the arc's plane with the
                // centre at pixel (16, 15).
                const double distance = std::hypot(x - 16.0, y - 15.0);
                EXPECT_NEAR(distance, row.radius, ON_CIRCLE) << "pixel " << x << ", " << y;
                EXPECT_EQ(CMoveIdImage::StyleOfPixel(image.GetPixel(x, y)), STYLE_ARC);
            }
        }
        // At least the arc's length in pixels, no more than twice it.
        const double length = std::fabs(row.sweep) * row.radius;
        EXPECT_GE(onArc, static_cast<std::size_t>(length * 0.7));
        EXPECT_LE(onArc, static_cast<std::size_t>(length * 2.0));
    }
}

TEST(PathRaster, ArcChordsFollowTheZoom)
{
    // A circle of radius 1000 seen at 1 pixel per unit stays within half a
    // pixel of the true circle near its top, where the view cuts it.
    const double pi = std::acos(-1.0);
    CMoveTable table;
    CTableWriter writer(table);
    writer.Move(1000, 0, 0, MOVE_RAPID);
    writer.Arc(1000, 0, 0, 0, 0, static_cast<float>(2 * pi));
    // The view shows x in [-16, 16), y in [985, 1017).
    const CMoveIdImage image = Draw(table, CPathView(PROJECTION_TOP, 1.0, 16.0, 1016.0), 32, 32);
    std::size_t onArc = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (image.GetMove(x, y) != 1)
                continue;
            ++onArc;
            EXPECT_NEAR(std::hypot(x - 16.0, 1016.0 - y), 1000.0, ON_CIRCLE) << "pixel " << x << ", " << y;
        }
    }
    EXPECT_GE(onArc, 32u);
}

TEST(PathRaster, TracingAMoveGivesItsChordsForTheOverlay)
{
    const double pi = std::acos(-1.0);
    CMoveTable table;
    CTableWriter writer(table);
    writer.Move(10, 0, 0, MOVE_RAPID);
    writer.Arc(-10, 0, 0, 0, 0, static_cast<float>(pi));
    writer.Move(-10, 5, 0);
    struct Row {
        const char* name;
        std::size_t move;
        double scale;
        std::size_t leastPoints;
        std::size_t mostPoints;
    };
    const Row rows[] = {
        {"a straight move is its two ends", 2, 1.0, 2, 2},
        {"a half circle of 10 pixels", 1, 1.0, 6, 8},
        {"the same zoomed in 16 times", 1, 16.0, 20, 40},
        {"the same so small it is one chord", 1, 0.01, 2, 2},
        {"no such move", 3, 1.0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CPathView view(PROJECTION_TOP, row.scale, 100.0, 100.0);
        std::vector<CViewPoint> points;
        CPathRaster::TraceMove(table, row.move, view, points);
        EXPECT_GE(points.size(), row.leastPoints);
        EXPECT_LE(points.size(), row.mostPoints);
        if (points.empty())
            continue;
        const CViewPoint start = view.Project(table.GetStart(row.move));
        const CViewPoint end = view.Project(table.GetEnd(row.move));
        EXPECT_DOUBLE_EQ(points.front().x, start.x);
        EXPECT_DOUBLE_EQ(points.back().y, end.y);
        if (row.move != 1)
            continue;
        for (const CViewPoint& point : points)
            EXPECT_NEAR(std::hypot(point.x - 100.0, point.y - 100.0), 10.0 * row.scale, 1e-4 * row.scale);
    }
}

TEST(PathRaster, ACancelledDrawingStopsAtTheNextChunk)
{
    CMoveTable table;
    CTableWriter writer(table);
    for (std::size_t move = 0; move < 3 * CPathRaster::CHUNK_MOVES; ++move)
        writer.Move(static_cast<float>(move % 16), static_cast<float>(move % 7), 0.0f);
    const CPathRaster raster(table);
    EXPECT_EQ(raster.GetChunkCount(), 3u);
    CMoveIdImage image;
    image.Resize(16, 16);
    std::atomic<bool> cancel{true};
    const CRasterResult cancelled = raster.Draw(PixelTopView(16), image, &cancel);
    EXPECT_FALSE(cancelled.complete);
    EXPECT_EQ(cancelled.chunksDrawn, 0u);
    EXPECT_EQ(CountDrawn(image), 0u);
    cancel = false;
    const CRasterResult complete = raster.Draw(PixelTopView(16), image, &cancel);
    EXPECT_TRUE(complete.complete);
    EXPECT_EQ(complete.chunksDrawn, 3u);
    EXPECT_GT(CountDrawn(image), 0u);
}

namespace {

constexpr double HALF_TURN = 3.14159265358979323846;

// Many overlapping moves of every style in a small image: a pseudo-random
// walk over it (the same on every run), with dashed rapids and exact arcs.
CMoveTable OverlappingPath(std::size_t moves, int size, std::uint32_t seed)
{
    CMoveTable table;
    CTableWriter writer(table);
    std::uint32_t state = seed;
    const auto next = [&state](int range) {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>((state >> 8) % static_cast<std::uint32_t>(range));
    };
    for (std::size_t move = 0; move < moves; ++move) {
        const double x = next(size);
        const double y = next(size);
        switch (move % 5) {
        case 0:
            writer.Move(x, y, next(9), MOVE_RAPID);
            break;
        case 1:
            writer.Move(x, y, 0.0, MOVE_LINEAR, MOVE_ASSUMED);
            break;
        case 2: {
            // An arc about the middle of its chord: a half circle.
            const CMovePoint start = table.GetEnd(table.GetCount() - 1);
            writer.Arc(x, y, 0.0, (start.x + x) / 2.0, (start.y + y) / 2.0, (move / 5) % 2 == 0 ? HALF_TURN : -HALF_TURN);
            break;
        }
        default:
            writer.Move(x, y, next(3));
            break;
        }
    }
    return table;
}

void ExpectSamePixels(const CMoveIdImage& actual, const CMoveIdImage& expected)
{
    ASSERT_EQ(actual.GetWidth(), expected.GetWidth());
    ASSERT_EQ(actual.GetHeight(), expected.GetHeight());
    std::size_t differing = 0;
    for (int y = 0; y < actual.GetHeight(); ++y)
        for (int x = 0; x < actual.GetWidth(); ++x)
            differing += actual.GetPixel(x, y) != expected.GetPixel(x, y);
    EXPECT_EQ(differing, 0u);
}

} // namespace

TEST(PathRaster, SeveralThreadsDrawTheSamePixelsAsOne)
{
    struct Row {
        const char* name;
        std::size_t moves;
        PathProjection projection;
        double scale;
        std::size_t firstMove;
        unsigned threads;
    };
    constexpr std::size_t CHUNK = CPathRaster::CHUNK_MOVES;
    const Row rows[] = {
        {"two threads, top view, every move", 5 * CHUNK + 123, PROJECTION_TOP, 1.0, 0, 2},
        {"two threads, isometric", 5 * CHUNK + 123, PROJECTION_ISOMETRIC, 0.7, 0, 2},
        {"three threads, zoomed so that chunks are culled", 7 * CHUNK, PROJECTION_TOP, 6.0, 0, 3},
        {"two threads from a move inside a chunk", 5 * CHUNK + 123, PROJECTION_TOP, 1.0, 2 * CHUNK + 77, 2},
        {"more threads than chunks", 2 * CHUNK + 5, PROJECTION_FRONT, 1.0, 0, 8},
        {"one chunk only: one thread", CHUNK / 2, PROJECTION_TOP, 1.0, 0, 2},
        {"from beyond the last move", 3 * CHUNK, PROJECTION_TOP, 1.0, 4 * CHUNK, 2},
    };
    constexpr int SIZE = 48;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CMoveTable table = OverlappingPath(row.moves, SIZE, static_cast<std::uint32_t>(row.moves));
        const CPathRaster raster(table);
        const CPathView view(row.projection, row.scale, 2.0, SIZE - 2.0);
        CMoveIdImage one;
        one.Resize(SIZE, SIZE);
        const CRasterResult alone = raster.Draw(view, one, nullptr, row.firstMove);
        CMoveIdImage shared;
        shared.Resize(SIZE, SIZE);
        // Left over from an earlier picture: it must go.
        shared.SetPixel(1, 1, CMoveIdImage::MakePixel(0, STYLE_FEED));
        const CRasterResult together = raster.DrawOnThreads(view, shared, row.threads, nullptr, row.firstMove);
        ExpectSamePixels(shared, one);
        EXPECT_TRUE(together.complete);
        EXPECT_EQ(together.chunksDrawn, alone.chunksDrawn);
        EXPECT_EQ(together.chunksCulled, alone.chunksCulled);
        EXPECT_EQ(together.segmentsDrawn, alone.segmentsDrawn);
        if (row.firstMove < row.moves) {
            EXPECT_GT(CountDrawn(one), 0u);
        }
    }
}

TEST(PathRaster, ACancelledDrawingOnThreadsReportsItIncomplete)
{
    const CMoveTable table = OverlappingPath(6 * CPathRaster::CHUNK_MOVES, 16, 7);
    const CPathRaster raster(table);
    CMoveIdImage image;
    image.Resize(16, 16);
    std::atomic<bool> cancel{true};
    const CRasterResult cancelled = raster.DrawOnThreads(PixelTopView(16), image, 2, &cancel);
    EXPECT_FALSE(cancelled.complete);
    EXPECT_EQ(cancelled.chunksDrawn, 0u);
    EXPECT_EQ(CountDrawn(image), 0u);
}

// Chunk c holds moves near x = 100 c; odd chunks also a full circle of
// radius 30 about x = 100 c + 30. A view of the gap x = 100 c + 20 ... 60
// meets the next chunk (its first move crosses the gap) and chunk c itself
// only through its circle. Enough chunks that two threads find the boxes.
TEST(PathRaster, ChunkBoxesHoldTheirMovesAndCirclesInBothHalves)
{
    constexpr std::size_t CHUNKS = 70;
    CMoveTable table;
    CTableWriter writer(table);
    for (std::size_t chunk = 0; chunk < CHUNKS; ++chunk) {
        const double left = 100.0 * static_cast<double>(chunk);
        for (std::size_t move = 0; move < CPathRaster::CHUNK_MOVES; ++move) {
            if (chunk % 2 == 1 && move == 100)
                writer.Arc(left, 0.0, 0.0, left + 30.0, 0.0, 2.0 * HALF_TURN);
            else
                writer.Move(left + static_cast<double>(move % 5), static_cast<double>(move % 3), 0.0);
        }
    }
    const CPathRaster raster(table);
    ASSERT_EQ(raster.GetChunkCount(), CHUNKS);
    struct Row {
        const char* name;
        std::size_t chunk;
    };
    const Row rows[] = {
        {"an even chunk in the first half", 10},
        {"an odd chunk in the first half", 11},
        {"the last chunk of the first half", 34},
        {"the first chunk of the second half", 35},
        {"an odd chunk in the second half", 51},
        {"an even chunk in the second half", 60},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CPathView gap(PROJECTION_TOP, 1.0, -(100.0 * static_cast<double>(row.chunk) + 20.0), 5.0);
        CMoveIdImage image;
        image.Resize(40, 10);
        const CRasterResult result = raster.Draw(gap, image);
        const std::size_t meeting = 1 + row.chunk % 2;
        EXPECT_EQ(result.chunksDrawn, meeting);
        EXPECT_EQ(result.chunksCulled, CHUNKS - meeting);
    }
}

TEST(StepState, TheCursorWordSplitsDoneFromComing)
{
    // Blocks of words: moves 0 and 1 come from block [0, 4], move 2 from
    // [5, 9], the block [10, 12] makes none, move 3 from [13, 15].
    CMoveTable table;
    table.Append({1, 0, 0}, MOVE_LINEAR, 0, 4, 0);
    table.Append({2, 0, 0}, MOVE_LINEAR, 0, 4, 0);
    table.Append({3, 0, 0}, MOVE_LINEAR, 0, 9, 5);
    table.Append({4, 0, 0}, MOVE_LINEAR, 0, 15, 13);
    struct Row {
        const char* name;
        std::size_t cursor;
        std::size_t done;
        std::size_t first;
        std::size_t last;
    };
    const Row rows[] = {
        {"at the first word", 0, 0, 0, 1},
        {"inside the first block", 3, 0, 0, 1},
        {"at the first block's line end", 4, 0, 0, 1},
        {"at the start of the second block", 5, 2, 2, 2},
        {"in a block without a move", 11, 3, NO_MOVE, NO_MOVE},
        {"at the last block's line end", 15, 3, 3, 3},
        {"past the last word", 16, 4, NO_MOVE, NO_MOVE},
        {"at the end of the program", static_cast<std::size_t>(-1), 4, NO_MOVE, NO_MOVE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CStepState state = StepStateAt(table, row.cursor);
        EXPECT_EQ(state.doneCount, row.done);
        EXPECT_EQ(state.blockFirst, row.first);
        EXPECT_EQ(state.blockLast, row.last);
    }
    const CStepState empty = StepStateAt(CMoveTable(), 0);
    EXPECT_EQ(empty.doneCount, 0u);
    EXPECT_FALSE(empty.HasCurrentBlock());
}

TEST(PathRecolour, DoneCurrentAndComingMovesTakeTheirColours)
{
    CMoveIdImage ids;
    ids.Resize(3, 2);
    ids.SetPixel(0, 0, CMoveIdImage::MakePixel(0, STYLE_FEED));
    ids.SetPixel(1, 0, CMoveIdImage::MakePixel(1, STYLE_RAPID));
    ids.SetPixel(2, 0, CMoveIdImage::MakePixel(2, STYLE_ARC));
    ids.SetPixel(0, 1, CMoveIdImage::MakePixel(3, STYLE_ERROR));
    ids.SetPixel(1, 1, CMoveIdImage::MakePixel(4, STYLE_FEED));
    const CPathPalette& palette = DefaultPathPalette();
    struct Row {
        const char* name;
        CStepState state;
        std::uint32_t expected[6];
    };
    const Row rows[] = {
        {"nothing done, move 0 current",
         {0, 0, 0},
         {palette.currentBlock, palette.coming[STYLE_RAPID], palette.coming[STYLE_ARC], palette.coming[STYLE_ERROR],
          palette.coming[STYLE_FEED], palette.background}},
        {"two done, moves 2 and 3 current",
         {2, 2, 3},
         {palette.done[STYLE_FEED], palette.done[STYLE_RAPID], palette.currentBlock, palette.currentBlock,
          palette.coming[STYLE_FEED], palette.background}},
        {"all done",
         {5, NO_MOVE, NO_MOVE},
         {palette.done[STYLE_FEED], palette.done[STYLE_RAPID], palette.done[STYLE_ARC], palette.done[STYLE_ERROR],
          palette.done[STYLE_FEED], palette.background}},
        {"a block without a move",
         {1, NO_MOVE, NO_MOVE},
         {palette.done[STYLE_FEED], palette.coming[STYLE_RAPID], palette.coming[STYLE_ARC],
          palette.coming[STYLE_ERROR], palette.coming[STYLE_FEED], palette.background}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // A stride wider than the image: the padding stays untouched.
        std::vector<std::uint32_t> pixels(2 * 4, 0x12345678u);
        RecolourPath(ids, row.state, palette, pixels.data(), 4);
        for (int pixel = 0; pixel < 6; ++pixel)
            EXPECT_EQ(pixels[(pixel / 3) * 4 + pixel % 3], row.expected[pixel]) << "pixel " << pixel;
        EXPECT_EQ(pixels[3], 0x12345678u);
        EXPECT_EQ(pixels[7], 0x12345678u);
    }
    // Errors are red whether done or not.
    for (const std::uint32_t red : {palette.coming[STYLE_ERROR], palette.done[STYLE_ERROR]}) {
        EXPECT_GT((red >> 16) & 0xFF, 2 * ((red >> 8) & 0xFF));
        EXPECT_GT((red >> 16) & 0xFF, 2 * (red & 0xFF));
    }
}

TEST(NearestMove, AClickFindsTheNearestDrawnMove)
{
    CMoveIdImage ids;
    ids.Resize(16, 16);
    ids.SetPixel(5, 5, CMoveIdImage::MakePixel(7, STYLE_FEED));
    ids.SetPixel(9, 5, CMoveIdImage::MakePixel(8, STYLE_FEED));
    ids.SetPixel(7, 9, CMoveIdImage::MakePixel(2, STYLE_FEED));
    ids.SetPixel(15, 15, CMoveIdImage::MakePixel(3, STYLE_FEED));
    ids.SetPixel(12, 8, CMoveIdImage::MakePixel(4, STYLE_FEED));
    constexpr int HUGE_RADIUS = std::numeric_limits<int>::max();
    struct Row {
        const char* name;
        int x;
        int y;
        int radius;
        std::size_t move;
    };
    const Row rows[] = {
        {"on the pixel", 5, 5, 0, 7},
        {"nearer to the right one", 8, 5, 3, 8},
        {"equally near: the earlier move, as in the picture", 7, 5, 3, 7},
        {"below", 7, 8, 3, 2},
        {"too far", 0, 15, 4, NO_MOVE},
        {"outside the image, out of reach", -3, 5, 1, NO_MOVE},
        {"outside the image, within reach", -3, 5, 8, 7},
        // The first ring with a hit holds move 3 at 3^2 + 3^2; the next one
        // holds move 4, nearer at 4^2.
        {"a nearer pixel in the next ring wins", 12, 12, 5, 4},
        {"a huge radius on a stale picture's point far off", -1000000000, -1000000000, HUGE_RADIUS, 7},
        {"the most negative point lies beyond the largest radius", std::numeric_limits<int>::min(), 0, HUGE_RADIUS,
         NO_MOVE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ids.FindNearestMove(row.x, row.y, row.radius), row.move);
    }
}

TEST(LatestJobRunner, ANewerJobReplacesTheWaitingOneAndStopsTheRunningOne)
{
    CLatestJobRunner runner;
    std::promise<void> started;
    std::atomic<bool> sawCancel{false};
    std::atomic<int> ran{0};
    runner.Post([&](const std::atomic<bool>& cancel) {
        started.set_value();
        while (!cancel.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawCancel = true;
    });
    started.get_future().wait();
    // The second is replaced by the third before it can start.
    runner.Post([&](const std::atomic<bool>&) { ran += 10; });
    runner.Post([&](const std::atomic<bool>& cancel) { ran += cancel.load() ? 100 : 1; });
    runner.WaitIdle();
    EXPECT_TRUE(sawCancel);
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(runner.IsBusy());

    std::promise<void> again;
    runner.Post([&](const std::atomic<bool>& cancel) {
        again.set_value();
        while (!cancel.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    again.get_future().wait();
    runner.CancelAndWait();
    EXPECT_FALSE(runner.IsBusy());
}

TEST(LatestJobRunner, AThrowingJobIsReportedAfterItsCapturesAreFreedAndTheRunnerGoesOn)
{
    std::promise<std::exception_ptr> reported;
    auto built = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = built;
    std::atomic<bool> freedBeforeReport{false};
    CLatestJobRunner runner([&](std::exception_ptr error) {
        freedBeforeReport = watch.expired();
        reported.set_value(error);
    });
    runner.Post([built = std::move(built)](const std::atomic<bool>&) { throw std::bad_alloc(); });
    EXPECT_THROW(std::rethrow_exception(reported.get_future().get()), std::bad_alloc);
    EXPECT_TRUE(freedBeforeReport);
    std::atomic<bool> ran{false};
    runner.Post([&](const std::atomic<bool>&) { ran = true; });
    runner.WaitIdle();
    EXPECT_TRUE(ran);
}

TEST(LatestJobRunner, DestructionCancelsTheRunningJobAndDropsTheWaitingOne)
{
    std::atomic<bool> sawCancel{false};
    std::atomic<bool> waitingRan{false};
    {
        CLatestJobRunner runner;
        std::promise<void> started;
        runner.Post([&](const std::atomic<bool>& cancel) {
            started.set_value();
            while (!cancel.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            sawCancel = true;
            // Long enough for the destructor below to have begun.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        });
        started.get_future().wait();
        runner.Post([&](const std::atomic<bool>&) { waitingRan = true; });
    }
    EXPECT_TRUE(sawCancel);
    EXPECT_FALSE(waitingRan);
}
