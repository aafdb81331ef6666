#include "path_raster.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <thread>

#include "arc_geometry.h"

namespace {

// The largest factor by which a projection stretches a length: the
// isometric view shows the diagonal of the XY plane sqrt(3/2) times longer.
constexpr double PROJECTION_STRETCH[PROJECTION_COUNT] = {1.0, 1.0, 1.0, 1.2247448713915890491};
// 16.16 fixed point; images stay below 32768 pixels a side.
constexpr int FIXED_SHIFT = 16;
constexpr std::int32_t FIXED_ONE = 1 << FIXED_SHIFT;
constexpr std::int32_t FIXED_HALF = FIXED_ONE / 2;

bool IsFinite(const CViewPoint& point) { return std::isfinite(point.x) && std::isfinite(point.y); }

// An arc of the table as the raster draws it: its shape in its plane, and
// its linear axis changing evenly from start to end.
class CRasterArc {
public:
    CRasterArc(const CArcRecord& record, const CMovePoint& start, const CMovePoint& end)
        : record(record), axes(AxesOfPlane(record.plane)), shape(record, start, end),
          startLinear(AxisValue(start, axes.linear)), endLinear(AxisValue(end, axes.linear))
    {
    }

    // How far, in pixels of a view of so many pixels per unit at most, the
    // arc reaches from its centre at mid height.
    double GetPixelReach(double stretch) const
    {
        return (shape.GetLargerRadius() + std::fabs(endLinear - startLinear)) * stretch;
    }
    CMovePoint GetCenter() const
    {
        return FromPlane(axes, record.centerFirst, record.centerSecond, (startLinear + endLinear) / 2.0);
    }

    // Enough chords to stay within the tolerance of the arc at this scale;
    // an arc whose numbers are not all finite is drawn as its chord.
    std::size_t CountChords(double stretch) const
    {
        if (!shape.IsFinite())
            return 1;
        return shape.CountChords(CPathRaster::CHORD_TOLERANCE / stretch,
                                 static_cast<std::size_t>(CPathRaster::MAX_CHORDS));
    }

    // Calls point(CMovePoint) for the end of each chord but the last, whose
    // end is the move's own end point.
    template <class PointFunction>
    void ForEachInnerPoint(std::size_t chords, PointFunction point) const
    {
        shape.ForEachInnerPoint(chords, [&](double first, double second, double along) {
            point(FromPlane(axes, record.centerFirst + first, record.centerSecond + second,
                            startLinear + (endLinear - startLinear) * along));
        });
    }

private:
    const CArcRecord& record;
    const ArcAxes& axes;
    const CArcShape shape;
    const double startLinear;
    const double endLinear;
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

// One drawing of the table into an image: each move in program order from
// where the one before ends, arcs as chords for the view's scale.
class CTableDrawing {
public:
    CTableDrawing(const CMoveTable& table, const CPathView& view, CMoveIdImage& image, CRasterResult& result)
        : table(table), arcs(table.GetArcs()), pen(image), project(view), width(image.GetWidth()),
          height(image.GetHeight()), stretch(view.GetScale() * PROJECTION_STRETCH[view.GetProjection()]),
          result(result)
    {
    }

    // The moves first to end - 1.
    void DrawMoves(std::size_t first, std::size_t end)
    {
        auto arc = std::lower_bound(arcs.begin(), arcs.end(), first,
                                    [](const CArcRecord& record, std::size_t move) { return record.move < move; });
        from = project(table.GetStart(first));
        for (std::size_t move = first; move < end; ++move) {
            const CMovePoint endPoint = table.GetEnd(move);
            const bool exactArc = arc != arcs.end() && arc->move == move;
            const MoveKind kind = table.GetKind(move);
            const MoveFlags flags = table.GetFlags(move);
            pen.Begin(CMoveIdImage::MakePixel(move, CPathRaster::StyleOf(kind, flags, exactArc)),
                      CPathRaster::IsDashed(kind, flags));
            const CViewPoint to = project(endPoint);
            if (exactArc)
                DrawArc(CRasterArc(*arc++, table.GetStart(move), endPoint), to);
            else
                DrawSegment(to);
            from = to;
        }
    }

private:
    void DrawSegment(const CViewPoint& to)
    {
        pen.Draw(from, to);
        ++result.segmentsDrawn;
    }

    void DrawArc(const CRasterArc& arc, const CViewPoint& to)
    {
        if (MissesImage(arc))
            return;
        const std::size_t chords = arc.CountChords(stretch);
        CViewPoint chordStart = from;
        arc.ForEachInnerPoint(chords, [&](const CMovePoint& point) {
            const CViewPoint chordEnd = project(point);
            pen.Draw(chordStart, chordEnd);
            chordStart = chordEnd;
        });
        pen.Draw(chordStart, to);
        result.segmentsDrawn += chords;
    }

    // The arc lies within its pixel reach of its centre at mid height.
    bool MissesImage(const CRasterArc& arc) const
    {
        const CViewPoint center = project(arc.GetCenter());
        const double reach = arc.GetPixelReach(stretch) + 1.0;
        return !(center.x + reach >= 0.0 && center.x - reach <= width && center.y + reach >= 0.0 &&
                 center.y - reach <= height);
    }

    const CMoveTable& table;
    const std::vector<CArcRecord>& arcs;
    CSegmentPen pen;
    const CProjector project;
    const int width;
    const int height;
    const double stretch;
    CRasterResult& result;
    CViewPoint from{};
};

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
    chunks.resize((count + CHUNK_MOVES - 1) / CHUNK_MOVES);
    // A big table's boxes are found by two threads, half the chunks each.
    const std::size_t half = chunks.size() >= MIN_CHUNKS_TO_SHARE ? chunks.size() / 2 : 0;
    if (half == 0) {
        BoxChunks(0, chunks.size());
        return;
    }
    std::exception_ptr failure;
    std::thread helper([&]() {
        try {
            BoxChunks(half, chunks.size());
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        BoxChunks(0, half);
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (failure != nullptr)
        std::rethrow_exception(failure);
}

void CPathRaster::BoxChunks(std::size_t firstChunk, std::size_t endChunk)
{
    const std::size_t count = table.GetCount();
    const std::vector<CArcRecord>& arcs = table.GetArcs();
    std::size_t arc = static_cast<std::size_t>(
        std::lower_bound(arcs.begin(), arcs.end(), firstChunk * CHUNK_MOVES,
                         [](const CArcRecord& record, std::size_t move) { return record.move < move; }) -
        arcs.begin());
    for (std::size_t chunk = firstChunk; chunk < endChunk; ++chunk) {
        const std::size_t first = chunk * CHUNK_MOVES;
        const std::size_t end = std::min(count, first + CHUNK_MOVES);
        const CMovePoint start = table.GetStart(first);
        CBox box{start, start};
        for (std::size_t move = first; move < end; ++move)
            AddToBox(box, table.GetEnd(move));
        for (; arc < arcs.size() && arcs[arc].move < end; ++arc) {
            if (arcs[arc].move >= first)
                AddArcToBox(box, arcs[arc].move, arcs[arc]);
        }
        chunks[chunk] = box;
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
    const CMovePoint start = table.GetStart(move);
    const CMovePoint end = table.GetEnd(move);
    const ArcAxes& axes = AxesOfPlane(arc.plane);
    const double radius = CArcShape(arc, start, end).GetLargerRadius();
    const double startLinear = AxisValue(start, axes.linear);
    const double endLinear = AxisValue(end, axes.linear);
    CBox box;
    box.min = FromPlane(axes, arc.centerFirst - radius, arc.centerSecond - radius, std::min(startLinear, endLinear));
    box.max = FromPlane(axes, arc.centerFirst + radius, arc.centerSecond + radius, std::max(startLinear, endLinear));
    return box;
}

void CPathRaster::AddArcToBox(CBox& box, std::size_t move, const CArcRecord& arc) const
{
    const CBox arcBox = ArcBox(move, arc);
    AddToBox(box, arcBox.min);
    AddToBox(box, arcBox.max);
}

CRasterResult CPathRaster::Draw(const CPathView& view, CMoveIdImage& image, const std::atomic<bool>* cancel,
                                std::size_t firstMove) const
{
    image.Clear();
    std::atomic<std::size_t> nextChunk{firstMove / CHUNK_MOVES};
    return DrawChunks(view, image, cancel, firstMove, nextChunk);
}

CRasterResult CPathRaster::DrawOnThreads(const CPathView& view, CMoveIdImage& image, unsigned threads,
                                         const std::atomic<bool>* cancel, std::size_t firstMove) const
{
    const std::size_t firstChunk = firstMove / CHUNK_MOVES;
    const std::size_t chunksLeft = firstChunk < chunks.size() ? chunks.size() - firstChunk : 0;
    // No more threads than chunks to share.
    const std::size_t helpers =
        std::min<std::size_t>(threads > 0 ? threads - 1 : 0, chunksLeft > 0 ? chunksLeft - 1 : 0);
    if (helpers == 0 || image.GetWidth() == 0 || image.GetHeight() == 0)
        return Draw(view, image, cancel, firstMove);
    image.Clear();
    // Which thread draws a chunk does not matter: each chunk starts from its
    // first move's start point and each move from its own dash, so a chunk
    // draws the same pixels anywhere, and keeping the earlier move where
    // two images meet restores the order.
    std::vector<CMoveIdImage> helperImages(helpers);
    for (CMoveIdImage& helperImage : helperImages)
        helperImage.Resize(image.GetWidth(), image.GetHeight());
    std::vector<CRasterResult> helperResults(helpers);
    std::vector<std::exception_ptr> helperErrors(helpers);
    std::atomic<std::size_t> nextChunk{firstChunk};
    // A failing thread hands out the chunks left, so that the others stop
    // drawing what nobody will show.
    const auto giveUp = [&]() { nextChunk.store(chunks.size(), std::memory_order_relaxed); };
    std::vector<std::thread> workers;
    workers.reserve(helpers);
    try {
        for (std::size_t helper = 0; helper < helpers; ++helper) {
            workers.emplace_back([&, helper]() {
                try {
                    helperResults[helper] = DrawChunks(view, helperImages[helper], cancel, firstMove, nextChunk);
                } catch (...) {
                    helperErrors[helper] = std::current_exception();
                    giveUp();
                }
            });
        }
    } catch (...) {
        giveUp();
        for (std::thread& worker : workers)
            worker.join();
        throw;
    }
    CRasterResult result;
    std::exception_ptr error;
    try {
        result = DrawChunks(view, image, cancel, firstMove, nextChunk);
    } catch (...) {
        error = std::current_exception();
        giveUp();
    }
    for (std::thread& worker : workers)
        worker.join();
    if (error != nullptr)
        std::rethrow_exception(error);
    for (std::size_t helper = 0; helper < helpers; ++helper) {
        if (helperErrors[helper] != nullptr)
            std::rethrow_exception(helperErrors[helper]);
    }
    for (std::size_t helper = 0; helper < helpers; ++helper) {
        const CRasterResult& part = helperResults[helper];
        result.complete = result.complete && part.complete;
        result.chunksDrawn += part.chunksDrawn;
        result.chunksCulled += part.chunksCulled;
        result.segmentsDrawn += part.segmentsDrawn;
    }
    if (!result.complete)
        return result;
    for (const CMoveIdImage& helperImage : helperImages)
        image.KeepEarlier(helperImage);
    return result;
}

CRasterResult CPathRaster::DrawChunks(const CPathView& view, CMoveIdImage& image, const std::atomic<bool>* cancel,
                                      std::size_t firstMove, std::atomic<std::size_t>& nextChunk) const
{
    CRasterResult result;
    if (image.GetWidth() == 0 || image.GetHeight() == 0)
        return result;
    CTableDrawing drawing(table, view, image, result);
    const std::size_t count = std::min(table.GetCount(), CMoveIdImage::MAX_MOVES);
    for (;;) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            result.complete = false;
            return result;
        }
        const std::size_t chunk = nextChunk.fetch_add(1, std::memory_order_relaxed);
        if (chunk >= chunks.size())
            break;
        const std::size_t first = chunk * CHUNK_MOVES;
        if (first >= count)
            break;
        if (!BoxMeetsImage(view, chunks[chunk].min, chunks[chunk].max, image.GetWidth(), image.GetHeight())) {
            ++result.chunksCulled;
            continue;
        }
        ++result.chunksDrawn;
        const std::size_t drawnFirst = std::max(first, firstMove);
        const std::size_t drawnEnd = std::min(count, first + CHUNK_MOVES);
        if (drawnFirst < drawnEnd)
            drawing.DrawMoves(drawnFirst, drawnEnd);
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
        const CRasterArc geometry(table.GetArcs()[static_cast<std::size_t>(arc)], table.GetStart(move),
                                  table.GetEnd(move));
        const double stretch = view.GetScale() * PROJECTION_STRETCH[view.GetProjection()];
        geometry.ForEachInnerPoint(geometry.CountChords(stretch),
                                   [&](const CMovePoint& point) { points.push_back(view.Project(point)); });
    }
    points.push_back(view.Project(table.GetEnd(move)));
}
