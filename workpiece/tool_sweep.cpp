#include "tool_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Squared horizontal lengths below this count as a plunge straight down.
constexpr double PLUNGE_LENGTH_SQUARED = 1e-18;
// The rim belongs to the tool's reach; a cell centre on it must not be lost
// to the rounding of the squares, so the reach is widened by a hair.
constexpr double RIM_ALLOWANCE = 1e-12;

// The piece's data that every cell shares.
struct PieceFrame {
    double ax, ay, az;
    double bx, by, bz;
    double dx, dy, dz;
    double horizontalSquared;
    double radius;
    double reachSquared;
    // Ball only: the piece's unit direction and length in space.
    double ux, uy, uz;
    double length;

    PieceFrame(const SweepPoint& start, const SweepPoint& end, double toolRadius)
        : ax(start[0]), ay(start[1]), az(start[2]), bx(end[0]), by(end[1]), bz(end[2]), dx(bx - ax), dy(by - ay),
          dz(bz - az), horizontalSquared(dx * dx + dy * dy), radius(toolRadius),
          reachSquared(toolRadius * toolRadius * (1.0 + RIM_ALLOWANCE))
    {
        length = std::sqrt(horizontalSquared + dz * dz);
        ux = length > 0.0 ? dx / length : 0.0;
        uy = length > 0.0 ? dy / length : 0.0;
        uz = length > 0.0 ? dz / length : 0.0;
    }

    // The tip's height at fraction t, the end exact.
    double HeightAt(double t) const { return t >= 1.0 ? bz : az + t * dz; }

    bool LowestFlat(double x, double y, double& height) const
    {
        const double wx = x - ax;
        const double wy = y - ay;
        const double outside = wx * wx + wy * wy - reachSquared;
        if (horizontalSquared <= PLUNGE_LENGTH_SQUARED) {
            if (outside > 0.0)
                return false;
            height = std::min(az, bz);
            return true;
        }
        // |w - t d|^2 <= r^2 holds on one stretch of t; the height changes
        // evenly with t, so the lowest is at an end of the stretch in [0, 1].
        const double along = wx * dx + wy * dy;
        const double discriminant = along * along - horizontalSquared * outside;
        if (discriminant < 0.0)
            return false;
        const double root = std::sqrt(discriminant);
        const double enter = (along - root) / horizontalSquared;
        const double leave = (along + root) / horizontalSquared;
        if (leave < 0.0 || enter > 1.0)
            return false;
        height = std::min(HeightAt(std::max(enter, 0.0)), HeightAt(std::min(leave, 1.0)));
        return true;
    }

    bool LowestBall(double x, double y, double& height) const
    {
        bool found = false;
        double lowest = 0.0;
        const auto offer = [&found, &lowest](double candidate) {
            if (!found || candidate < lowest)
                lowest = candidate;
            found = true;
        };
        const double radiusSquared = radius * radius;
        const double wx = x - ax;
        const double wy = y - ay;
        const double startSquared = wx * wx + wy * wy;
        if (startSquared <= reachSquared)
            offer(az + radius - std::sqrt(std::max(0.0, radiusSquared - startSquared)));
        const double ex = x - bx;
        const double ey = y - by;
        const double endSquared = ex * ex + ey * ey;
        if (endSquared <= reachSquared)
            offer(bz + radius - std::sqrt(std::max(0.0, radiusSquared - endSquared)));
        if (horizontalSquared > PLUNGE_LENGTH_SQUARED) {
            // The point (x, y, az + r + s) lies at distance r from the line of
            // the ball centres where a s^2 - 2 b s + c = 0; the lower root
            // counts when its foot lies on the piece. Written to stay exact
            // when a is small (a steep piece).
            const double k = wx * ux + wy * uy;
            const double a = ux * ux + uy * uy;
            const double b = k * uz;
            const double c = startSquared - k * k - reachSquared;
            const double discriminant = b * b - a * c;
            if (discriminant >= 0.0) {
                const double root = std::sqrt(discriminant);
                const double lower = b > 0.0 ? c / (b + root) : (b - root) / a;
                const double foot = k + lower * uz;
                if (foot >= 0.0 && foot <= length)
                    offer(az + radius + lower);
            }
        }
        height = lowest;
        return found;
    }
};

// Widens a bound a hair outwards, so that a cell centre exactly on the
// tool's rim is not lost to rounding; the cell test itself is exact.
double Widen(double value, double direction)
{
    return value + direction * 1e-9 * (1.0 + std::fabs(value));
}

// Narrows [low, high] to where a x + b lies in [lower, upper]; a may be 0.
void ClampLinear(double a, double b, double lower, double upper, double& low, double& high)
{
    if (a == 0.0) {
        if (b < lower || b > upper)
            high = low - 1.0;
        return;
    }
    double first = (lower - b) / a;
    double second = (upper - b) / a;
    if (first > second)
        std::swap(first, second);
    low = std::max(low, first);
    high = std::min(high, second);
}

} // namespace

CToolSweep::CToolSweep(CHeightGrid& grid, std::size_t firstRow, std::size_t rowStep, std::uint32_t* stamps,
                       CSweepStop stop)
    : grid(grid), firstRow(firstRow), rowStep(rowStep), stamps(stamps), stop(stop)
{
}

std::size_t CToolSweep::FirstBandRow(std::size_t row) const
{
    if (row < firstRow)
        return firstRow;
    return row + (rowStep - (row - firstRow) % rowStep) % rowStep;
}

bool CToolSweep::FindColumns(const SweepPoint& start, const SweepPoint& end, double radius, double y,
                             std::size_t& first, std::size_t& last) const
{
    // The row meets the piece's reach (two discs joined by a band) in one
    // stretch of x: the union of what it meets of each part.
    double low = HUGE_VAL;
    double high = -HUGE_VAL;
    for (const SweepPoint* point : {&start, &end}) {
        const double offset = y - (*point)[1];
        const double half = radius * radius - offset * offset;
        if (half < 0.0)
            continue;
        const double root = std::sqrt(half);
        low = std::min(low, (*point)[0] - root);
        high = std::max(high, (*point)[0] + root);
    }
    const double dx = end[0] - start[0];
    const double dy = end[1] - start[1];
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length > 0.0) {
        const double cx = dx / length;
        const double cy = dy / length;
        double bandLow = -HUGE_VAL;
        double bandHigh = HUGE_VAL;
        const double wy = y - start[1];
        // Along the piece within [0, length], across it within r.
        ClampLinear(cx, wy * cy - start[0] * cx, 0.0, length, bandLow, bandHigh);
        ClampLinear(-cy, wy * cx + start[0] * cy, -radius, radius, bandLow, bandHigh);
        if (bandLow <= bandHigh) {
            low = std::min(low, bandLow);
            high = std::max(high, bandHigh);
        }
    }
    if (!(low <= high))
        return false;
    const CStockBox& box = grid.GetBox();
    const double cell = grid.GetCell();
    const double firstColumn = std::ceil((Widen(low, -1.0) - box.x0) / cell - 0.5);
    const double lastColumn = std::floor((Widen(high, 1.0) - box.x0) / cell - 0.5);
    const double columns = static_cast<double>(grid.GetColumns());
    if (!(lastColumn >= 0.0) || !(firstColumn < columns) || firstColumn > lastColumn)
        return false;
    first = static_cast<std::size_t>(std::max(firstColumn, 0.0));
    last = static_cast<std::size_t>(std::min(lastColumn, columns - 1.0));
    return true;
}

bool CToolSweep::Lower(const CTool& tool, const SweepPoint& start, const SweepPoint& end, CCellChanges& log)
{
    const double radius = tool.GetRadius();
    const CStockBox& box = grid.GetBox();
    const double cell = grid.GetCell();
    const double yLow = Widen(std::min(start[1], end[1]) - radius, -1.0);
    const double yHigh = Widen(std::max(start[1], end[1]) + radius, 1.0);
    const double rows = static_cast<double>(grid.GetRows());
    const double rowLow = std::ceil((yLow - box.y0) / cell - 0.5);
    const double rowHigh = std::floor((yHigh - box.y0) / cell - 0.5);
    if (!(rowHigh >= 0.0) || !(rowLow < rows) || rowLow > rowHigh)
        return true;
    std::size_t row = FirstBandRow(static_cast<std::size_t>(std::max(rowLow, 0.0)));
    const std::size_t lastRow = static_cast<std::size_t>(std::min(rowHigh, rows - 1.0));

    const PieceFrame frame(start, end, radius);
    const bool ball = tool.shape == TOOL_BALL;
    const double floor = box.z0;
    const std::size_t columns = grid.GetColumns();
    // No tool reaches below its tip: a cell already this low keeps its height.
    const double deepest = std::max(std::min(start[2], end[2]), floor);
    const double* heights = grid.GetData();
    for (; row <= lastRow; row += rowStep) {
        if (stop.IsSet())
            return false;
        const double y = grid.GetCenterY(row);
        std::size_t column = 0;
        std::size_t lastColumn = 0;
        if (!FindColumns(start, end, radius, y, column, lastColumn))
            continue;
        for (; column <= lastColumn; ++column) {
            if (heights[row * columns + column] <= deepest)
                continue;
            const double x = grid.GetCenterX(column);
            double reached = 0.0;
            if (!(ball ? frame.LowestBall(x, y, reached) : frame.LowestFlat(x, y, reached)))
                continue;
            LowerCell(row * columns + column, std::max(reached, floor), log);
        }
    }
    return true;
}

void CToolSweep::LowerCell(std::size_t index, double reached, CCellChanges& log)
{
    double* heights = grid.GetData();
    if (!(reached < heights[index]))
        return;
    if (stamps[index] != moveSerial) {
        stamps[index] = moveSerial;
        log.Add(static_cast<std::uint32_t>(index), heights[index]);
    }
    heights[index] = reached;
}

void CCellChanges::Add(std::uint32_t cell, double height)
{
    // Joined only when the heights agree to the bit: a step back must give
    // back a negative zero as it was.
    if (runs.size() > moveStart) {
        CCellRun& last = runs.back();
        if (last.cell + last.count == cell && std::memcmp(&last.height, &height, sizeof height) == 0) {
            ++last.count;
            return;
        }
    }
    runs.push_back(CCellRun{cell, 1, height});
}

// The cells a whole polyline may reach, and what its pieces' heights allow.
struct CToolSweep::CPolylineReach {
    double columnFrom = 0.0;
    double columnTo = -1.0;
    double rowFrom = 0.0;
    double rowTo = -1.0;
    // No tool reaches below its tip: a cell already this low keeps its height.
    double deepest = 0.0;
    bool falling = true;
    bool rising = true;
    // A flat tool reaches its tip's height, so where the tip's height only
    // falls (or only rises) along the pieces, the first piece from the low
    // end that reaches a cell holds its lowest point: no later one is lower.
    bool firstReachWins = false;

    CPolylineReach(const CHeightGrid& grid, const CTool& tool, const std::vector<SweepPoint>& points)
    {
        const double radius = tool.GetRadius();
        const CStockBox& box = grid.GetBox();
        const double cell = grid.GetCell();
        double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
        double high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
        for (const SweepPoint& point : points) {
            for (std::size_t axis = 0; axis < 3; ++axis) {
                low[axis] = std::min(low[axis], point[axis]);
                high[axis] = std::max(high[axis], point[axis]);
            }
        }
        deepest = std::max(low[2], box.z0);
        columnFrom = std::max(0.0, std::ceil((Widen(low[0] - radius, -1.0) - box.x0) / cell - 0.5));
        columnTo = std::min(static_cast<double>(grid.GetColumns()) - 1.0,
                            std::floor((Widen(high[0] + radius, 1.0) - box.x0) / cell - 0.5));
        rowFrom = std::max(0.0, std::ceil((Widen(low[1] - radius, -1.0) - box.y0) / cell - 0.5));
        rowTo = std::min(static_cast<double>(grid.GetRows()) - 1.0,
                         std::floor((Widen(high[1] + radius, 1.0) - box.y0) / cell - 0.5));
        for (std::size_t point = 1; point < points.size(); ++point) {
            falling = falling && points[point][2] <= points[point - 1][2];
            rising = rising && points[point][2] >= points[point - 1][2];
        }
        firstReachWins = tool.shape != TOOL_BALL && (falling || rising);
    }

    bool IsEmpty() const { return !(columnFrom <= columnTo && rowFrom <= rowTo); }
    double CountCells() const { return (columnTo - columnFrom + 1.0) * (rowTo - rowFrom + 1.0); }
};

namespace {

// Pieces grouped this many to a block for the cell-by-cell sweep.
constexpr std::size_t BLOCK_PIECES = 16;

struct VisitCounts {
    double pieceByPiece;
    double cellByCell;
};

// Piece by piece, every piece visits the cells it reaches; cell by cell,
// every cell asks the blocks of pieces near it, and stops at the first reach
// where that wins. A rough count of the visits of each.
template <typename Reach>
VisitCounts CountBothVisits(const CHeightGrid& grid, const CTool& tool, std::size_t pointCount, const Reach& reach)
{
    const double radius = tool.GetRadius();
    const double cell = grid.GetCell();
    const double pieceCount = static_cast<double>(pointCount - 1);
    const double footprint = (2.0 * radius / cell + 2.0) * (2.0 * radius / cell + 2.0);
    const double pieceVisits = pieceCount * footprint;
    const double boxCells = reach.CountCells();
    const double cellVisits = boxCells * (pieceCount / BLOCK_PIECES + 1.0) +
                              (reach.firstReachWins ? boxCells * BLOCK_PIECES : pieceVisits);
    return {pieceVisits, cellVisits};
}

} // namespace

// Each piece's reach as a box, and blocks of pieces with the box of their
// boxes, so that a cell skips far pieces a block at a time.
class CToolSweep::CPieceIndex {
public:
    CPieceIndex(const std::vector<SweepPoint>& points, double radius, bool fromStart)
        : pieces(points.size() - 1), fromStart(fromStart), reaches(pieces),
          blocks((pieces + BLOCK_PIECES - 1) / BLOCK_PIECES)
    {
        frames.reserve(pieces);
        for (std::size_t piece = 0; piece < pieces; ++piece) {
            const SweepPoint& start = points[piece];
            const SweepPoint& end = points[piece + 1];
            frames.emplace_back(start, end, radius);
            Reach& reach = reaches[piece];
            reach.low[0] = Widen(std::min(start[0], end[0]) - radius, -1.0);
            reach.low[1] = Widen(std::min(start[1], end[1]) - radius, -1.0);
            reach.high[0] = Widen(std::max(start[0], end[0]) + radius, 1.0);
            reach.high[1] = Widen(std::max(start[1], end[1]) + radius, 1.0);
            blocks[piece / BLOCK_PIECES].Add(reach);
        }
    }

    // The lowest height any piece reaches at (x, y), asked from the low end
    // (the last piece first unless rising); false when none reaches it.
    bool FindLowest(double x, double y, bool ball, bool firstReachWins, double& lowest) const
    {
        bool found = false;
        for (std::size_t step = 0; step < blocks.size() && !(found && firstReachWins); ++step) {
            const std::size_t block = fromStart ? step : blocks.size() - 1 - step;
            if (!blocks[block].Holds(x, y))
                continue;
            const std::size_t blockStart = block * BLOCK_PIECES;
            const std::size_t blockEnd = std::min(blockStart + BLOCK_PIECES, pieces);
            for (std::size_t inBlock = 0; inBlock < blockEnd - blockStart; ++inBlock) {
                const std::size_t piece = fromStart ? blockStart + inBlock : blockEnd - 1 - inBlock;
                if (!reaches[piece].Holds(x, y))
                    continue;
                double reached = 0.0;
                const PieceFrame& frame = frames[piece];
                if (!(ball ? frame.LowestBall(x, y, reached) : frame.LowestFlat(x, y, reached)))
                    continue;
                if (!found || reached < lowest)
                    lowest = reached;
                found = true;
                if (firstReachWins)
                    break;
            }
        }
        return found;
    }

private:
    struct Reach {
        double low[2] = {HUGE_VAL, HUGE_VAL};
        double high[2] = {-HUGE_VAL, -HUGE_VAL};

        bool Holds(double x, double y) const { return x >= low[0] && x <= high[0] && y >= low[1] && y <= high[1]; }
        void Add(const Reach& other)
        {
            for (std::size_t axis = 0; axis < 2; ++axis) {
                low[axis] = std::min(low[axis], other.low[axis]);
                high[axis] = std::max(high[axis], other.high[axis]);
            }
        }
    };

    std::size_t pieces;
    bool fromStart;
    std::vector<PieceFrame> frames;
    std::vector<Reach> reaches;
    std::vector<Reach> blocks;
};

double CToolSweep::CountVisits(const CHeightGrid& grid, const CTool& tool, const std::vector<SweepPoint>& points)
{
    if (points.size() < 2)
        return 0.0;
    const CPolylineReach reach(grid, tool, points);
    if (reach.IsEmpty())
        return 0.0;
    // A long piece visits its length's cells too, which the choice
    // between the two ways leaves out.
    double length = 0.0;
    for (std::size_t point = 1; point < points.size(); ++point)
        length += std::hypot(points[point][0] - points[point - 1][0], points[point][1] - points[point - 1][1]);
    const double width = 2.0 * tool.GetRadius() / grid.GetCell() + 2.0;
    const VisitCounts visits = CountBothVisits(grid, tool, points.size(), reach);
    return std::min(visits.pieceByPiece + length / grid.GetCell() * width, visits.cellByCell);
}

bool CToolSweep::LowerAlong(const CTool& tool, const std::vector<SweepPoint>& points, CCellChanges& log)
{
    if (points.size() < 2)
        return true;
    const CPolylineReach reach(grid, tool, points);
    if (reach.IsEmpty())
        return true;
    const VisitCounts visits = CountBothVisits(grid, tool, points.size(), reach);
    if (visits.pieceByPiece <= visits.cellByCell)
        return LowerPieceByPiece(tool, points, log);
    return LowerCellByCell(tool, points, reach, log);
}

bool CToolSweep::LowerPieceByPiece(const CTool& tool, const std::vector<SweepPoint>& points, CCellChanges& log)
{
    for (std::size_t piece = 1; piece < points.size(); ++piece) {
        if (!Lower(tool, points[piece - 1], points[piece], log))
            return false;
    }
    return true;
}

bool CToolSweep::LowerCellByCell(const CTool& tool, const std::vector<SweepPoint>& points,
                                 const CPolylineReach& reach, CCellChanges& log)
{
    // A long row asks many blocks for each cell: the stop is read this
    // often within a row too.
    constexpr std::size_t STOP_CHECK_COLUMNS = 64;
    const CPieceIndex index(points, tool.GetRadius(), reach.rising && !reach.falling);
    const bool ball = tool.shape == TOOL_BALL;
    const double floor = grid.GetBox().z0;
    const double* heights = grid.GetData();
    const std::size_t columns = grid.GetColumns();
    const std::size_t firstColumn = static_cast<std::size_t>(reach.columnFrom);
    const std::size_t lastColumn = static_cast<std::size_t>(reach.columnTo);
    for (std::size_t row = FirstBandRow(static_cast<std::size_t>(reach.rowFrom));
         row <= static_cast<std::size_t>(reach.rowTo); row += rowStep) {
        const double y = grid.GetCenterY(row);
        for (std::size_t column = firstColumn; column <= lastColumn; ++column) {
            if ((column - firstColumn) % STOP_CHECK_COLUMNS == 0 && stop.IsSet())
                return false;
            if (heights[row * columns + column] <= reach.deepest)
                continue;
            double lowest = 0.0;
            if (index.FindLowest(grid.GetCenterX(column), y, ball, reach.firstReachWins, lowest))
                LowerCell(row * columns + column, std::max(lowest, floor), log);
        }
    }
    return true;
}
