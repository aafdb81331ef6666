// Lowers the cells of a height grid under a tool swept along one straight
// piece, in closed form: a flat end mill reaches lowest at an end of the
// stretch where a cell is within its reach (its height changes evenly along
// the piece), a ball-nose mill's sweep is a capsule whose lower surface is
// solved per cell. Which pieces a move makes is the move chords'; keeping
// the old heights for stepping back is the workpiece's.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "height_grid.h"
#include "move_chords.h"
#include "tool_table.h"

// Neighbouring cells of one row that held the same height before a change.
struct CCellRun {
    std::uint32_t cell = 0;
    std::uint32_t count = 0;
    double height = 0.0;
};

// The changes one sweep made: each cell's height before its first change
// within a move, in the order made, neighbours with the same height joined
// into one run (a face or a pocket floor logs a row as one run).
struct CCellChanges {
    std::vector<CCellRun> runs;
    // Where the running move's runs start: a run never joins two moves.
    std::size_t moveStart = 0;

    std::size_t GetCount() const { return runs.size(); }
    void StartMove() { moveStart = runs.size(); }
    void Clear()
    {
        runs.clear();
        moveStart = 0;
    }
    void Add(std::uint32_t cell, double height);
};

// When a sweep should stop inside a move: the caller's cancel or another
// thread's failure, read between rows.
struct CSweepStop {
    const std::atomic<bool>* cancel = nullptr;
    const std::atomic<bool>* failed = nullptr;

    bool IsSet() const
    {
        return (cancel != nullptr && cancel->load(std::memory_order_relaxed)) ||
               (failed != nullptr && failed->load(std::memory_order_relaxed));
    }
};

class CToolSweep {
public:
    // Works on the rows firstRow, firstRow + rowStep, ... of grid; several
    // sweeps may work on one grid at once when their rows differ. stamps (one
    // per cell) mark the cells already changed within the current move.
    CToolSweep(CHeightGrid& grid, std::size_t firstRow, std::size_t rowStep, std::uint32_t* stamps,
               CSweepStop stop = CSweepStop());

    // Cells a polyline's sweep visits on the whole grid, the cheaper way
    // (piece by piece or cell by cell): the cost of a move, for choosing
    // threads and stretches.
    static double CountVisits(const CHeightGrid& grid, const CTool& tool, const std::vector<SweepPoint>& points);

    // Starts a move: serial differs from every earlier move's on these stamps.
    void BeginMove(std::uint32_t serial) { moveSerial = serial; }
    // Lowers the band's cells under the piece to what the tool reaches, never
    // below the box's bottom; appends the first change of each cell to log.
    // False when stopped part way: the piece is then swept in part.
    bool Lower(const CTool& tool, const SweepPoint& start, const SweepPoint& end, CCellChanges& log);
    // The same for every piece of a polyline, start to end.
    bool LowerAlong(const CTool& tool, const std::vector<SweepPoint>& points, CCellChanges& log);

private:
    struct CPolylineReach;
    class CPieceIndex;

    // Sets a cell to reached when that is lower, logging its first change.
    void LowerCell(std::size_t index, double reached, CCellChanges& log);
    // The columns of row y within reach of the piece, false when none.
    bool FindColumns(const SweepPoint& start, const SweepPoint& end, double radius, double y, std::size_t& first,
                     std::size_t& last) const;
    // The first row of this sweep's band at or after row.
    std::size_t FirstBandRow(std::size_t row) const;
    bool LowerPieceByPiece(const CTool& tool, const std::vector<SweepPoint>& points, CCellChanges& log);
    // Every cell of the reach asks the pieces near it for the lowest point.
    bool LowerCellByCell(const CTool& tool, const std::vector<SweepPoint>& points, const CPolylineReach& reach,
                         CCellChanges& log);

    CHeightGrid& grid;
    std::size_t firstRow;
    std::size_t rowStep;
    std::uint32_t* stamps;
    CSweepStop stop;
    std::uint32_t moveSerial = 0;
};
