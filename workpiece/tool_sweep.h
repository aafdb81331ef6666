// Lowers the cells of a height grid under a tool swept along one straight
// piece, in closed form: a flat end mill reaches lowest at an end of the
// stretch where a cell is within its reach (its height changes evenly along
// the piece), a ball-nose mill's sweep is a capsule whose lower surface is
// solved per cell. Which pieces a move makes is the move chords'; keeping
// the old heights for stepping back is the workpiece's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "height_grid.h"
#include "move_chords.h"
#include "tool_table.h"

// The changes one sweep made: each cell's height before its first change
// within a move, in the order made.
struct CCellChanges {
    std::vector<std::uint32_t> cells;
    std::vector<double> heights;

    std::size_t GetCount() const { return cells.size(); }
    void Clear()
    {
        cells.clear();
        heights.clear();
    }
};

class CToolSweep {
public:
    // Works on the rows firstRow, firstRow + rowStep, ... of grid; several
    // sweeps may work on one grid at once when their rows differ. stamps (one
    // per cell) mark the cells already changed within the current move.
    CToolSweep(CHeightGrid& grid, std::size_t firstRow, std::size_t rowStep, std::uint32_t* stamps);

    // Starts a move: serial differs from every earlier move's on these stamps.
    void BeginMove(std::uint32_t serial) { moveSerial = serial; }
    // Lowers the band's cells under the piece to what the tool reaches, never
    // below the box's bottom; appends the first change of each cell to log.
    void Lower(const CTool& tool, const SweepPoint& start, const SweepPoint& end, CCellChanges& log);
    // The same for every piece of a polyline, start to end.
    void LowerAlong(const CTool& tool, const std::vector<SweepPoint>& points, CCellChanges& log);

private:
    // Sets a cell to reached when that is lower, logging its first change.
    void LowerCell(std::size_t index, double reached, CCellChanges& log);
    // The columns of row y within reach of the piece, false when none.
    bool FindColumns(const SweepPoint& start, const SweepPoint& end, double radius, double y, std::size_t& first,
                     std::size_t& last) const;

    CHeightGrid& grid;
    std::size_t firstRow;
    std::size_t rowStep;
    std::uint32_t* stamps;
    std::uint32_t moveSerial = 0;
};
