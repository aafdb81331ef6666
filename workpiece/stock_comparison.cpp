#include "stock_comparison.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "move_chords.h"
#include "move_tools.h"
#include "path_builder.h"
#include "tool_sweep.h"

namespace {

// Grey from the box's bottom to its top, and the palest tint of a
// difference: kept apart so that the faintest red or blue still shows
// against the lightest grey.
constexpr double GREY_LOW = 60.0;
constexpr double GREY_HIGH = 220.0;
constexpr double TINT_PALE = 190.0;

std::uint8_t ToByte(double value)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

} // namespace

bool CStockComparison::CanCompare(const CHeightGrid& reference, const CHeightGrid& learner)
{
    return reference.GetBox() == learner.GetBox() && reference.GetCell() == learner.GetCell() &&
           reference.GetColumns() == learner.GetColumns() && reference.GetRows() == learner.GetRows();
}

CStockComparison::CStockComparison(const CHeightGrid& reference, double tolerance)
    : reference(reference), tolerance(tolerance), rows(reference.GetRows())
{
    totals.cells = reference.GetCellCount();
    totals.within = totals.cells;
}

CellVerdict CStockComparison::Judge(double learnerHeight, double referenceHeight) const
{
    if (learnerHeight < referenceHeight - tolerance)
        return CELL_OVER;
    if (learnerHeight > referenceHeight + tolerance)
        return CELL_UNDER;
    return CELL_WITHIN;
}

void CStockComparison::Compare(const CHeightGrid& learner)
{
    UpdateRows(learner, 0, rows.size());
}

void CStockComparison::UpdateRows(const CHeightGrid& learner, std::size_t firstRow, std::size_t endRow)
{
    endRow = std::min(endRow, rows.size());
    for (std::size_t row = firstRow; row < endRow; ++row)
        CompareRow(learner, row);
    SumRows();
}

void CStockComparison::CompareRow(const CHeightGrid& learner, std::size_t row)
{
    CRowTotals result;
    const double* learned = learner.GetRow(row);
    const double* wanted = reference.GetRow(row);
    for (std::size_t column = 0; column < reference.GetColumns(); ++column) {
        const double difference = wanted[column] - learned[column];
        if (difference > 0.0) {
            result.overSum += difference;
            if (difference > result.maxOver) {
                result.maxOver = difference;
                result.maxOverColumn = column;
            }
        } else if (difference < 0.0) {
            result.underSum -= difference;
            if (-difference > result.maxUnder) {
                result.maxUnder = -difference;
                result.maxUnderColumn = column;
            }
        }
        switch (Judge(learned[column], wanted[column])) {
        case CELL_OVER: ++result.over; break;
        case CELL_UNDER: ++result.under; break;
        case CELL_WITHIN: break;
        }
    }
    rows[row] = result;
}

void CStockComparison::SumRows()
{
    const std::size_t columns = reference.GetColumns();
    CComparisonTotals sum;
    sum.cells = reference.GetCellCount();
    double overSum = 0.0;
    double underSum = 0.0;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const CRowTotals& line = rows[row];
        sum.over += line.over;
        sum.under += line.under;
        overSum += line.overSum;
        underSum += line.underSum;
        // The first cell in row order wins a tie, as in a scan of the grid.
        if (line.maxOver > sum.maxOver) {
            sum.maxOver = line.maxOver;
            sum.maxOverCell = row * columns + line.maxOverColumn;
        }
        if (line.maxUnder > sum.maxUnder) {
            sum.maxUnder = line.maxUnder;
            sum.maxUnderCell = row * columns + line.maxUnderColumn;
        }
    }
    sum.within = sum.cells - sum.over - sum.under;
    const double area = reference.GetCell() * reference.GetCell();
    sum.overVolume = area * overSum;
    sum.underVolume = area * underSum;
    totals = sum;
}

CComparisonColour CStockComparison::GetCellColour(double learnerHeight, double referenceHeight) const
{
    const CStockBox& box = reference.GetBox();
    switch (Judge(learnerHeight, referenceHeight)) {
    case CELL_OVER: {
        const double strength = totals.maxOver > 0.0 ? (referenceHeight - learnerHeight) / totals.maxOver : 1.0;
        const double pale = TINT_PALE * (1.0 - std::clamp(strength, 0.0, 1.0));
        return CComparisonColour{255, ToByte(pale), ToByte(pale)};
    }
    case CELL_UNDER: {
        const double strength = totals.maxUnder > 0.0 ? (learnerHeight - referenceHeight) / totals.maxUnder : 1.0;
        const double pale = TINT_PALE * (1.0 - std::clamp(strength, 0.0, 1.0));
        return CComparisonColour{ToByte(pale), ToByte(pale), 255};
    }
    case CELL_WITHIN: break;
    }
    const double height = std::clamp((learnerHeight - box.z0) / (box.z1 - box.z0), 0.0, 1.0);
    const std::uint8_t grey = ToByte(GREY_LOW + (GREY_HIGH - GREY_LOW) * height);
    return CComparisonColour{grey, grey, grey};
}

CStockComparison::CTooDeepLimits::CTooDeepLimits(const CHeightGrid& reference, double tolerance)
    : reference(reference), heights(reference.GetHeights().data()), tolerance(tolerance),
      blockLimits((reference.GetCellCount() + BLOCK_CELLS - 1) / BLOCK_CELLS,
                  -std::numeric_limits<double>::infinity())
{
    // The very differences IsTooDeep computes, so that a block's limit
    // clears a cell exactly when its own would.
    for (std::size_t cell = 0; cell < reference.GetCellCount(); ++cell) {
        double& limit = blockLimits[cell / BLOCK_CELLS];
        limit = std::max(limit, heights[cell] - tolerance);
    }
}

bool CStockComparison::SweepFindingFirstOver(const CMoveTable& table, const CWordList& words,
                                             const CToolTable& tools, const CHeightGrid& reference, double tolerance,
                                             CHeightGrid& grid, bool& firstOver, std::size_t& firstOverMove,
                                             const std::atomic<bool>* cancel)
{
    const CTooDeepLimits limits(reference, tolerance);
    CSearchStamps stamps;
    return SweepFindingFirstOver(table, words, tools, limits, stamps, grid, firstOver, firstOverMove, cancel);
}

bool CStockComparison::SweepFindingFirstOver(const CMoveTable& table, const CWordList& words,
                                             const CToolTable& tools, const CTooDeepLimits& limits,
                                             CSearchStamps& stamps, CHeightGrid& grid, bool& firstOver,
                                             std::size_t& firstOverMove, const std::atomic<bool>* cancel)
{
    firstOver = false;
    firstOverMove = 0;
    const CMoveTools moveTools(words);
    // Serials go on from the last search's, so that its marks count as
    // older; cleared when the grid's size changed or they would wrap.
    if (stamps.stamps.size() != grid.GetCellCount() ||
        std::numeric_limits<std::uint32_t>::max() - stamps.lastSerial <= table.GetCount()) {
        stamps.stamps.assign(grid.GetCellCount(), 0);
        stamps.lastSerial = 0;
    }
    // Cancel is read between rows inside each move too, so that one long
    // move does not hold a window that waits for the search to end.
    CToolSweep sweep(grid, 0, 1, stamps.stamps.data(), CSweepStop{cancel, nullptr});
    CCellChanges changes;
    std::vector<SweepPoint> points;
    const double* heights = grid.GetData();
    // The same chords and widened tools as the workpiece's sweep, so that the
    // heights met here are the ones the learner's workpiece shows.
    const double chordTolerance = MoveChords::ToleranceForCell(grid.GetCell());
    for (std::size_t move = 0; move < table.GetCount(); ++move) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed))
            return false;
        std::int32_t number = 0;
        const CTool& tool =
            moveTools.FindNumber(table.GetEndWord(move), number) ? tools.Find(number) : tools.GetDefaultTool();
        // Serials start above 0 so that no cell counts as changed before the
        // first move; a table of more than 2^32 moves cannot be built.
        sweep.BeginMove(++stamps.lastSerial);
        const double widening = MoveChords::Build(table, move, chordTolerance, points);
        changes.Clear();
        if (!sweep.LowerAlong(widening > 0.0 ? MoveChords::WidenedTool(tool, widening) : tool, points, changes))
            return false;
        if (firstOver)
            continue;
        for (const CCellRun& run : changes.runs) {
            for (std::uint32_t cell = run.cell; cell < run.cell + run.count; ++cell) {
                if (limits.IsTooDeep(cell, heights[cell])) {
                    firstOver = true;
                    firstOverMove = move;
                    break;
                }
            }
            if (firstOver)
                break;
        }
    }
    return true;
}

std::int64_t CStockComparison::FindMoveLine(const CMoveTable& table, const CWordList& words,
                                            std::int64_t headerLines, std::size_t move)
{
    const std::size_t endWord = table.GetEndWord(move);
    std::int64_t lineEnds = 0;
    for (WordPosition position = 0; position < endWord; ++position) {
        if (CPathBuilder::EndsLine(words, position))
            ++lineEnds;
    }
    return headerLines + lineEnds + 1;
}
