// A move of the move table as the straight pieces the tool is swept along:
// lines, parables, threads and arcs that cannot be made as one piece, exact
// arcs, helices and spirals as chords that stray from the curve by at most a
// tolerance that follows the grid's cell. The chords of an arc lie inside
// it, so its tool is widened by the tolerance: the sweep then takes away
// all that the exact arc takes, and at most twice the tolerance more. The
// sweep of a piece is the tool sweep's.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "move_table.h"
#include "tool_table.h"

using SweepPoint = std::array<double, 3>;

namespace MoveChords {

// The chord tolerance is a tenth of a cell, so that the chords' corners
// vanish between the cells' centres, but at most this much (program units),
// so that the widened sweep stays within a thousandth of the exact one.
constexpr double MAX_TOLERANCE = 5e-4;
// A bound for absurdly large arcs, which then stray further.
constexpr std::size_t MAX_CHORDS = std::size_t{1} << 17;

// The chord tolerance for a grid of that cell edge.
double ToleranceForCell(double cell);

// Fills points with the move's polyline, start and end included (two
// points for a straight move). Empty when a coordinate is not finite: such
// a move cannot be swept. Returns how much the tool must be widened for the
// polyline: tolerance for an exact arc, 0 for a straight move.
double Build(const CMoveTable& table, std::size_t move, double tolerance, std::vector<SweepPoint>& points);
// The same for a move known to be the arc record.
void BuildArc(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc, double tolerance,
              std::vector<SweepPoint>& points);
// The tool that sweeps an arc's chords: its radius larger by widening.
CTool WidenedTool(const CTool& tool, double widening);

// The points of an arc where it turns along either axis of its plane
// (exact for a circle, found by iteration for a spiral), and its ends: the
// bounds of these are the arc's bounds.
void BuildExtremes(const SweepPoint& start, const SweepPoint& end, const CArcRecord& arc,
                   std::vector<SweepPoint>& points);

} // namespace MoveChords
