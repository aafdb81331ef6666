#include "move_chords.h"

#include <algorithm>
#include <cmath>

namespace {

struct PlaneAxes {
    std::size_t first;
    std::size_t second;
    std::size_t linear;
};

// By ArcPlane: XY (X, Y, Z), XZ (Z, X, Y), YZ (Y, Z, X).
constexpr PlaneAxes planeAxes[] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};

SweepPoint ToSweepPoint(const CMovePoint& point)
{
    return {point.x, point.y, point.z};
}

bool IsFinite(const SweepPoint& point)
{
    return std::isfinite(point[0]) && std::isfinite(point[1]) && std::isfinite(point[2]);
}

struct ArcFrame {
    PlaneAxes axes;
    double centerFirst;
    double centerSecond;
    double startAngle;
    double startRadius;
    double endRadius;
};

ArcFrame MakeFrame(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc)
{
    ArcFrame frame{planeAxes[arc.plane <= ARC_PLANE_YZ ? arc.plane : ARC_PLANE_XY], static_cast<double>(arc.centerFirst),
                   static_cast<double>(arc.centerSecond), 0.0, 0.0, 0.0};
    const double startFirst = start[frame.axes.first] - frame.centerFirst;
    const double startSecond = start[frame.axes.second] - frame.centerSecond;
    frame.startAngle = std::atan2(startSecond, startFirst);
    frame.startRadius = std::hypot(startFirst, startSecond);
    frame.endRadius =
        std::hypot(end[frame.axes.first] - frame.centerFirst, end[frame.axes.second] - frame.centerSecond);
    return frame;
}

SweepPoint PointOnFrame(const ArcFrame& frame, const SweepPoint& start, const SweepPoint& end, double sweep,
                        double along)
{
    const double angle = frame.startAngle + along * sweep;
    const double radius = frame.startRadius + along * (frame.endRadius - frame.startRadius);
    SweepPoint point{};
    point[frame.axes.first] = frame.centerFirst + radius * std::cos(angle);
    point[frame.axes.second] = frame.centerSecond + radius * std::sin(angle);
    point[frame.axes.linear] = start[frame.axes.linear] + along * (end[frame.axes.linear] - start[frame.axes.linear]);
    return point;
}

} // namespace

SweepPoint CMoveChords::ArcPoint(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc, double along)
{
    return PointOnFrame(MakeFrame(start, end, arc), start, end, static_cast<double>(arc.sweep), along);
}

void CMoveChords::BuildArc(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc,
                           std::vector<SweepPoint>& points)
{
    points.clear();
    const ArcFrame frame = MakeFrame(start, end, arc);
    const double sweep = static_cast<double>(arc.sweep);
    if (!IsFinite(start) || !IsFinite(end) || !std::isfinite(frame.centerFirst) ||
        !std::isfinite(frame.centerSecond) || !std::isfinite(sweep) || !std::isfinite(frame.startRadius) ||
        !std::isfinite(frame.endRadius))
        return;
    // A chord of angle a on radius R strays R (1 - cos(a / 2)); a spiral's
    // changing radius bends it by at most the change, counted on top.
    const double reach =
        std::max(frame.startRadius, frame.endRadius) + std::fabs(frame.endRadius - frame.startRadius);
    std::size_t chords = 1;
    if (reach > CHORD_TOLERANCE) {
        const double step = 2.0 * std::acos(1.0 - CHORD_TOLERANCE / reach);
        const double wanted = std::ceil(std::fabs(sweep) / step);
        chords = wanted >= static_cast<double>(MAX_CHORDS) ? MAX_CHORDS
                                                           : std::max<std::size_t>(1, static_cast<std::size_t>(wanted));
    }
    points.reserve(chords + 1);
    points.push_back(start);
    // Turning a unit vector chord by chord costs no sine or cosine per point;
    // the rounding this gathers over even the most chords stays far below
    // the chord tolerance.
    const double stepAngle = sweep / static_cast<double>(chords);
    const double stepCos = std::cos(stepAngle);
    const double stepSin = std::sin(stepAngle);
    double directionCos = std::cos(frame.startAngle);
    double directionSin = std::sin(frame.startAngle);
    for (std::size_t chord = 1; chord < chords; ++chord) {
        const double turnedCos = directionCos * stepCos - directionSin * stepSin;
        directionSin = directionSin * stepCos + directionCos * stepSin;
        directionCos = turnedCos;
        const double along = static_cast<double>(chord) / static_cast<double>(chords);
        const double radius = frame.startRadius + along * (frame.endRadius - frame.startRadius);
        SweepPoint point{};
        point[frame.axes.first] = frame.centerFirst + radius * directionCos;
        point[frame.axes.second] = frame.centerSecond + radius * directionSin;
        point[frame.axes.linear] = start[frame.axes.linear] + along * (end[frame.axes.linear] - start[frame.axes.linear]);
        points.push_back(point);
    }
    // The end as the table holds it, not as the trigonometry rounds it.
    points.push_back(end);
}

void CMoveChords::Build(const CMoveTable& table, std::size_t move, std::vector<SweepPoint>& points)
{
    const SweepPoint start = ToSweepPoint(table.GetStart(move));
    const SweepPoint end = ToSweepPoint(table.GetEnd(move));
    const MoveKind kind = table.GetKind(move);
    if (IsArcKind(kind) && (table.GetFlags(move) & MOVE_ERROR) == 0) {
        const std::ptrdiff_t arc = table.FindArc(move);
        if (arc >= 0) {
            BuildArc(start, end, table.GetArcs()[static_cast<std::size_t>(arc)], points);
            return;
        }
    }
    points.clear();
    if (!IsFinite(start) || !IsFinite(end))
        return;
    points.push_back(start);
    points.push_back(end);
}

void CMoveChords::BuildExtremes(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc,
                                std::vector<SweepPoint>& points)
{
    constexpr double PI = 3.14159265358979323846;
    constexpr int REFINE_STEPS = 6;
    points.clear();
    points.push_back(start);
    points.push_back(end);
    const ArcFrame frame = MakeFrame(start, end, arc);
    const double sweep = static_cast<double>(arc.sweep);
    if (!std::isfinite(sweep) || sweep == 0.0 || !std::isfinite(frame.startAngle) ||
        !std::isfinite(frame.endRadius))
        return;
    const double low = std::min(frame.startAngle, frame.startAngle + sweep);
    const double high = std::max(frame.startAngle, frame.startAngle + sweep);
    // The radius's change per radian of angle, in the sense of growing angle.
    const double radiusSlope = (frame.endRadius - frame.startRadius) / sweep;
    const auto along = [&](double angle) { return std::clamp((angle - frame.startAngle) / sweep, 0.0, 1.0); };
    for (int direction = 0; direction < 4; ++direction) {
        const double directionAngle = direction * (PI / 2.0);
        for (double crossing = directionAngle + std::ceil((low - directionAngle) / (2.0 * PI)) * (2.0 * PI);
             crossing <= high; crossing += 2.0 * PI) {
            points.push_back(PointOnFrame(frame, start, end, sweep, along(crossing)));
            if (radiusSlope == 0.0)
                continue;
            // A spiral reaches farthest a little off the crossing, where
            // tan(angle - direction) = slope / radius.
            double angle = crossing;
            for (int step = 0; step < REFINE_STEPS; ++step) {
                const double radius = frame.startRadius + along(angle) * (frame.endRadius - frame.startRadius);
                if (!(radius > 0.0))
                    break;
                angle = crossing + std::atan(radiusSlope / radius);
            }
            points.push_back(PointOnFrame(frame, start, end, sweep, along(angle)));
        }
    }
}
