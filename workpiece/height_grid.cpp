#include "height_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

double CHeightGrid::DefaultCell(const CStockBox& box)
{
    const double longer = std::max(box.x1 - box.x0, box.y1 - box.y0);
    const double cell = longer / DEFAULT_CELLS_ON_LONGER_SIDE;
    // The quotient may round down so that the longer side would take one
    // cell more (99.7 / 1000 does): the next double up gives it exactly so
    // many.
    return longer / cell > DEFAULT_CELLS_ON_LONGER_SIDE ? std::nextafter(cell, HUGE_VAL) : cell;
}

bool CHeightGrid::CountCells(const CStockBox& box, double cell, std::size_t& columns, std::size_t& rows)
{
    if (!std::isfinite(cell) || !(cell > 0.0))
        return false;
    const double columnCount = std::max(1.0, std::ceil((box.x1 - box.x0) / cell));
    const double rowCount = std::max(1.0, std::ceil((box.y1 - box.y0) / cell));
    // Compared as reals first: the counts may not fit an integer.
    if (!(columnCount * rowCount <= static_cast<double>(MAX_CELLS)))
        return false;
    columns = static_cast<std::size_t>(columnCount);
    rows = static_cast<std::size_t>(rowCount);
    return true;
}

CHeightGrid::CHeightGrid(const CStockBox& box, double cell) : box(box), cell(cell)
{
    if (!CountCells(box, cell, columns, rows)) {
        columns = 0;
        rows = 0;
    }
    heights.assign(columns * rows, box.z1);
}

bool CHeightGrid::FindCell(double x, double y, std::size_t& column, std::size_t& row) const
{
    const double across = std::floor((x - box.x0) / cell);
    const double up = std::floor((y - box.y0) / cell);
    if (!(across >= 0.0 && across < static_cast<double>(columns) && up >= 0.0 && up < static_cast<double>(rows)))
        return false;
    column = static_cast<std::size_t>(across);
    row = static_cast<std::size_t>(up);
    return true;
}

void CHeightGrid::Reset()
{
    std::fill(heights.begin(), heights.end(), box.z1);
}

bool CHeightGrid::operator==(const CHeightGrid& other) const
{
    // Bit for bit: stepping back must give exactly the heights a fresh sweep
    // gives, a negative zero included.
    return box == other.box && cell == other.cell && columns == other.columns && rows == other.rows &&
           (heights.empty() ||
            std::memcmp(heights.data(), other.heights.data(), heights.size() * sizeof(double)) == 0);
}
