#include "moves_outside_box.h"

#include <algorithm>
#include <vector>

namespace {

// Rounding in the box or the path must not make a move on its edge a finding.
constexpr double OUTSIDE_TOLERANCE = 1e-9;

} // namespace

bool IsPointOutsideBox(const SweepPoint& point, const CStockBox& box)
{
    if (point[2] >= box.z1 - OUTSIDE_TOLERANCE)
        return false;
    return point[0] < box.x0 - OUTSIDE_TOLERANCE || point[0] > box.x1 + OUTSIDE_TOLERANCE ||
           point[1] < box.y0 - OUTSIDE_TOLERANCE || point[1] > box.y1 + OUTSIDE_TOLERANCE ||
           point[2] < box.z0 - OUTSIDE_TOLERANCE;
}

CMovesOutsideBox FindMovesOutsideBox(const CMoveTable& table, const CStockBox& box, bool stopAtFirst,
                                     const std::atomic<bool>* cancel)
{
    CMovesOutsideBox found;
    std::vector<SweepPoint> points;
    for (std::size_t move = 0; move < table.GetCount(); ++move) {
        if (IsCancelledAt(move, cancel))
            break;
        const MoveKind kind = table.GetKind(move);
        if (kind == MOVE_RAPID)
            continue;
        const CMovePoint start = table.GetStart(move);
        const CMovePoint end = table.GetEnd(move);
        const SweepPoint from{start.x, start.y, start.z};
        const SweepPoint to{end.x, end.y, end.z};
        const std::ptrdiff_t arc = IsArcKind(kind) ? table.FindArc(move) : -1;
        points.clear();
        if (arc >= 0 && (table.GetFlags(move) & MOVE_ERROR) == 0)
            MoveChords::BuildExtremes(from, to, table.GetArcs()[static_cast<std::size_t>(arc)], points);
        else
            points = {from, to};
        const auto outside = std::find_if(points.begin(), points.end(),
                                          [&box](const SweepPoint& point) { return IsPointOutsideBox(point, box); });
        if (outside == points.end())
            continue;
        if (found.count == 0) {
            found.firstMove = move;
            found.firstPoint = *outside;
        }
        ++found.count;
        if (stopAtFirst)
            break;
    }
    return found;
}
