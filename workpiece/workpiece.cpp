#include "workpiece.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>
#include <thread>

#include "move_chords.h"
#include "path_builder.h"

namespace {

constexpr std::size_t LINE_INDEX_STRIDE = 4096;
// Moves per stretch: the first, the bounds, and the time a stretch should
// take so that progress and cancelling answer quickly without the threads'
// start costing much.
constexpr std::size_t FIRST_STRETCH_MOVES = 1024;
constexpr std::size_t MIN_STRETCH_MOVES = 16;
constexpr std::size_t MAX_STRETCH_MOVES = std::size_t{1} << 20;
constexpr double SHORT_STRETCH_SECONDS = 0.02;
constexpr double LONG_STRETCH_SECONDS = 0.06;
// Fewer moves than this are swept on the calling thread alone: a step must
// not wait for threads to start.
constexpr std::size_t PARALLEL_MOVES = 256;
constexpr unsigned MAX_THREADS = 8;
constexpr std::size_t LOG_ENTRY_BYTES = sizeof(std::uint32_t) + sizeof(double);
// A sweep from a snapshot starts up to this many moves (and a quarter of the
// spacing) before its target where it can, so that the steps back after a
// jump find them in the log.
constexpr std::size_t BACK_MARGIN = 2048;

} // namespace

CWorkpiece::CWorkpiece(const CMoveTable& table, const CWordList& words, std::int64_t headerLines,
                       const CToolTable& tools, const CSettings& settings)
    : table(table), words(words), tools(tools), settings(settings), moveTools(words),
      grid(settings.box, settings.cell), headerLines(headerLines)
{
    unsigned threads = settings.threads != 0 ? settings.threads : std::thread::hardware_concurrency();
    threads = std::clamp(threads, 1u, MAX_THREADS);
    bands.resize(std::max<std::size_t>(1, std::min<std::size_t>(threads, grid.GetRows())));
    stamps.assign(grid.GetCellCount(), 0);

    std::int64_t lineEnds = 0;
    const std::size_t wordCount = words.GetCount();
    lineIndex.reserve(wordCount / LINE_INDEX_STRIDE + 1);
    for (WordPosition position = 0; position < wordCount; ++position) {
        if (position % LINE_INDEX_STRIDE == 0)
            lineIndex.push_back(lineEnds);
        if (CPathBuilder::EndsLine(words, position))
            ++lineEnds;
    }

    logBudget = settings.historyBytes / 4;
    const std::size_t gridBytes = grid.GetCellCount() * sizeof(double);
    const std::size_t snapshotLimit = gridBytes == 0 ? 0 : (settings.historyBytes / 2) / gridBytes;
    const std::size_t moveCount = table.GetCount();
    if (snapshotLimit > 0 && moveCount > 1) {
        snapshotSpacing =
            std::max<std::size_t>({1, settings.minSnapshotSpacing, (moveCount + snapshotLimit) / (snapshotLimit + 1)});
        snapshots.resize(std::min(snapshotLimit, (moveCount - 1) / snapshotSpacing));
    }
    stretchMoves = FIRST_STRETCH_MOVES;
}

CWorkpiece::~CWorkpiece() = default;

std::size_t CWorkpiece::LessMargin(std::size_t target) const
{
    const std::size_t margin = std::min(BACK_MARGIN, snapshotSpacing / 4);
    return target > margin ? target - margin : 0;
}

const CTool& CWorkpiece::GetToolOfMove(std::size_t move) const
{
    std::int32_t number = 0;
    return GetToolNumberOfMove(move, number) ? tools.Find(number) : tools.GetDefaultTool();
}

bool CWorkpiece::GetToolNumberOfMove(std::size_t move, std::int32_t& number) const
{
    return moveTools.FindNumber(table.GetEndWord(move), number);
}

std::int64_t CWorkpiece::GetMoveLine(std::size_t move) const
{
    const std::size_t endWord = table.GetEndWord(move);
    const std::size_t stride = std::min(endWord / LINE_INDEX_STRIDE, lineIndex.size() - 1);
    std::int64_t lineEnds = lineIndex[stride];
    for (WordPosition position = stride * LINE_INDEX_STRIDE; position < endWord; ++position) {
        if (CPathBuilder::EndsLine(words, position))
            ++lineEnds;
    }
    return headerLines + lineEnds + 1;
}

std::vector<CRapidCut> CWorkpiece::GetRapidCuts() const
{
    const auto end = std::lower_bound(rapidCuts.begin(), rapidCuts.end(), doneCount,
                                      [](const CRapidCut& cut, std::size_t count) { return cut.move < count; });
    return std::vector<CRapidCut>(rapidCuts.begin(), end);
}

double CWorkpiece::GetRapidCutDepth(std::size_t move) const
{
    if (move >= doneCount)
        return 0.0;
    const auto found = std::lower_bound(rapidCuts.begin(), rapidCuts.end(), move,
                                        [](const CRapidCut& cut, std::size_t wanted) { return cut.move < wanted; });
    return found != rapidCuts.end() && found->move == move ? found->depth : 0.0;
}

bool CWorkpiece::BringTo(std::size_t moveCount, const std::atomic<bool>* cancel, const ProgressCallback& progress)
{
    const std::size_t target = std::min(moveCount, table.GetCount());
    try {
        if (target < doneCount) {
            if (target >= logFirst) {
                StepBack(target);
                return true;
            }
            RestoreSnapshot(LessMargin(target));
        } else if (target > doneCount && FindSnapshot(LessMargin(target)) > doneCount) {
            // Copying a grid beats sweeping the moves up to it.
            RestoreSnapshot(LessMargin(target));
        }
        bool cancelled = false;
        SweepForward(target, cancel, progress, cancelled);
        return !cancelled;
    } catch (...) {
        ResetAfterFailure();
        throw;
    }
}

void CWorkpiece::ResetAfterFailure() noexcept
{
    // A failed sweep leaves part of a stretch in the grid, maybe part of a
    // move, and its undo log may be cut short. Putting the grid back at the
    // moves it stood at would need that log, or a sweep that may fail as
    // this one did; the untouched box needs no memory at all. Snapshots are
    // only stored whole, and the rapid cuts of finished stretches stay true,
    // so the next BringTo starts from the nearest snapshot as usual.
    grid.Reset();
    doneCount = 0;
    ClearLog();
    for (CBandLog& band : bands)
        band.rapidCuts.clear();
    // Cuts of the failed stretch may have been added in part.
    rapidCuts.erase(std::lower_bound(rapidCuts.begin(), rapidCuts.end(), sweptCount,
                                     [](const CRapidCut& cut, std::size_t count) { return cut.move < count; }),
                    rapidCuts.end());
}

std::size_t CWorkpiece::FindSnapshot(std::size_t target) const
{
    if (snapshotSpacing == 0)
        return 0;
    for (std::size_t index = std::min(target / snapshotSpacing, snapshots.size()); index > 0; --index) {
        if (!snapshots[index - 1].empty())
            return index * snapshotSpacing;
    }
    return 0;
}

void CWorkpiece::RestoreSnapshot(std::size_t target)
{
    const std::size_t moves = FindSnapshot(target);
    if (moves == 0)
        grid.Reset();
    else
        grid.GetHeights() = snapshots[moves / snapshotSpacing - 1];
    doneCount = moves;
    ClearLog();
}

void CWorkpiece::ClearLog()
{
    for (CBandLog& band : bands) {
        band.changes.Clear();
        band.moveEnds.clear();
        band.overflowed = false;
    }
    logFirst = doneCount;
}

void CWorkpiece::StepBack(std::size_t target)
{
    double* heights = grid.GetData();
    const std::size_t kept = target - logFirst;
    for (CBandLog& band : bands) {
        const std::size_t keptChanges = kept == 0 ? 0 : band.moveEnds[kept - 1];
        // Latest first, so that a cell ends at its height before the first
        // of the undone moves.
        for (std::size_t change = band.changes.GetCount(); change > keptChanges; --change)
            heights[band.changes.cells[change - 1]] = band.changes.heights[change - 1];
        band.changes.cells.resize(keptChanges);
        band.changes.heights.resize(keptChanges);
        band.moveEnds.resize(kept);
    }
    doneCount = target;
}

void CWorkpiece::SweepForward(std::size_t target, const std::atomic<bool>* cancel, const ProgressCallback& progress,
                              bool& cancelled)
{
    using Clock = std::chrono::steady_clock;
    while (doneCount < target) {
        if (cancel != nullptr && cancel->load()) {
            cancelled = true;
            return;
        }
        std::size_t end = std::min(target, doneCount + stretchMoves);
        if (snapshotSpacing != 0)
            end = std::min(end, (doneCount / snapshotSpacing + 1) * snapshotSpacing);
        const Clock::time_point started = Clock::now();
        const std::size_t loggedBefore = GetLogBytes();
        SweepStretch(doneCount, end);
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        if (end - doneCount == stretchMoves) {
            if (seconds < SHORT_STRETCH_SECONDS)
                stretchMoves = std::min(stretchMoves * 2, MAX_STRETCH_MOVES);
            else if (seconds > LONG_STRETCH_SECONDS)
                stretchMoves = std::max(stretchMoves / 2, MIN_STRETCH_MOVES);
        }
        // A stretch must fit the log, or the steps back over it are lost:
        // as many moves as half the log holds at the bytes these moves took.
        const std::size_t loggedAfter = GetLogBytes();
        if (loggedAfter > loggedBefore) {
            const std::size_t bytesPerMove = std::max<std::size_t>(1, (loggedAfter - loggedBefore) / (end - doneCount));
            stretchMoves = std::max(MIN_STRETCH_MOVES, std::min(stretchMoves, logBudget / 2 / bytesPerMove));
        }
        doneCount = end;
        sweptCount = std::max(sweptCount, end);
        if (snapshotSpacing != 0 && end % snapshotSpacing == 0) {
            const std::size_t index = end / snapshotSpacing;
            if (index >= 1 && index <= snapshots.size() && snapshots[index - 1].empty())
                snapshots[index - 1] = grid.GetHeights();
        }
        TrimLog();
        if (progress)
            progress(doneCount);
    }
}

void CWorkpiece::SweepStretch(std::size_t first, std::size_t end)
{
    const std::size_t count = end - first;
    stretchTools.resize(count);
    for (std::size_t move = first; move < end; ++move)
        stretchTools[move - first] = &GetToolOfMove(move);
    // Serials must differ from every earlier move's; start over before they wrap.
    if (serialCount > std::numeric_limits<std::uint32_t>::max() - count - 1) {
        std::fill(stamps.begin(), stamps.end(), 0);
        serialCount = 0;
    }
    const std::uint32_t serialBase = serialCount;
    serialCount += static_cast<std::uint32_t>(count);

    // An exception must not leave a thread (that ends the program): each
    // band keeps its own, a failed band stops the others at their next move,
    // and the first is rethrown here once all have ended.
    std::vector<std::exception_ptr> failures(bands.size());
    std::atomic<bool> failed(false);
    const auto sweepBand = [&](std::size_t band) noexcept {
        try {
            SweepBand(band, first, end, serialBase, failed);
        } catch (...) {
            failures[band] = std::current_exception();
            failed = true;
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(bands.size());
    std::size_t band = 1;
    if (count >= PARALLEL_MOVES) {
        for (; band < bands.size(); ++band) {
            try {
                workers.emplace_back(sweepBand, band);
            } catch (...) {
                // No thread to be had: sweep the rest here.
                break;
            }
        }
    }
    sweepBand(0);
    for (; band < bands.size(); ++band)
        sweepBand(band);
    for (std::thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure != nullptr)
            std::rethrow_exception(failure);
    }

    // A rapid's depth is the most it lowered any band's rows.
    std::vector<CRapidCut> found;
    bool overflowed = false;
    for (CBandLog& log : bands) {
        found.insert(found.end(), log.rapidCuts.begin(), log.rapidCuts.end());
        log.rapidCuts.clear();
        overflowed = overflowed || log.overflowed;
    }
    std::sort(found.begin(), found.end(), [](const CRapidCut& left, const CRapidCut& right) {
        return left.move < right.move || (left.move == right.move && left.depth > right.depth);
    });
    for (const CRapidCut& cut : found) {
        if (cut.move < sweptCount || (!rapidCuts.empty() && rapidCuts.back().move == cut.move))
            continue;
        rapidCuts.push_back(CRapidCut{cut.move, GetMoveLine(cut.move), cut.depth});
    }
    if (overflowed) {
        doneCount = end;
        ClearLog();
    }
}

void CWorkpiece::SweepBand(std::size_t band, std::size_t first, std::size_t end, std::uint32_t serialBase,
                           const std::atomic<bool>& failed)
{
    CBandLog& log = bands[band];
    CToolSweep sweep(grid, band, bands.size(), stamps.data());
    const std::size_t changeLimit = std::max<std::size_t>(1, logBudget / LOG_ENTRY_BYTES / bands.size());
    const double* heights = grid.GetData();
    std::vector<SweepPoint> points;
    const double chordTolerance = MoveChords::ToleranceForCell(settings.cell);
    for (std::size_t move = first; move < end; ++move) {
        if (failed.load(std::memory_order_relaxed))
            return;
        if (settings.beforeMove)
            settings.beforeMove(move);
        const std::size_t moveStart = log.changes.GetCount();
        sweep.BeginMove(serialBase + static_cast<std::uint32_t>(move - first) + 1);
        const double widening = MoveChords::Build(table, move, chordTolerance, points);
        const CTool& tool = *stretchTools[move - first];
        sweep.LowerAlong(widening > 0.0 ? MoveChords::WidenedTool(tool, widening) : tool, points, log.changes);
        if (table.GetKind(move) == MOVE_RAPID) {
            double depth = 0.0;
            for (std::size_t change = moveStart; change < log.changes.GetCount(); ++change)
                depth = std::max(depth, log.changes.heights[change] - heights[log.changes.cells[change]]);
            if (depth > 0.0)
                log.rapidCuts.push_back(CRapidCut{move, 0, depth});
        }
        if (!log.overflowed && log.changes.GetCount() > changeLimit) {
            // Too much to keep: this stretch gives up its log (steps back
            // before it use the snapshots).
            log.overflowed = true;
            log.moveEnds.clear();
        }
        if (log.overflowed)
            log.changes.Clear();
        else
            log.moveEnds.push_back(static_cast<std::uint32_t>(log.changes.GetCount()));
    }
}

std::size_t CWorkpiece::GetLogBytes() const
{
    std::size_t bytes = 0;
    for (const CBandLog& band : bands)
        bytes += band.changes.GetCount() * LOG_ENTRY_BYTES + band.moveEnds.size() * sizeof(std::uint32_t);
    return bytes;
}

void CWorkpiece::TrimLog()
{
    if (GetLogBytes() <= logBudget)
        return;
    // Drop the oldest moves down to half the budget, so that trimming (which
    // moves the rest) happens seldom.
    const std::size_t logged = doneCount - logFirst;
    std::size_t dropped = 0;
    const auto bytesAfter = [this, logged](std::size_t drop) {
        std::size_t bytes = (logged - drop) * sizeof(std::uint32_t) * bands.size();
        for (const CBandLog& band : bands)
            bytes += (band.changes.GetCount() - (drop == 0 ? 0 : band.moveEnds[drop - 1])) * LOG_ENTRY_BYTES;
        return bytes;
    };
    while (dropped < logged && bytesAfter(dropped) > logBudget / 2)
        ++dropped;
    for (CBandLog& band : bands) {
        const std::size_t changes = dropped == 0 ? 0 : band.moveEnds[dropped - 1];
        band.changes.cells.erase(band.changes.cells.begin(), band.changes.cells.begin() + changes);
        band.changes.heights.erase(band.changes.heights.begin(), band.changes.heights.begin() + changes);
        band.moveEnds.erase(band.moveEnds.begin(), band.moveEnds.begin() + dropped);
        for (std::uint32_t& moveEnd : band.moveEnds)
            moveEnd -= static_cast<std::uint32_t>(changes);
    }
    logFirst += dropped;
}

std::size_t CWorkpiece::GetMemoryBytes() const
{
    std::size_t bytes = grid.GetHeights().capacity() * sizeof(double) + stamps.capacity() * sizeof(std::uint32_t) +
                        lineIndex.capacity() * sizeof(std::int64_t) + rapidCuts.capacity() * sizeof(CRapidCut) +
                        stretchTools.capacity() * sizeof(const CTool*) + moveTools.GetMemoryBytes();
    for (const CBandLog& band : bands)
        bytes += band.changes.cells.capacity() * sizeof(std::uint32_t) +
                 band.changes.heights.capacity() * sizeof(double) +
                 band.moveEnds.capacity() * sizeof(std::uint32_t);
    for (const std::vector<double>& snapshot : snapshots)
        bytes += snapshot.capacity() * sizeof(double);
    return bytes;
}
