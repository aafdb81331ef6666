#include "arc_geometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double FULL_TURN = 2.0 * PI;
// Below this share of the radius the chord count takes the arc tangent.
constexpr double MIN_BOUNDED_SHARE = 1e-100;

// By ArcPlane.
constexpr ArcAxes planeAxes[] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};

} // namespace

const ArcAxes& AxesOfPlane(ArcPlane plane) { return planeAxes[plane <= ARC_PLANE_YZ ? plane : ARC_PLANE_XY]; }

double AxisValue(const CMovePoint& point, std::size_t axis)
{
    return axis == 0 ? point.x : axis == 1 ? point.y : point.z;
}

CMovePoint FromPlane(const ArcAxes& axes, double first, double second, double linear)
{
    double values[3] = {};
    values[axes.first] = first;
    values[axes.second] = second;
    values[axes.linear] = linear;
    return {values[0], values[1], values[2]};
}

double SweepBetween(double x0, double y0, double x1, double y1, bool clockwise)
{
    double angle = PortableAtan2(x0 * y1 - y0 * x1, x0 * x1 + y0 * y1);
    if (clockwise) {
        if (angle >= 0.0)
            angle -= FULL_TURN;
    } else if (angle <= 0.0) {
        angle += FULL_TURN;
    }
    return angle;
}

double ChordAngle(double reach, double tolerance)
{
    // A chord of angle a on radius R strays R (1 - cos(a / 2)); with
    // q = tolerance / R, a / 2 = acos(1 - q) = atan2(sqrt(q (2 - q)), 1 - q).
    const double share = tolerance / reach;
    if (!(share < 1.0))
        return PI;
    return 2.0 * PortableAtan2(std::sqrt(share * (2.0 - share)), 1.0 - share);
}

CArcShape::CArcShape(double startFirst, double startSecond, double endFirst, double endSecond, double sweep)
    : startFirst(startFirst), startSecond(startSecond), sweep(sweep)
{
    SetDirections(startFirst, startSecond, endFirst, endSecond);
}

CArcShape::CArcShape(const CArcRecord& arc, const CMovePoint& start, const CMovePoint& end)
    : startFirst(0.0), startSecond(0.0), sweep(arc.sweep)
{
    const ArcAxes& axes = AxesOfPlane(arc.plane);
    startFirst = AxisValue(start, axes.first) - arc.centerFirst;
    startSecond = AxisValue(start, axes.second) - arc.centerSecond;
    SetDirections(startFirst, startSecond, AxisValue(end, axes.first) - arc.centerFirst,
                  AxisValue(end, axes.second) - arc.centerSecond);
}

void CArcShape::SetDirections(double first, double second, double endFirst, double endSecond)
{
    startRadius = PortableHypot(first, second);
    endRadius = PortableHypot(endFirst, endSecond);
    // An end on the centre keeps the direction of the other end.
    if (startRadius > 0.0) {
        startCos = first / startRadius;
        startSin = second / startRadius;
    }
    if (endRadius > 0.0) {
        endCos = endFirst / endRadius;
        endSin = endSecond / endRadius;
    } else {
        endCos = startCos;
        endSin = startSin;
    }
    if (!(startRadius > 0.0)) {
        startCos = endCos;
        startSin = endSin;
    }
}

bool CArcShape::IsFinite() const
{
    return std::isfinite(startRadius) && std::isfinite(endRadius) && std::isfinite(sweep) &&
           std::isfinite(startCos) && std::isfinite(startSin);
}

void CArcShape::PointAt(double along, double& first, double& second) const
{
    const double turn = along * sweep;
    const double turnCos = PortableCos(turn);
    const double turnSin = PortableSin(turn);
    const double radius = startRadius + along * (endRadius - startRadius);
    first = radius * (startCos * turnCos - startSin * turnSin);
    second = radius * (startSin * turnCos + startCos * turnSin);
}

std::size_t CArcShape::CountChords(double tolerance, std::size_t maxChords) const
{
    // A spiral's changing radius bends a chord by at most the change.
    const double reach = GetLargerRadius() + std::fabs(endRadius - startRadius);
    // Most arcs of a whole program fit one chord at the scale it is seen
    // at; the arc tangent is not needed to tell. acos(1 - q) >= sqrt(2 q),
    // as cos t >= 1 - t^2 / 2, and the count below allows a millionth
    // where this bound and the arc tangent differ by rounding only. Far
    // from underflow, so that both agree that the chord angle is not 0.
    const double share = tolerance / reach;
    if (share >= MIN_BOUNDED_SHARE && share < 1.0 && std::fabs(sweep) <= 2.0 * std::sqrt(2.0 * share))
        return std::min<std::size_t>(1, maxChords);
    const double chordAngle = ChordAngle(reach, tolerance);
    // Rounding may carry a sweep of whole chords a hair past them.
    const double wanted = std::ceil(std::fabs(sweep) / chordAngle - 1e-6);
    if (!(wanted < static_cast<double>(maxChords)))
        return maxChords;
    return wanted < 1.0 ? 1 : static_cast<std::size_t>(wanted);
}
