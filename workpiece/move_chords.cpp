#include "move_chords.h"

#include <algorithm>
#include <cmath>

#include "arc_geometry.h"

namespace {

CMovePoint ToMovePoint(const SweepPoint& point) { return {point[0], point[1], point[2]}; }

SweepPoint ToSweepPoint(const CMovePoint& point) { return {point.x, point.y, point.z}; }

bool IsFinite(const SweepPoint& point)
{
    return std::isfinite(point[0]) && std::isfinite(point[1]) && std::isfinite(point[2]);
}

// An arc between two sweep points: its shape in its plane, the linear axis
// changing evenly from start to end.
class CChordArc {
public:
    CChordArc(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc)
        : start(start), end(end), arc(arc), axes(AxesOfPlane(arc.plane)),
          shape(arc, ToMovePoint(start), ToMovePoint(end))
    {
    }

    const CArcShape& GetShape() const { return shape; }

    SweepPoint FromPlane(double first, double second, double along) const
    {
        SweepPoint point{};
        point[axes.first] = arc.centerFirst + first;
        point[axes.second] = arc.centerSecond + second;
        point[axes.linear] = start[axes.linear] + along * (end[axes.linear] - start[axes.linear]);
        return point;
    }

    SweepPoint PointAt(double along) const
    {
        double first = 0.0;
        double second = 0.0;
        shape.PointAt(along, first, second);
        return FromPlane(first, second, along);
    }

private:
    const SweepPoint& start;
    const SweepPoint& end;
    const CArcRecord& arc;
    const ArcAxes& axes;
    const CArcShape shape;
};

} // namespace

double MoveChords::ToleranceForCell(double cell)
{
    const double tenth = cell / 10.0;
    return tenth > 0.0 && tenth < MAX_TOLERANCE ? tenth : MAX_TOLERANCE;
}

void MoveChords::BuildArc(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc, double tolerance,
                          std::vector<SweepPoint>& points)
{
    points.clear();
    const CChordArc chordArc(start, end, arc);
    const CArcShape& shape = chordArc.GetShape();
    if (!IsFinite(start) || !IsFinite(end) || !std::isfinite(arc.centerFirst) || !std::isfinite(arc.centerSecond) ||
        !shape.IsFinite())
        return;
    const std::size_t chords = shape.CountChords(tolerance, MAX_CHORDS);
    points.reserve(chords + 1);
    points.push_back(start);
    shape.ForEachInnerPoint(chords, [&](double first, double second, double along) {
        points.push_back(chordArc.FromPlane(first, second, along));
    });
    // The end as the table holds it, not as the trigonometry rounds it.
    points.push_back(end);
}

double MoveChords::Build(const CMoveTable& table, std::size_t move, double tolerance, std::vector<SweepPoint>& points)
{
    const SweepPoint start = ToSweepPoint(table.GetStart(move));
    const SweepPoint end = ToSweepPoint(table.GetEnd(move));
    const MoveKind kind = table.GetKind(move);
    if (IsArcKind(kind) && (table.GetFlags(move) & MOVE_ERROR) == 0) {
        const std::ptrdiff_t arc = table.FindArc(move);
        if (arc >= 0) {
            BuildArc(start, end, table.GetArcs()[static_cast<std::size_t>(arc)], tolerance, points);
            return tolerance;
        }
    }
    points.clear();
    if (!IsFinite(start) || !IsFinite(end))
        return 0.0;
    points.push_back(start);
    points.push_back(end);
    return 0.0;
}

CTool MoveChords::WidenedTool(const CTool& tool, double widening)
{
    return CTool{tool.shape, tool.diameter + 2.0 * widening};
}

void MoveChords::BuildExtremes(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc,
                               std::vector<SweepPoint>& points)
{
    constexpr int REFINE_STEPS = 6;
    points.clear();
    points.push_back(start);
    points.push_back(end);
    const CChordArc chordArc(start, end, arc);
    const CArcShape& shape = chordArc.GetShape();
    const double sweep = shape.GetSweep();
    if (!shape.IsFinite() || sweep == 0.0)
        return;
    // The radius's change per radian of angle, in the sense of growing angle.
    const double radiusSlope = (shape.GetEndRadius() - shape.GetStartRadius()) / sweep;
    shape.ForEachAxisCrossing([&](int, double crossing) {
        points.push_back(chordArc.PointAt(crossing));
        if (radiusSlope == 0.0)
            return;
        // A spiral reaches farthest a little off the crossing, where
        // tan(angle - direction) = slope / radius.
        double along = crossing;
        for (int step = 0; step < REFINE_STEPS; ++step) {
            const double radius = shape.GetStartRadius() + along * (shape.GetEndRadius() - shape.GetStartRadius());
            if (!(radius > 0.0))
                break;
            along = std::clamp(crossing + PortableAtan2(radiusSlope, radius) / sweep, 0.0, 1.0);
        }
        points.push_back(chordArc.PointAt(along));
    });
}
