#include "path_raster.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;
// The largest factor by which a projection stretches a length: the
// isometric view shows the diagonal of the XY plane sqrt(3/2) times longer.
constexpr double PROJECTION_STRETCH[PROJECTION_COUNT] = {1.0, 1.0, 1.0, 1.2247448713915890491};
// 16.16 fixed point; images stay below 32768 pixels a side.
constexpr int FIXED_SHIFT = 16;
constexpr std::int32_t FIXED_ONE = 1 << FIXED_SHIFT;
constexpr std::int32_t FIXED_HALF = FIXED_ONE / 2;

// A point in an arc's own frame: the plane's first and second axis and the
// axis normal to the plane.
struct CArcFrame {
    double first;
    double second;
    double linear;
};

CArcFrame ToArcFrame(ArcPlane plane, const CMovePoint& point)
{
    switch (plane) {
    case ARC_PLANE_XZ:
        return {point.z, point.x, point.y};
    case ARC_PLANE_YZ:
        return {point.y, point.z, point.x};
    case ARC_PLANE_XY:
        break;
    }
    return {point.x, point.y, point.z};
}

void FromArcFrame(ArcPlane plane, const CArcFrame& frame, double& x, double& y, double& z)
{
    switch (plane) {
    case ARC_PLANE_XZ:
        x = frame.second;
        y = frame.linear;
        z = frame.first;
        return;
    case ARC_PLANE_YZ:
        x = frame.linear;
        y = frame.first;
        z = frame.second;
        return;
    case ARC_PLANE_XY:
        break;
    }
    x = frame.first;
    y = frame.second;
    z = frame.linear;
}

bool IsFinite(const CViewPoint& point) { return std::isfinite(point.x) && std::isfinite(point.y); }

double Length(double first, double second) { return std::sqrt(first * first + second * second); }

// An arc's geometry as its chords need it: radii, start angle and the
// climb along the linear axis; the radius changes evenly along the sweep.
class CArcChords {
public:
    CArcChords(const CArcRecord& record, const CMovePoint& startPoint, const CMovePoint& endPoint)
        : record(record), start(ToArcFrame(record.plane, startPoint)), finish(ToArcFrame(record.plane, endPoint)),
          startRadius(Length(start.first - record.centerFirst, start.second - record.centerSecond)),
          endRadius(Length(finish.first - record.centerFirst, finish.second - record.centerSecond))
    {
    }

    // In pixels, for a view of so many pixels per unit at most.
    double GetPixelRadius(double stretch) const { return std::max(startRadius, endRadius) * stretch; }
    double GetPixelClimb(double stretch) const { return std::fabs(finish.linear - start.linear) * stretch; }
    // The centre at mid height.
    void GetCenter(double& x, double& y, double& z) const
    {
        FromArcFrame(record.plane, {record.centerFirst, record.centerSecond, (start.linear + finish.linear) / 2.0}, x,
                     y, z);
    }

    // Enough chords to stay within the tolerance of the arc at this scale.
    int CountChords(double stretch) const
    {
        const double pixelRadius = GetPixelRadius(stretch);
        double chordAngle = PI;
        if (pixelRadius > CPathRaster::CHORD_TOLERANCE)
            chordAngle = std::min(PI, 2.0 * std::acos(1.0 - CPathRaster::CHORD_TOLERANCE / pixelRadius));
        // Rounding may carry a sweep of whole chords a hair past them.
        return static_cast<int>(std::clamp(std::ceil(std::fabs(record.sweep) / chordAngle - 1e-6), 1.0,
                                           static_cast<double>(CPathRaster::MAX_CHORDS)));
    }

    // Calls point(x, y, z) for the end of each chord but the last, whose end
    // is the move's own end point.
    template <class PointFunction>
    void ForEachInnerPoint(int chords, PointFunction point) const
    {
        if (chords <= 1)
            return;
        const double startAngle = std::atan2(start.second - record.centerSecond, start.first - record.centerFirst);
        for (int chord = 1; chord < chords; ++chord) {
            const double t = static_cast<double>(chord) / chords;
            const double angle = startAngle + record.sweep * t;
            const double radius = startRadius + (endRadius - startRadius) * t;
            double x = 0.0;
            double y = 0.0;
            double z = 0.0;
            FromArcFrame(record.plane,
                         {record.centerFirst + radius * std::cos(angle), record.centerSecond + radius * std::sin(angle),
                          start.linear + (finish.linear - start.linear) * t},
                         x, y, z);
            point(x, y, z);
        }
    }

private:
    const CArcRecord& record;
    const CArcFrame start;
    const CArcFrame finish;
    const double startRadius;
    const double endRadius;
};

// The view's projection as one linear map, inlined into the drawing loop.
class CProjector {
public:
    explicit CProjector(const CPathView& view) : offsetX(view.GetOffsetX()), offsetY(view.GetOffsetY())
    {
        for (int axis = 0; axis < 3; ++axis) {
            const CViewPoint direction = CPathView::AxisDirection(view.GetProjection(), axis);
            towardsX[axis] = direction.x * view.GetScale();
            towardsY[axis] = direction.y * view.GetScale();
        }
    }
    CViewPoint operator()(double x, double y, double z) const
    {
        return {offsetX + towardsX[0] * x + towardsX[1] * y + towardsX[2] * z,
                offsetY + towardsY[0] * x + towardsY[1] * y + towardsY[2] * z};
    }
    CViewPoint operator()(const CMovePoint& point) const { return (*this)(point.x, point.y, point.z); }

private:
    double offsetX;
    double offsetY;
    double towardsX[3] = {};
    double towardsY[3] = {};
};

// One pass of the pen over the image: clips each segment to the image
// before stepping along it, so that no coordinate can make it walk far.
class CSegmentPen {
public:
    explicit CSegmentPen(CMoveIdImage& image)
        : image(image), width(image.GetWidth()), height(image.GetHeight()), maxX(width - 0.5),
          maxY(height - 0.5)
    {
    }

    void Begin(std::uint32_t pixel, bool isDashed)
    {
        value = pixel;
        dashed = isDashed;
        dashPosition = 0;
    }

    // True when some part of the segment lies in the image.
    bool Draw(CViewPoint from, CViewPoint to)
    {
        if (!IsFinite(from) || !IsFinite(to))
            return false;
        const double startX = from.x;
        const double startY = from.y;
        const bool inside = from.x >= MIN_XY && from.x <= maxX && from.y >= MIN_XY && from.y <= maxY &&
                            to.x >= MIN_XY && to.x <= maxX && to.y >= MIN_XY && to.y <= maxY;
        if (!inside && !Clip(from, to)) {
            AdvanceDash(startX, startY, to);
            return false;
        }
        const std::int32_t x0 = ToPixel(from.x, width);
        const std::int32_t y0 = ToPixel(from.y, height);
        const std::int32_t x1 = ToPixel(to.x, width);
        const std::int32_t y1 = ToPixel(to.y, height);
        // Where the dash pattern stands at the clipped start; the part cut
        // off may be far longer than an int counts.
        int phase = dashPosition;
        if (dashed && !inside) {
            const double cut = std::floor(std::max(std::fabs(from.x - startX), std::fabs(from.y - startY)));
            phase = static_cast<int>(std::fmod(dashPosition + cut, DASH_PERIOD));
        }
        const std::int32_t steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        if (steps <= 1) {
            // Most moves of a big program at a fitted scale: no division.
            Plot(x0, y0, phase);
            if (steps == 1)
                Plot(x1, y1, phase + 1);
        } else {
            // Fixed point with the rounding half added once: both end pixels
            // come out exactly.
            std::int32_t x = x0 * FIXED_ONE + FIXED_HALF;
            std::int32_t y = y0 * FIXED_ONE + FIXED_HALF;
            const std::int32_t stepX = (x1 - x0) * FIXED_ONE / steps;
            const std::int32_t stepY = (y1 - y0) * FIXED_ONE / steps;
            for (std::int32_t step = 0; step <= steps; ++step) {
                Plot(x >> FIXED_SHIFT, y >> FIXED_SHIFT, phase + step);
                x += stepX;
                y += stepY;
            }
        }
        AdvanceDash(startX, startY, to);
        return true;
    }

private:
    static constexpr double MIN_XY = -0.5;
    static constexpr int DASH_PERIOD = CPathRaster::DASH_ON + CPathRaster::DASH_OFF;

    static std::int32_t ToPixel(double coordinate, int size)
    {
        // Clipped coordinates are at least -0.5: truncation rounds.
        const auto pixel = static_cast<std::int32_t>(coordinate + 0.5);
        return std::min(pixel, size - 1);
    }

    void Plot(std::int32_t x, std::int32_t y, int position)
    {
        if (dashed && position % DASH_PERIOD >= CPathRaster::DASH_ON)
            return;
        image.Claim(x, y, value);
    }

    // The dash pattern runs on along the whole move, drawn or not.
    void AdvanceDash(double startX, double startY, const CViewPoint& end)
    {
        if (!dashed)
            return;
        const double length = std::max(std::fabs(end.x - startX), std::fabs(end.y - startY));
        dashPosition = static_cast<int>(std::fmod(dashPosition + std::floor(length + 0.5), DASH_PERIOD));
    }

    // Liang-Barsky: cuts the segment to the image rectangle in floating
    // point; false when nothing of it is left.
    bool Clip(CViewPoint& from, CViewPoint& to) const
    {
        const double deltaX = to.x - from.x;
        const double deltaY = to.y - from.y;
        double enter = 0.0;
        double leave = 1.0;
        const double directions[4] = {-deltaX, deltaX, -deltaY, deltaY};
        const double distances[4] = {from.x - MIN_XY, maxX - from.x, from.y - MIN_XY, maxY - from.y};
        for (int edge = 0; edge < 4; ++edge) {
            if (directions[edge] == 0.0) {
                if (distances[edge] < 0.0)
                    return false;
                continue;
            }
            const double t = distances[edge] / directions[edge];
            if (directions[edge] < 0.0)
                enter = std::max(enter, t);
            else
                leave = std::min(leave, t);
            if (enter > leave)
                return false;
        }
        const CViewPoint start = from;
        from = {start.x + enter * deltaX, start.y + enter * deltaY};
        to = {start.x + leave * deltaX, start.y + leave * deltaY};
        return true;
    }

    CMoveIdImage& image;
    const int width;
    const int height;
    const double maxX;
    const double maxY;
    std::uint32_t value = 0;
    bool dashed = false;
    int dashPosition = 0;
};


// The pixel box of a program-space box in a view; false when it misses the
// image.
bool BoxMeetsImage(const CPathView& view, const CMovePoint& min, const CMovePoint& max, int width, int height)
{
    double lowX = HUGE_VAL;
    double lowY = HUGE_VAL;
    double highX = -HUGE_VAL;
    double highY = -HUGE_VAL;
    for (int corner = 0; corner < 8; ++corner) {
        const CViewPoint pixel = view.Project((corner & 1) ? max.x : min.x, (corner & 2) ? max.y : min.y,
                                              (corner & 4) ? max.z : min.z);
        lowX = std::min(lowX, pixel.x);
        highX = std::max(highX, pixel.x);
        lowY = std::min(lowY, pixel.y);
        highY = std::max(highY, pixel.y);
    }
    // A box with a NaN corner is drawn: the pen sorts out its segments.
    if (!(lowX == lowX) || !(lowY == lowY) || !(highX == highX) || !(highY == highY))
        return true;
    return highX >= -1.0 && lowX <= width && highY >= -1.0 && lowY <= height;
}

} // namespace

bool CPathRaster::IsDashed(MoveKind kind, MoveFlags flags)
{
    // An assumed start point keeps the move's colour: in a program that never
    // names one axis every move is assumed, and its kinds must still show.
    return kind == MOVE_RAPID || (flags & MOVE_ASSUMED) != 0;
}

PathStyle CPathRaster::StyleOf(MoveKind kind, MoveFlags flags, bool exactArc)
{
    if ((flags & MOVE_ERROR) != 0)
        return STYLE_ERROR;
    switch (kind) {
    case MOVE_RAPID:
        return STYLE_RAPID;
    case MOVE_CW:
    case MOVE_CCW:
        return exactArc ? STYLE_ARC : STYLE_FEED;
    case MOVE_LINEAR:
    case MOVE_PARABLE:
    case MOVE_THREAD:
        break;
    }
    return STYLE_FEED;
}

CPathRaster::CPathRaster(const CMoveTable& table) : table(table)
{
    const std::size_t count = table.GetCount();
    chunks.reserve((count + CHUNK_MOVES - 1) / CHUNK_MOVES);
    const std::vector<CArcRecord>& arcs = table.GetArcs();
    std::size_t arc = 0;
    for (std::size_t first = 0; first < count; first += CHUNK_MOVES) {
        const std::size_t end = std::min(count, first + CHUNK_MOVES);
        const CMovePoint start = table.GetStart(first);
        CBox box{start, start};
        for (std::size_t move = first; move < end; ++move)
            AddToBox(box, table.GetEnd(move));
        for (; arc < arcs.size() && arcs[arc].move < end; ++arc) {
            if (arcs[arc].move >= first)
                AddArcToBox(box, arcs[arc].move, arcs[arc]);
        }
        chunks.push_back(box);
    }
}

void CPathRaster::AddToBox(CBox& box, const CMovePoint& point) const
{
    // Not finite points are left out: the pen skips their segments anyway.
    if (!std::isfinite(point.x) || !std::isfinite(point.y) || !std::isfinite(point.z))
        return;
    box.min.x = std::min(box.min.x, point.x);
    box.min.y = std::min(box.min.y, point.y);
    box.min.z = std::min(box.min.z, point.z);
    box.max.x = std::max(box.max.x, point.x);
    box.max.y = std::max(box.max.y, point.y);
    box.max.z = std::max(box.max.z, point.z);
}

CPathRaster::CBox CPathRaster::ArcBox(std::size_t move, const CArcRecord& arc) const
{
    // The whole circle of the larger radius: cheap, and never too small.
    const CArcFrame start = ToArcFrame(arc.plane, table.GetStart(move));
    const CArcFrame end = ToArcFrame(arc.plane, table.GetEnd(move));
    const double radius = std::max(Length(start.first - arc.centerFirst, start.second - arc.centerSecond),
                                   Length(end.first - arc.centerFirst, end.second - arc.centerSecond));
    CBox box;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    FromArcFrame(arc.plane,
                 {arc.centerFirst - radius, arc.centerSecond - radius, std::min(start.linear, end.linear)}, x, y, z);
    box.min = {x, y, z};
    FromArcFrame(arc.plane,
                 {arc.centerFirst + radius, arc.centerSecond + radius, std::max(start.linear, end.linear)}, x, y, z);
    box.max = {x, y, z};
    return box;
}

void CPathRaster::AddArcToBox(CBox& box, std::size_t move, const CArcRecord& arc) const
{
    const CBox arcBox = ArcBox(move, arc);
    AddToBox(box, arcBox.min);
    AddToBox(box, arcBox.max);
}

CRasterResult CPathRaster::Draw(const CPathView& view, CMoveIdImage& image, const std::atomic<bool>* cancel) const
{
    CRasterResult result;
    image.Clear();
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    if (width == 0 || height == 0)
        return result;
    CSegmentPen pen(image);
    const CProjector project(view);
    const std::vector<CArcRecord>& arcs = table.GetArcs();
    const std::size_t count = std::min(table.GetCount(), CMoveIdImage::MAX_MOVES);
    const double stretch = view.GetScale() * PROJECTION_STRETCH[view.GetProjection()];
    for (std::size_t chunk = 0; chunk < chunks.size(); ++chunk) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            result.complete = false;
            return result;
        }
        const std::size_t first = chunk * CHUNK_MOVES;
        if (first >= count)
            break;
        if (!BoxMeetsImage(view, chunks[chunk].min, chunks[chunk].max, width, height)) {
            ++result.chunksCulled;
            continue;
        }
        ++result.chunksDrawn;
        const std::size_t end = std::min(count, first + CHUNK_MOVES);
        auto arc = std::lower_bound(arcs.begin(), arcs.end(), first,
                                    [](const CArcRecord& record, std::size_t move) { return record.move < move; });
        CViewPoint from = project(table.GetStart(first));
        for (std::size_t move = first; move < end; ++move) {
            const CMovePoint endPoint = table.GetEnd(move);
            const CViewPoint to = project(endPoint);
            const bool exactArc = arc != arcs.end() && arc->move == move;
            const PathStyle style = StyleOf(table.GetKind(move), table.GetFlags(move), exactArc);
            pen.Begin(CMoveIdImage::MakePixel(move, style), IsDashed(table.GetKind(move), table.GetFlags(move)));
            if (!exactArc) {
                pen.Draw(from, to);
                ++result.segmentsDrawn;
                from = to;
                continue;
            }
            const CArcChords geometry(*arc, table.GetStart(move), endPoint);
            ++arc;
            // The arc lies within its pixel radius, plus its climb, of its
            // centre at mid height.
            double centerX = 0.0;
            double centerY = 0.0;
            double centerZ = 0.0;
            geometry.GetCenter(centerX, centerY, centerZ);
            const CViewPoint center = project(centerX, centerY, centerZ);
            const double reach = geometry.GetPixelRadius(stretch) + geometry.GetPixelClimb(stretch) + 1.0;
            if (!(center.x + reach >= 0.0 && center.x - reach <= width && center.y + reach >= 0.0 &&
                  center.y - reach <= height)) {
                from = to;
                continue;
            }
            const int chords = geometry.CountChords(stretch);
            geometry.ForEachInnerPoint(chords, [&](double x, double y, double z) {
                const CViewPoint point = project(x, y, z);
                pen.Draw(from, point);
                from = point;
            });
            pen.Draw(from, to);
            result.segmentsDrawn += static_cast<std::size_t>(chords);
            from = to;
        }
    }
    return result;
}

void CPathRaster::TraceMove(const CMoveTable& table, std::size_t move, const CPathView& view,
                            std::vector<CViewPoint>& points)
{
    points.clear();
    if (move >= table.GetCount())
        return;
    points.push_back(view.Project(table.GetStart(move)));
    const std::ptrdiff_t arc = table.FindArc(move);
    if (arc >= 0) {
        const CArcChords geometry(table.GetArcs()[static_cast<std::size_t>(arc)], table.GetStart(move),
                                  table.GetEnd(move));
        const double stretch = view.GetScale() * PROJECTION_STRETCH[view.GetProjection()];
        geometry.ForEachInnerPoint(geometry.CountChords(stretch),
                                   [&](double x, double y, double z) { points.push_back(view.Project(x, y, z)); });
    }
    points.push_back(view.Project(table.GetEnd(move)));
}
