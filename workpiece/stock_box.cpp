#include "stock_box.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "move_chords.h"
#include "move_tools.h"

namespace {

constexpr double DEFAULT_TOP = 0.0;
constexpr double DEFAULT_DEPTH = 10.0;
constexpr double DEFAULT_SIDE = 100.0;
// The bottom lies this far below the path's lowest point.
constexpr double BOTTOM_MARGIN = 1.0;
// Around the path the block stands out by a tenth of its longer side, at
// least this much, so that a pocket is left with walls.
constexpr double SIDE_MARGIN_MINIMUM = 1.0;
constexpr double SIDE_MARGIN_SHARE = 0.1;

struct Bounds {
    SweepPoint min{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    SweepPoint max{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    bool any = false;

    void Add(const SweepPoint& point)
    {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            min[axis] = std::min(min[axis], point[axis]);
            max[axis] = std::max(max[axis], point[axis]);
        }
        any = true;
    }
};

bool IsFinite(const SweepPoint& point)
{
    return std::isfinite(point[0]) && std::isfinite(point[1]) && std::isfinite(point[2]);
}

SweepPoint ToSweepPoint(const CMovePoint& point)
{
    return {point.x, point.y, point.z};
}

} // namespace

bool CStockBox::IsValid() const
{
    for (const double value : {x0, y0, z0, x1, y1, z1}) {
        if (!std::isfinite(value))
            return false;
    }
    return x0 < x1 && y0 < y1 && z0 < z1;
}

bool CStockBox::operator==(const CStockBox& other) const
{
    return x0 == other.x0 && y0 == other.y0 && z0 == other.z0 && x1 == other.x1 && y1 == other.y1 &&
           z1 == other.z1;
}

CStockBox CStockBox::FitToPath(const CMoveTable& table, const CWordList& words, const CToolTable& tools,
                               const std::atomic<bool>* cancel)
{
    const CMoveTools moveTools(words);
    Bounds cutting;
    Bounds all;
    double largestRadius = 0.0;
    std::vector<SweepPoint> points;
    std::size_t nextToolWord = 0;
    double radius = tools.GetDefaultTool().GetRadius();
    for (std::size_t move = 0; move < table.GetCount(); ++move) {
        if (IsCancelledAt(move, cancel))
            return CStockBox{0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        // End words ascend with the move: walk the T words alongside.
        while (nextToolWord < moveTools.GetWordCount() &&
               moveTools.GetPosition(nextToolWord) <= table.GetEndWord(move)) {
            radius = tools.Find(moveTools.GetNumber(nextToolWord)).GetRadius();
            ++nextToolWord;
        }
        const SweepPoint start = ToSweepPoint(table.GetStart(move));
        const SweepPoint end = ToSweepPoint(table.GetEnd(move));
        if (!IsFinite(start) || !IsFinite(end))
            continue;
        largestRadius = std::max(largestRadius, radius);
        const MoveKind kind = table.GetKind(move);
        const std::ptrdiff_t arc = IsArcKind(kind) ? table.FindArc(move) : -1;
        points.clear();
        if (arc >= 0 && (table.GetFlags(move) & MOVE_ERROR) == 0)
            MoveChords::BuildExtremes(start, end, table.GetArcs()[static_cast<std::size_t>(arc)], points);
        else
            points = {start, end};
        const bool rapid = kind == MOVE_RAPID;
        for (const SweepPoint& point : points) {
            if (!IsFinite(point))
                continue;
            all.Add(point);
            if (!rapid)
                cutting.Add(point);
        }
    }
    CStockBox box;
    if (!all.any)
        return CStockBox{0.0, 0.0, DEFAULT_TOP - DEFAULT_DEPTH, DEFAULT_SIDE, DEFAULT_SIDE, DEFAULT_TOP};
    const Bounds& sides = cutting.any ? cutting : all;
    const double longerSide = std::max(sides.max[0] - sides.min[0], sides.max[1] - sides.min[1]);
    const double widen = largestRadius + std::max(SIDE_MARGIN_MINIMUM, longerSide * SIDE_MARGIN_SHARE);
    box.x0 = sides.min[0] - widen;
    box.y0 = sides.min[1] - widen;
    box.x1 = sides.max[0] + widen;
    box.y1 = sides.max[1] + widen;
    box.z1 = DEFAULT_TOP;
    box.z0 = all.min[2] < DEFAULT_TOP ? all.min[2] - BOTTOM_MARGIN : DEFAULT_TOP - DEFAULT_DEPTH;
    return box;
}
