// The workpiece's surface as a grid of heights over a box: square cells,
// columns along X and rows along Y, each height taken at its cell's centre.
// Filling it is the sweep's; drawing it is the window's.
#pragma once

#include <cstddef>
#include <vector>

#include "stock_box.h"

class CHeightGrid {
public:
    // Refuse more cells than this: a grid this large already costs tens of
    // megabytes with its history.
    static constexpr std::size_t MAX_CELLS = 4000000;
    static constexpr int DEFAULT_CELLS_ON_LONGER_SIDE = 1000;

    // The edge that gives the longer side of the box that many cells.
    static double DefaultCell(const CStockBox& box);
    // The columns and rows a box and cell give, or false (counts untouched)
    // when the cell is not a finite positive size or the cells would number
    // more than MAX_CELLS.
    static bool CountCells(const CStockBox& box, double cell, std::size_t& columns, std::size_t& rows);

    CHeightGrid() = default;
    // box must be valid and (box, cell) must pass CountCells. Every height
    // starts at the top of the box.
    CHeightGrid(const CStockBox& box, double cell);

    const CStockBox& GetBox() const { return box; }
    double GetCell() const { return cell; }
    std::size_t GetColumns() const { return columns; }
    std::size_t GetRows() const { return rows; }
    std::size_t GetCellCount() const { return heights.size(); }

    double GetCenterX(std::size_t column) const { return box.x0 + (static_cast<double>(column) + 0.5) * cell; }
    double GetCenterY(std::size_t row) const { return box.y0 + (static_cast<double>(row) + 0.5) * cell; }
    double GetHeight(std::size_t column, std::size_t row) const { return heights[row * columns + column]; }
    // The heights of one row, GetColumns() of them, for drawing.
    const double* GetRow(std::size_t row) const { return heights.data() + row * columns; }
    // The cell that holds (x, y); false outside the grid.
    bool FindCell(double x, double y, std::size_t& column, std::size_t& row) const;

    // The sweep's side: heights in row order.
    double* GetData() { return heights.data(); }
    const std::vector<double>& GetHeights() const { return heights; }
    std::vector<double>& GetHeights() { return heights; }
    void Reset();

    bool operator==(const CHeightGrid& other) const;
    bool operator!=(const CHeightGrid& other) const { return !(*this == other); }

private:
    CStockBox box;
    double cell = 1.0;
    std::size_t columns = 0;
    std::size_t rows = 0;
    std::vector<double> heights;
};
