// The geometry of one arc in its plane, the same for the path, its picture
// and the workpiece's chords: radii, directions and angles, points along the
// arc, the chords that stay within a tolerance of it, and where it turns
// along its plane's axes. The radius changes evenly with the angle (a spiral
// when the ends lie at different distances from the centre). Every sine,
// cosine, arc tangent and hypotenuse is the portable one, so each system
// computes the same bits. Finding the centre from a program's words is the
// path builder's; what the points are used for is the caller's.
#pragma once

#include <cmath>
#include <cstddef>

#include "move_table.h"
#include "portable_math.h"

// Axis numbers 0 = X, 1 = Y, 2 = Z of a plane's first, second and normal
// (linear) axis.
struct ArcAxes {
    std::size_t first;
    std::size_t second;
    std::size_t linear;
};

// XY (X, Y, Z), XZ (Z, X, Y), YZ (Y, Z, X); any other value counts as XY.
const ArcAxes& AxesOfPlane(ArcPlane plane);

// A point's coordinate on an axis, and the point of a plane's coordinates.
double AxisValue(const CMovePoint& point, std::size_t axis);
CMovePoint FromPlane(const ArcAxes& axes, double first, double second, double linear);

// The angle from (x0, y0) to (x1, y1) about the origin in the given sense:
// (0, 2 pi] counter-clockwise, [-2 pi, 0) clockwise. The same direction
// counts as a whole turn. Cross and dot products keep quarter turns exact.
double SweepBetween(double x0, double y0, double x1, double y1, bool clockwise);

// The angle of a chord that strays at most tolerance from a circle of
// radius reach: pi for a circle within the tolerance of its centre.
double ChordAngle(double reach, double tolerance);

class CArcShape {
public:
    // The start and end as offsets from the centre in the plane, and the
    // sweep in radians (positive counter-clockwise).
    CArcShape(double startFirst, double startSecond, double endFirst, double endSecond, double sweep);
    // The arc of a move table's record from its move's start to its end.
    CArcShape(const CArcRecord& arc, const CMovePoint& start, const CMovePoint& end);

    double GetStartRadius() const { return startRadius; }
    double GetEndRadius() const { return endRadius; }
    double GetLargerRadius() const { return startRadius > endRadius ? startRadius : endRadius; }
    double GetSweep() const { return sweep; }
    // Radii, directions and sweep are all finite numbers.
    bool IsFinite() const;

    // The start's direction from the centre as an angle in [-pi, pi].
    double GetStartAngle() const { return PortableAtan2(startSecond, startFirst); }
    // The cosine and sine of the start and end directions, from the
    // coordinates (no trigonometry).
    double GetStartCos() const { return startCos; }
    double GetStartSin() const { return startSin; }
    double GetEndCos() const { return endCos; }
    double GetEndSin() const { return endSin; }

    // The offset from the centre at fraction along in [0, 1] of the sweep.
    void PointAt(double along, double& first, double& second) const;

    // Enough chords that none strays more than tolerance from the arc (a
    // spiral's bend counted on top), at least 1, at most maxChords.
    std::size_t CountChords(double tolerance, std::size_t maxChords) const;

    // Calls point(first, second, along) with the offset from the centre of
    // the end of every chord but the last, whose end is the move's own.
    // Turning a unit vector chord by chord costs no sine or cosine per
    // point; the rounding gathered over even the most chords stays some
    // orders of magnitude below any chord tolerance.
    template <class PointFunction>
    void ForEachInnerPoint(std::size_t chords, PointFunction point) const
    {
        if (chords <= 1)
            return;
        const double stepAngle = sweep / static_cast<double>(chords);
        const double stepCos = PortableCos(stepAngle);
        const double stepSin = PortableSin(stepAngle);
        double directionCos = startCos;
        double directionSin = startSin;
        for (std::size_t chord = 1; chord < chords; ++chord) {
            const double turnedCos = directionCos * stepCos - directionSin * stepSin;
            directionSin = directionSin * stepCos + directionCos * stepSin;
            directionCos = turnedCos;
            const double along = static_cast<double>(chord) / static_cast<double>(chords);
            const double radius = startRadius + along * (endRadius - startRadius);
            point(radius * directionCos, radius * directionSin, along);
        }
    }

    // Calls crossing(direction, along) for every point where the arc's
    // direction from the centre is +first (direction 0), +second (1),
    // -first (2) or -second (3): the points where a circle turns along an
    // axis. Directions in that order, each one's crossings in the order of
    // the sweep; along in [0, 1].
    template <class CrossingFunction>
    void ForEachAxisCrossing(CrossingFunction crossing) const
    {
        constexpr double PI = 3.14159265358979323846;
        constexpr double FULL_TURN = 2.0 * PI;
        if (sweep == 0.0)
            return;
        const double startAngle = GetStartAngle();
        const double endAngle = startAngle + sweep;
        const double low = startAngle < endAngle ? startAngle : endAngle;
        const double high = startAngle < endAngle ? endAngle : startAngle;
        for (int direction = 0; direction < 4; ++direction) {
            const double directionAngle = static_cast<double>(direction) * (PI / 2.0);
            for (double angle = directionAngle + std::ceil((low - directionAngle) / FULL_TURN) * FULL_TURN;
                 angle <= high; angle += FULL_TURN) {
                const double along = (angle - startAngle) / sweep;
                crossing(direction, along < 0.0 ? 0.0 : along > 1.0 ? 1.0 : along);
            }
        }
    }

private:
    void SetDirections(double startFirst, double startSecond, double endFirst, double endSecond);

    double startFirst;
    double startSecond;
    double sweep;
    double startRadius = 0.0;
    double endRadius = 0.0;
    double startCos = 1.0;
    double startSin = 0.0;
    double endCos = 1.0;
    double endSin = 0.0;
};
