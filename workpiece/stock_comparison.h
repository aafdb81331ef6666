// A learner's workpiece against a reference's, cell by cell: too deep, material
// left, or within the tolerance; the counts, the largest differences and the
// volumes, kept per row so that a step recompares only the rows it changed.
// Also finds the first move after which a learner's sweep cuts too deep.
// Cutting the parts is the workpiece's; drawing and printing are the callers'.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "height_grid.h"
#include "move_table.h"
#include "tool_table.h"
#include "word_list.h"

enum CellVerdict : std::uint8_t {
    CELL_WITHIN,
    CELL_OVER,  // cut too deep: below the reference by more than the tolerance
    CELL_UNDER, // material left: above the reference by more than the tolerance
};

struct CComparisonTotals {
    std::size_t cells = 0;
    std::size_t within = 0;
    std::size_t over = 0;
    std::size_t under = 0;
    // The largest reference - learner and learner - reference, 0 when none
    // is positive, and the cell (row * columns + column) where each is.
    double maxOver = 0.0;
    double maxUnder = 0.0;
    std::size_t maxOverCell = 0;
    std::size_t maxUnderCell = 0;
    // Cell area times the sums of the positive differences.
    double overVolume = 0.0;
    double underVolume = 0.0;
};

// RGB of a picture of the difference.
struct CComparisonColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

class CStockComparison {
public:
    static constexpr double DEFAULT_TOLERANCE = 0.05;

    // Both grids of a comparison must have the same box and cell.
    static bool CanCompare(const CHeightGrid& reference, const CHeightGrid& learner);

    // The reference must outlive the comparison and stay unchanged. Nothing
    // is compared until Compare or UpdateRows.
    CStockComparison(const CHeightGrid& reference, double tolerance);

    double GetTolerance() const { return tolerance; }
    const CHeightGrid& GetReference() const { return reference; }
    CellVerdict Judge(double learnerHeight, double referenceHeight) const;

    // Every row of the learner's grid.
    void Compare(const CHeightGrid& learner);
    // Only rows [firstRow, endRow); the others keep what they held.
    void UpdateRows(const CHeightGrid& learner, std::size_t firstRow, std::size_t endRow);
    // Summed over the rows in row order, so that a grid compared whole and
    // one updated row by row give the same totals to the last bit.
    const CComparisonTotals& GetTotals() const { return totals; }

    // The difference picture's colour of one cell: within in grey, lighter
    // where higher in the box; too deep in red and material left in blue, the
    // stronger the closer the difference comes to the largest of its kind.
    CComparisonColour GetCellColour(double learnerHeight, double referenceHeight) const;

    // The reference as the search for the first move too deep reads it: per
    // block of neighbouring cells the highest height below which one of them
    // is too deep, so that a changed cell at or above it is cleared without
    // a look at the reference's own heights (a cache miss each). Made once,
    // read by any number of searches at once; the reference must outlive it.
    class CTooDeepLimits {
    public:
        static constexpr std::size_t BLOCK_CELLS = 8;

        CTooDeepLimits(const CHeightGrid& reference, double tolerance);
        const CHeightGrid& GetReference() const { return reference; }
        double GetTolerance() const { return tolerance; }
        // Whether a cell's height lies below the reference's by more than
        // the tolerance.
        bool IsTooDeep(std::size_t cell, double height) const
        {
            return height < blockLimits[cell / BLOCK_CELLS] && height < heights[cell] - tolerance;
        }

    private:
        const CHeightGrid& reference;
        const double* heights;
        double tolerance;
        std::vector<double> blockLimits;
    };

    // Marks of the cells a move changed, kept by one thread between searches
    // so that the learners of a class do not each allocate and clear them.
    struct CSearchStamps {
        std::vector<std::uint32_t> stamps;
        std::uint32_t lastSerial = 0;
    };

    // Sweeps the moves of a learner's path into grid (the untouched box or
    // any state swept by the same tools before) one by one, and gives the
    // first move after whose sweep some cell lies below reference - tolerance
    // (firstOver false when none). Only the cells each move changed are
    // checked. The heights equal those of a CWorkpiece swept as far. Returns
    // false when cancel was set: grid then holds part of the moves.
    static bool SweepFindingFirstOver(const CMoveTable& table, const CWordList& words, const CToolTable& tools,
                                      const CHeightGrid& reference, double tolerance, CHeightGrid& grid,
                                      bool& firstOver, std::size_t& firstOverMove,
                                      const std::atomic<bool>* cancel = nullptr);
    // The same with the limits made beforehand and the stamps of earlier
    // searches on grids of the same size.
    static bool SweepFindingFirstOver(const CMoveTable& table, const CWordList& words, const CToolTable& tools,
                                      const CTooDeepLimits& limits, CSearchStamps& stamps, CHeightGrid& grid,
                                      bool& firstOver, std::size_t& firstOverMove,
                                      const std::atomic<bool>* cancel = nullptr);

    // The file line of a move's end-of-block word, as the path counts lines.
    static std::int64_t FindMoveLine(const CMoveTable& table, const CWordList& words, std::int64_t headerLines,
                                     std::size_t move);

private:
    struct CRowTotals {
        std::size_t over = 0;
        std::size_t under = 0;
        double maxOver = 0.0;
        double maxUnder = 0.0;
        std::size_t maxOverColumn = 0;
        std::size_t maxUnderColumn = 0;
        double overSum = 0.0;
        double underSum = 0.0;
    };

    void CompareRow(const CHeightGrid& learner, std::size_t row);
    void SumRows();

    const CHeightGrid& reference;
    double tolerance;
    std::vector<CRowTotals> rows;
    CComparisonTotals totals;
};
