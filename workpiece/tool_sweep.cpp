#include "tool_sweep.h"

#include <algorithm>
#include <cmath>

namespace {

// Squared horizontal lengths below this count as a plunge straight down.
constexpr double PLUNGE_LENGTH_SQUARED = 1e-18;

// The piece's data that every cell shares.
struct PieceFrame {
    double ax, ay, az;
    double bx, by, bz;
    double dx, dy, dz;
    double horizontalSquared;
    double radius;
    // Ball only: the piece's unit direction and length in space.
    double ux, uy, uz;
    double length;

    PieceFrame(const SweepPoint& start, const SweepPoint& end, double toolRadius)
        : ax(start[0]), ay(start[1]), az(start[2]), bx(end[0]), by(end[1]), bz(end[2]), dx(bx - ax), dy(by - ay),
          dz(bz - az), horizontalSquared(dx * dx + dy * dy), radius(toolRadius)
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
        const double outside = wx * wx + wy * wy - radius * radius;
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
        if (startSquared <= radiusSquared)
            offer(az + radius - std::sqrt(radiusSquared - startSquared));
        const double ex = x - bx;
        const double ey = y - by;
        const double endSquared = ex * ex + ey * ey;
        if (endSquared <= radiusSquared)
            offer(bz + radius - std::sqrt(radiusSquared - endSquared));
        if (horizontalSquared > PLUNGE_LENGTH_SQUARED) {
            // The point (x, y, az + r + s) lies at distance r from the line of
            // the ball centres where a s^2 - 2 b s + c = 0; the lower root
            // counts when its foot lies on the piece. Written to stay exact
            // when a is small (a steep piece).
            const double k = wx * ux + wy * uy;
            const double a = ux * ux + uy * uy;
            const double b = k * uz;
            const double c = startSquared - k * k - radiusSquared;
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

bool CToolSweep::FindLowest(const CTool& tool, const SweepPoint& start, const SweepPoint& end, double x, double y,
                            double& height)
{
    const PieceFrame frame(start, end, tool.GetRadius());
    return tool.shape == TOOL_BALL ? frame.LowestBall(x, y, height) : frame.LowestFlat(x, y, height);
}

CToolSweep::CToolSweep(CHeightGrid& grid, std::size_t firstRow, std::size_t rowStep, std::uint32_t* stamps)
    : grid(grid), firstRow(firstRow), rowStep(rowStep), stamps(stamps)
{
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
    const double length = std::hypot(dx, dy);
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

void CToolSweep::Lower(const CTool& tool, const SweepPoint& start, const SweepPoint& end, CCellChanges& log)
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
        return;
    std::size_t row = static_cast<std::size_t>(std::max(rowLow, 0.0));
    const std::size_t lastRow = static_cast<std::size_t>(std::min(rowHigh, rows - 1.0));
    // The first row of this band at or after row.
    if (row < firstRow)
        row = firstRow;
    else
        row += (rowStep - (row - firstRow) % rowStep) % rowStep;

    const PieceFrame frame(start, end, radius);
    const bool ball = tool.shape == TOOL_BALL;
    const double floor = box.z0;
    const std::size_t columns = grid.GetColumns();
    double* heights = grid.GetData();
    for (; row <= lastRow; row += rowStep) {
        const double y = grid.GetCenterY(row);
        std::size_t column = 0;
        std::size_t lastColumn = 0;
        if (!FindColumns(start, end, radius, y, column, lastColumn))
            continue;
        for (; column <= lastColumn; ++column) {
            const double x = grid.GetCenterX(column);
            double reached = 0.0;
            if (!(ball ? frame.LowestBall(x, y, reached) : frame.LowestFlat(x, y, reached)))
                continue;
            reached = std::max(reached, floor);
            const std::size_t index = row * columns + column;
            if (!(reached < heights[index]))
                continue;
            if (stamps[index] != moveSerial) {
                stamps[index] = moveSerial;
                log.cells.push_back(static_cast<std::uint32_t>(index));
                log.heights.push_back(heights[index]);
            }
            heights[index] = reached;
        }
    }
}
