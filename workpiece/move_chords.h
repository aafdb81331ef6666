// A move of the move table as the straight pieces the tool is swept along:
// lines, parables, threads and arcs that cannot be made as one piece, exact
// arcs, helices and spirals as chords that stray from the curve by less than
// a quarter of the cutting tolerance. The sweep of a piece is the tool sweep's.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "move_table.h"

using SweepPoint = std::array<double, 3>;

class CMoveChords {
public:
    // The most a chord strays from its arc, in program units.
    static constexpr double CHORD_TOLERANCE = 2.5e-4;
    // A bound for absurdly large arcs, which then stray further.
    static constexpr std::size_t MAX_CHORDS = std::size_t{1} << 17;

    // Fills points with the move's polyline, start and end included (two
    // points for a straight move). Empty when a coordinate is not finite:
    // such a move cannot be swept.
    static void Build(const CMoveTable& table, std::size_t move, std::vector<SweepPoint>& points);
    // The same for a move known to be the arc record.
    static void BuildArc(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc,
                         std::vector<SweepPoint>& points);
    // The points of an arc where it turns along either axis of its plane
    // (exact for a circle, found by iteration for a spiral), and its ends:
    // the bounds of these are the arc's bounds.
    static void BuildExtremes(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc,
                              std::vector<SweepPoint>& points);
    // The exact point of an arc at fraction along in [0, 1]: angle, radius and
    // linear axis all change evenly.
    static SweepPoint ArcPoint(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc, double along);
};
