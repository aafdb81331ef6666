#include "workpiece.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <limits>
#include <new>
#include <thread>
#include <utility>

#include "move_chords.h"
#include "move_tools.h"
#include "path_builder.h"
#include "tool_sweep.h"
#include "undo_log.h"

namespace {

constexpr std::size_t LINE_INDEX_STRIDE = 4096;
constexpr unsigned MAX_THREADS = 8;
// A stretch is the moves swept between two progress calls, bounded by their
// moves and by their work (cells visited). Both start small, so that the
// first picture and a cancel answer quickly whatever a move costs, and adapt
// to the time a stretch takes.
constexpr std::size_t FIRST_STRETCH_MOVES = 16;
constexpr std::size_t MAX_STRETCH_MOVES = std::size_t{1} << 16;
constexpr double FIRST_STRETCH_WORK = 1 << 18;
constexpr double MIN_STRETCH_WORK = 1 << 14;
constexpr double MAX_STRETCH_WORK = 1 << 28;
constexpr double SHORT_STRETCH_SECONDS = 0.02;
constexpr double LONG_STRETCH_SECONDS = 0.06;
// Chord points a stretch holds at most, built once for all threads.
constexpr std::size_t MAX_STRETCH_POINTS = std::size_t{1} << 18;
// Cells visited per thread: fewer are swept on the calling thread alone,
// since starting a thread costs about as much.
constexpr double WORK_PER_THREAD = 1 << 19;
// A snapshot once the sweep has visited this many times the grid's cells
// since the last: a snapshot costs about one pass over the cells.
constexpr double SNAPSHOT_WORK_PER_CELL = 8.0;
// A sweep from a snapshot starts up to this many moves before its target
// where it can, so that the steps back after a jump find them in the log.
constexpr std::size_t BACK_MARGIN = 2048;
// A jump within the log that would write this many grids' worth of cells
// shows the snapshot at its target instead, when there is one; a jump that
// changed as many keeps a snapshot where it started, for the way back.
constexpr std::size_t LONG_JUMP_GRIDS = 2;
// Sweeping a cell again costs about this many times replaying it from the
// log.
constexpr std::size_t SWEEP_COST_PER_CELL = 4;
// Jumps of fewer moves keep no copy of where they started.
constexpr std::size_t LONG_JUMP_MOVES = 64;
// A stretch may log at most this share of the log's budget before it joins.
constexpr std::size_t STRETCH_LOG_SHARE = 4;
// What a stretch's buffers may keep between stretches.
constexpr std::size_t KEPT_STRETCH_BYTES = std::size_t{1} << 20;

} // namespace

struct CWorkpiece::CState {
    // The moves of one stretch, their tools and chords, built once on the
    // calling thread for every band.
    struct CStretch {
        std::size_t first = 0;
        std::size_t end = 0;
        // By value: an arc's tool is widened by its chord tolerance.
        std::vector<CTool> tools;
        std::vector<std::vector<SweepPoint>> polylines;
        double work = 0.0;
    };

    // What one band of rows logged in the running stretch.
    struct CBandLog {
        CCellChanges changes;
        // Where each finished move's runs end in changes.
        std::vector<std::uint32_t> moveEnds;
        // The rapid moves of the stretch that lowered these rows.
        std::vector<CRapidCut> rapidCuts;
    };

    struct CSnapshot {
        std::size_t moves = 0;
        std::vector<double> heights;
        // Kept where a long jump started: the way back the learner is
        // likeliest to take.
        bool jumpStart = false;
    };

    CState(const CMoveTable& table, const CWordList& words, std::int64_t headerLines, const CToolTable& tools,
           const CSettings& settings);

    const CTool& ToolOfMove(std::size_t move) const;
    std::int64_t MoveLine(std::size_t move);
    // BringTo's work, without the snapshot kept where a long jump started.
    bool Bring(std::size_t target, const std::atomic<bool>* cancel, const ProgressCallback& progress);
    std::size_t FindSnapshot(std::size_t target) const;
    std::size_t LessMargin(std::size_t target) const;
    // The heights of the snapshot at moves (0: the untouched box) into a
    // grid of the same box and cell.
    void CopySnapshot(std::size_t moves, CHeightGrid& into) const;
    void RestoreSnapshot(std::size_t target);
    void StepBack(std::size_t target);
    // Replays the undone moves of the log up to target.
    void StepForward(std::size_t target);
    void SweepForward(std::size_t target, const std::atomic<bool>* cancel, const ProgressCallback& progress,
                      bool& cancelled);
    // The next stretch from first, up to end at most.
    void PlanStretch(std::size_t first, std::size_t end, const CHeightGrid& on, const std::atomic<bool>* cancel);
    // Sweeps the planned stretch on a grid, logging into log; returns the
    // moves finished (all unless cancelled), the grid standing after them.
    std::size_t SweepStretch(CHeightGrid& on, CUndoLog& log, const std::atomic<bool>* cancel,
                             std::vector<CRapidCut>* cuts);
    void SweepBand(std::size_t band, CHeightGrid& on, std::uint32_t serialBase, CSweepStop stop);
    // Puts back what the bands did past finished moves, and joins the moves
    // before into log.
    void JoinBands(CHeightGrid& on, std::size_t finished, CUndoLog& log, std::vector<CRapidCut>* cuts);
    void AdaptStretch(double seconds, std::size_t loggedBytes);
    // Adds the cuts found of the moves from knownBefore on, which no
    // earlier sweep has found.
    void AddRapidCuts(std::vector<CRapidCut>& found, std::size_t knownBefore);
    void TakeSnapshot();
    bool HasSnapshot(std::size_t moves) const { return moves == 0 || FindSnapshot(moves) == moves; }
    // The memory a long jump copies grids into, made ready beforehand:
    // fresh memory costs more than the copy.
    void PrepareJumps();
    // Before a jump of many moves: the grid kept aside, in jumpStart's
    // memory.
    void KeepJumpStart();
    // After it: a snapshot of jumpStart when the way back would write much.
    void SnapshotJumpStart();
    // spaceLater: sweeps keep their snapshots farther apart after one is
    // dropped for the budget.
    void ThinSnapshots(bool spaceLater);
    void TrimLog();
    // Shows the snapshot at target at once when the log would write much
    // more to get there; the log follows on pendingGrid. False when it
    // does not apply.
    bool JumpToSnapshot(std::size_t target);
    // Brings the log (and pendingGrid) to the moves the grid stands at;
    // false when cancelled before, the grid still standing as it did.
    bool CatchUpLog(const std::atomic<bool>* cancel);
    // A short step forwards while the log catches up with a jump: sweeping
    // its moves again costs less than waiting for the log.
    bool SweepsSooner(std::size_t target) const;
    // Sweeps the moves up to target on the grid, logging them aside (the
    // log holds them already); false when cancelled, the grid standing
    // after the moves finished.
    bool SweepAside(std::size_t target, const std::atomic<bool>* cancel);
    void ReleaseStretch();
    std::size_t GetStretchBytes() const;
    std::size_t GetSnapshotBytes() const;
    void ResetAfterFailure() noexcept;

    const CMoveTable& table;
    const CWordList& words;
    CToolTable tools;
    CSettings settings;
    CMoveTools moveTools;
    CHeightGrid grid;
    std::size_t doneCount = 0;
    // The highest move count ever reached: rapid cuts below it are known.
    std::size_t sweptCount = 0;
    // Line ends counted before every LINE_INDEX_STRIDE-th word, as far as
    // asked for.
    std::vector<std::int64_t> lineIndex;
    std::int64_t headerLines = 0;
    // Every rapid that cut, once found, in move order; kept over steps back
    // since a move cuts the same whenever it is swept after the same moves.
    std::vector<CRapidCut> rapidCuts;
    // Per cell, the serial of the last move that changed it.
    std::vector<std::uint32_t> stamps;
    std::uint32_t serialCount = 0;
    // The moves [log.GetFirst(), log.GetEnd()), done up to log.GetDone():
    // doneCount, except after a jump to a snapshot until CatchUpLog.
    CUndoLog log;
    // The grid after log.GetDone() moves while that differs from doneCount;
    // its memory is kept for the next jump. It and jumpStart count with the
    // snapshots.
    CHeightGrid pendingGrid;
    // The grid where the running jump started, and its moves.
    std::vector<double> jumpStart;
    std::size_t jumpStartMoves = 0;
    // While the log catches up: the moves swept again since the jump, so
    // that the steps among them replay too.
    CUndoLog aside;
    std::size_t logBudget = 0;
    // The log has dropped moves for its budget since it last started afresh.
    bool logFull = false;
    unsigned maxThreads = 1;
    std::vector<CBandLog> bands;
    CStretch stretch;
    std::size_t stretchMoves = FIRST_STRETCH_MOVES;
    double stretchWork = FIRST_STRETCH_WORK;
    // Grid copies in move order, within snapshotBudget.
    std::vector<CSnapshot> snapshots;
    std::size_t snapshotBudget = 0;
    double snapshotWork = 0.0;
    // The work swept since the grid last stood at a snapshot (or the box).
    double workSinceSnapshot = 0.0;
    std::size_t movesSinceSnapshot = 0;
};

CWorkpiece::CState::CState(const CMoveTable& table, const CWordList& words, std::int64_t headerLines,
                           const CToolTable& tools, const CSettings& settings)
    : table(table), words(words), tools(tools), settings(settings), moveTools(words),
      grid(settings.box, settings.cell), headerLines(headerLines)
{
    unsigned threads = settings.threads != 0 ? settings.threads : std::thread::hardware_concurrency();
    threads = std::clamp(threads, 1u, MAX_THREADS);
    bands.resize(std::max<std::size_t>(1, std::min<std::size_t>(threads, grid.GetRows())));
    maxThreads = static_cast<unsigned>(bands.size());
    stamps.assign(grid.GetCellCount(), 0);

    lineIndex.push_back(0);

    logBudget = settings.historyBytes / 2;
    snapshotBudget = settings.historyBytes / 2;
    snapshotWork = SNAPSHOT_WORK_PER_CELL * static_cast<double>(grid.GetCellCount());
    log.Clear(0);
}

CWorkpiece::CWorkpiece(const CMoveTable& table, const CWordList& words, std::int64_t headerLines,
                       const CToolTable& tools, const CSettings& settings)
    : state(std::make_unique<CState>(table, words, headerLines, tools, settings))
{
}

CWorkpiece::~CWorkpiece() = default;

std::size_t CWorkpiece::GetDoneCount() const { return state->doneCount; }
std::size_t CWorkpiece::GetInstantBackLimit() const { return state->log.GetFirst(); }
std::size_t CWorkpiece::GetMoveCount() const { return state->table.GetCount(); }
const CHeightGrid& CWorkpiece::GetGrid() const { return state->grid; }

const CTool& CWorkpiece::CState::ToolOfMove(std::size_t move) const
{
    std::int32_t number = 0;
    return moveTools.FindNumber(table.GetEndWord(move), number) ? tools.Find(number) : tools.GetDefaultTool();
}

std::int64_t CWorkpiece::CState::MoveLine(std::size_t move)
{
    // The index grows as far as the lines asked for: a program's words are
    // counted once, and not before a sweep needs them.
    const std::size_t endWord = table.GetEndWord(move);
    const std::size_t stride = endWord / LINE_INDEX_STRIDE;
    while (lineIndex.size() <= stride) {
        std::int64_t lineEnds = lineIndex.back();
        const WordPosition from = (lineIndex.size() - 1) * LINE_INDEX_STRIDE;
        for (WordPosition position = from; position < from + LINE_INDEX_STRIDE; ++position) {
            if (CPathBuilder::EndsLine(words, position))
                ++lineEnds;
        }
        lineIndex.push_back(lineEnds);
    }
    std::int64_t lineEnds = lineIndex[stride];
    for (WordPosition position = stride * LINE_INDEX_STRIDE; position < endWord; ++position) {
        if (CPathBuilder::EndsLine(words, position))
            ++lineEnds;
    }
    return headerLines + lineEnds + 1;
}

const CTool& CWorkpiece::GetToolOfMove(std::size_t move) const { return state->ToolOfMove(move); }

bool CWorkpiece::GetToolNumberOfMove(std::size_t move, std::int32_t& number) const
{
    return state->moveTools.FindNumber(state->table.GetEndWord(move), number);
}

std::int64_t CWorkpiece::GetMoveLine(std::size_t move) const { return state->MoveLine(move); }

std::vector<CRapidCut> CWorkpiece::GetRapidCuts() const
{
    const std::vector<CRapidCut>& cuts = state->rapidCuts;
    const auto end = std::lower_bound(cuts.begin(), cuts.end(), state->doneCount,
                                      [](const CRapidCut& cut, std::size_t count) { return cut.move < count; });
    return std::vector<CRapidCut>(cuts.begin(), end);
}

double CWorkpiece::GetRapidCutDepth(std::size_t move) const
{
    if (move >= state->doneCount)
        return 0.0;
    const std::vector<CRapidCut>& cuts = state->rapidCuts;
    const auto found = std::lower_bound(cuts.begin(), cuts.end(), move,
                                        [](const CRapidCut& cut, std::size_t wanted) { return cut.move < wanted; });
    return found != cuts.end() && found->move == move ? found->depth : 0.0;
}

bool CWorkpiece::BringTo(std::size_t moveCount, const std::atomic<bool>* cancel, const ProgressCallback& progress)
{
    CState& at = *state;
    const std::size_t target = std::min(moveCount, at.table.GetCount());
    try {
        const std::size_t distance = target > at.doneCount ? target - at.doneCount : at.doneCount - target;
        const bool longJump = distance >= LONG_JUMP_MOVES && !at.HasSnapshot(at.doneCount);
        if (longJump)
            at.KeepJumpStart();
        const bool finished = at.Bring(target, cancel, progress);
        if (longJump)
            at.SnapshotJumpStart();
        return finished;
    } catch (...) {
        at.ResetAfterFailure();
        throw;
    }
}

bool CWorkpiece::CState::Bring(std::size_t target, const std::atomic<bool>* cancel, const ProgressCallback& progress)
{
    if (JumpToSnapshot(target))
        return true;
    if (log.GetDone() != doneCount) {
        if (target >= aside.GetFirst() && target <= aside.GetEnd()) {
            double* heights = grid.GetData();
            while (aside.GetDone() > target)
                aside.UndoLast(heights);
            while (aside.GetDone() < target)
                aside.RedoNext(heights);
            doneCount = target;
            return true;
        }
        if (SweepsSooner(target))
            return SweepAside(target, cancel);
    }
    if (!CatchUpLog(cancel))
        return false;
    if (target < doneCount) {
        if (target >= log.GetFirst()) {
            StepBack(target);
            return true;
        }
        RestoreSnapshot(LessMargin(target));
    } else if (target > doneCount) {
        if (FindSnapshot(LessMargin(target)) > log.GetEnd()) {
            // Copying a grid beats sweeping the moves up to it.
            RestoreSnapshot(LessMargin(target));
        } else {
            StepForward(std::min(target, log.GetEnd()));
        }
    }
    bool cancelled = false;
    SweepForward(target, cancel, progress, cancelled);
    return !cancelled;
}

bool CWorkpiece::PrepareBack(const std::atomic<bool>* cancel)
{
    CState& at = *state;
    if (!at.CatchUpLog(cancel))
        return false;
    at.PrepareJumps();
    const std::size_t logFirst = at.log.GetFirst();
    // Once the log has met its budget, what a preparation adds would be
    // dropped again.
    if (logFirst == 0 || at.logFull)
        return false;
    const std::size_t from = at.FindSnapshot(logFirst - 1);
    try {
        CHeightGrid earlierGrid(at.grid.GetBox(), at.grid.GetCell());
        at.CopySnapshot(from, earlierGrid);
        CUndoLog earlier;
        earlier.Clear(from);
        // The newest of the earlier moves that the budget still holds.
        bool full = false;
        while (earlier.GetEnd() < logFirst) {
            if (cancel != nullptr && cancel->load())
                return false;
            at.PlanStretch(earlier.GetEnd(), logFirst, earlierGrid, cancel);
            if (at.SweepStretch(earlierGrid, earlier, cancel, nullptr) < at.stretch.end - at.stretch.first)
                return false;
            at.ReleaseStretch();
            while (!earlier.IsEmpty() && earlier.GetBytes() + at.log.GetBytes() + at.GetStretchBytes() > at.logBudget) {
                earlier.DropOldest();
                full = true;
            }
        }
        at.log.Prepend(earlier);
        at.logFull = full;
        return !full && at.log.GetFirst() > 0;
    } catch (const std::bad_alloc&) {
        // Only the preparation failed: the grid and its log stand as before.
        at.ReleaseStretch();
        return false;
    }
}

void CWorkpiece::CState::ResetAfterFailure() noexcept
{
    // A failed sweep leaves part of a stretch in the grid, maybe part of a
    // move. Putting the grid back at the moves it stood at would need the
    // stretch's logs, which may be cut short; the untouched box needs no
    // memory at all. Snapshots are only stored whole, and the rapid cuts of
    // finished stretches stay true, so the next BringTo starts from the
    // nearest snapshot as usual.
    grid.Reset();
    doneCount = 0;
    log.Clear(0);
    aside.Clear(0);
    logFull = false;
    for (CBandLog& band : bands) {
        band.changes.Clear();
        band.moveEnds.clear();
        band.rapidCuts.clear();
    }
    workSinceSnapshot = 0.0;
    movesSinceSnapshot = 0;
    // Cuts of the failed stretch may have been added in part.
    rapidCuts.erase(std::lower_bound(rapidCuts.begin(), rapidCuts.end(), sweptCount,
                                     [](const CRapidCut& cut, std::size_t count) { return cut.move < count; }),
                    rapidCuts.end());
}

std::size_t CWorkpiece::CState::FindSnapshot(std::size_t target) const
{
    const auto after = std::upper_bound(snapshots.begin(), snapshots.end(), target,
                                        [](std::size_t moves, const CSnapshot& snapshot) { return moves < snapshot.moves; });
    return after == snapshots.begin() ? 0 : std::prev(after)->moves;
}

std::size_t CWorkpiece::CState::LessMargin(std::size_t target) const
{
    return target > BACK_MARGIN ? target - BACK_MARGIN : 0;
}

void CWorkpiece::CState::CopySnapshot(std::size_t moves, CHeightGrid& into) const
{
    if (moves == 0) {
        into.Reset();
        return;
    }
    for (const CSnapshot& snapshot : snapshots) {
        if (snapshot.moves == moves)
            into.GetHeights() = snapshot.heights;
    }
}

void CWorkpiece::CState::RestoreSnapshot(std::size_t target)
{
    const std::size_t moves = FindSnapshot(target);
    CopySnapshot(moves, grid);
    doneCount = moves;
    log.Clear(moves);
    aside.Clear(moves);
    logFull = false;
    workSinceSnapshot = 0.0;
    movesSinceSnapshot = 0;
}

void CWorkpiece::CState::StepBack(std::size_t target)
{
    double* heights = grid.GetData();
    while (log.GetDone() > target)
        log.UndoLast(heights);
    doneCount = target;
    // The work back to the last snapshot is not known now: the next one
    // waits for a full spacing's work.
    workSinceSnapshot = 0.0;
    movesSinceSnapshot = 0;
    TrimLog();
}

void CWorkpiece::CState::StepForward(std::size_t target)
{
    double* heights = grid.GetData();
    while (log.GetDone() < target)
        log.RedoNext(heights);
    doneCount = target;
    workSinceSnapshot = 0.0;
    movesSinceSnapshot = 0;
}

void CWorkpiece::CState::SweepForward(std::size_t target, const std::atomic<bool>* cancel,
                                      const ProgressCallback& progress, bool& cancelled)
{
    using Clock = std::chrono::steady_clock;
    while (doneCount < target) {
        if (cancel != nullptr && cancel->load()) {
            cancelled = true;
            return;
        }
        const Clock::time_point started = Clock::now();
        PlanStretch(doneCount, target, grid, cancel);
        const std::size_t planned = stretch.end - stretch.first;
        const std::size_t loggedBefore = log.GetBytes();
        std::vector<CRapidCut> found;
        const std::size_t finished = SweepStretch(grid, log, cancel, &found);
        doneCount += finished;
        AddRapidCuts(found, sweptCount);
        sweptCount = std::max(sweptCount, doneCount);
        workSinceSnapshot += stretch.work;
        movesSinceSnapshot += finished;
        if (finished < planned) {
            ReleaseStretch();
            TrimLog();
            cancelled = true;
            return;
        }
        AdaptStretch(std::chrono::duration<double>(Clock::now() - started).count(), log.GetBytes() - loggedBefore);
        ReleaseStretch();
        if (workSinceSnapshot >= snapshotWork && movesSinceSnapshot >= settings.minSnapshotSpacing)
            TakeSnapshot();
        TrimLog();
        if (progress)
            progress(doneCount);
    }
}

void CWorkpiece::CState::PlanStretch(std::size_t first, std::size_t end, const CHeightGrid& on,
                                     const std::atomic<bool>* cancel)
{
    stretch.first = first;
    stretch.work = 0.0;
    stretch.tools.clear();
    std::size_t points = 0;
    std::size_t move = first;
    const double chordTolerance = MoveChords::ToleranceForCell(on.GetCell());
    while (move < end && move - first < stretchMoves && stretch.work < stretchWork && points < MAX_STRETCH_POINTS) {
        // Building a huge arc's chords takes a while too.
        if (move > first && cancel != nullptr && cancel->load(std::memory_order_relaxed))
            break;
        const std::size_t index = move - first;
        if (stretch.polylines.size() <= index)
            stretch.polylines.emplace_back();
        std::vector<SweepPoint>& polyline = stretch.polylines[index];
        const double widening = MoveChords::Build(table, move, chordTolerance, polyline);
        const CTool& tool = ToolOfMove(move);
        stretch.tools.push_back(widening > 0.0 ? MoveChords::WidenedTool(tool, widening) : tool);
        stretch.work += CToolSweep::CountVisits(on, stretch.tools.back(), polyline);
        points += polyline.size();
        ++move;
    }
    stretch.end = move;
}

std::size_t CWorkpiece::CState::SweepStretch(CHeightGrid& on, CUndoLog& into, const std::atomic<bool>* cancel,
                                             std::vector<CRapidCut>* cuts)
{
    const std::size_t count = stretch.end - stretch.first;
    // Serials must differ from every earlier move's; start over before they wrap.
    if (serialCount > std::numeric_limits<std::uint32_t>::max() - count - 1) {
        std::fill(stamps.begin(), stamps.end(), 0);
        serialCount = 0;
    }
    const std::uint32_t serialBase = serialCount;
    serialCount += static_cast<std::uint32_t>(count);

    // An exception must not leave a thread (that ends the program): each
    // band keeps its own, a failed band stops the others inside their
    // move, and the first is rethrown here once all have ended.
    std::vector<std::exception_ptr> failures(bands.size());
    std::atomic<bool> failed(false);
    const CSweepStop stop{cancel, &failed};
    const auto sweepBands = [&](std::size_t firstBand, std::size_t bandStep) noexcept {
        for (std::size_t band = firstBand; band < bands.size(); band += bandStep) {
            try {
                SweepBand(band, on, serialBase, stop);
            } catch (...) {
                failures[band] = std::current_exception();
                failed = true;
            }
        }
    };
    // As many threads as the work is worth: a cheap stretch does not wait
    // for threads to start.
    const std::size_t wanted =
        settings.everyStretchOnAllThreads ? bands.size() : static_cast<std::size_t>(std::ceil(stretch.work / WORK_PER_THREAD));
    const std::size_t threads = std::clamp<std::size_t>(wanted, 1, bands.size());
    std::vector<std::thread> workers;
    workers.reserve(threads - 1);
    for (std::size_t thread = 1; thread < threads; ++thread) {
        try {
            workers.emplace_back(sweepBands, thread, threads);
        } catch (...) {
            // No thread to be had: its bands are swept here.
            break;
        }
    }
    sweepBands(0, threads);
    for (std::size_t thread = workers.size() + 1; thread < threads; ++thread)
        sweepBands(thread, threads);
    for (std::thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure != nullptr)
            std::rethrow_exception(failure);
    }
    std::size_t finished = count;
    for (const CBandLog& band : bands)
        finished = std::min(finished, band.moveEnds.size());
    JoinBands(on, finished, into, cuts);
    return finished;
}

void CWorkpiece::CState::SweepBand(std::size_t band, CHeightGrid& on, std::uint32_t serialBase, CSweepStop stop)
{
    CBandLog& bandLog = bands[band];
    bandLog.changes.Clear();
    bandLog.moveEnds.clear();
    bandLog.rapidCuts.clear();
    CToolSweep sweep(on, band, bands.size(), stamps.data(), stop);
    const double* heights = on.GetData();
    for (std::size_t move = stretch.first; move < stretch.end; ++move) {
        if (stop.IsSet())
            return;
        if (settings.beforeMove)
            settings.beforeMove(move);
        const std::size_t index = move - stretch.first;
        const std::size_t moveStart = bandLog.changes.GetCount();
        bandLog.changes.StartMove();
        sweep.BeginMove(serialBase + static_cast<std::uint32_t>(index) + 1);
        if (!sweep.LowerAlong(stretch.tools[index], stretch.polylines[index], bandLog.changes))
            return;
        if (table.GetKind(move) == MOVE_RAPID) {
            double depth = 0.0;
            for (std::size_t run = moveStart; run < bandLog.changes.GetCount(); ++run) {
                const CCellRun& changed = bandLog.changes.runs[run];
                for (std::uint32_t cell = 0; cell < changed.count; ++cell)
                    depth = std::max(depth, changed.height - heights[changed.cell + cell]);
            }
            if (depth > 0.0)
                bandLog.rapidCuts.push_back(CRapidCut{move, 0, depth});
        }
        bandLog.moveEnds.push_back(static_cast<std::uint32_t>(bandLog.changes.GetCount()));
    }
}

void CWorkpiece::CState::JoinBands(CHeightGrid& on, std::size_t finished, CUndoLog& into,
                                   std::vector<CRapidCut>* cuts)
{
    double* heights = on.GetData();
    for (CBandLog& band : bands) {
        // A cancelled band may be moves ahead of the slowest, inside one:
        // latest first, so that each cell ends at its height before them.
        const std::size_t kept = finished == 0 ? 0 : band.moveEnds[finished - 1];
        for (std::size_t run = band.changes.GetCount(); run > kept; --run) {
            const CCellRun& changed = band.changes.runs[run - 1];
            for (std::uint32_t cell = 0; cell < changed.count; ++cell)
                heights[changed.cell + cell] = changed.height;
        }
    }
    for (std::size_t move = 0; move < finished; ++move) {
        for (const CBandLog& band : bands) {
            const std::size_t from = move == 0 ? 0 : band.moveEnds[move - 1];
            into.AddRuns(band.changes.runs.data() + from, band.moveEnds[move] - from);
        }
        into.EndMove();
    }
    if (cuts == nullptr)
        return;
    for (const CBandLog& band : bands) {
        for (const CRapidCut& cut : band.rapidCuts) {
            if (cut.move < stretch.first + finished)
                cuts->push_back(cut);
        }
    }
}

void CWorkpiece::CState::AddRapidCuts(std::vector<CRapidCut>& found, std::size_t knownBefore)
{
    // A rapid's depth is the most it lowered any band's rows.
    std::sort(found.begin(), found.end(), [](const CRapidCut& left, const CRapidCut& right) {
        return left.move < right.move || (left.move == right.move && left.depth > right.depth);
    });
    for (const CRapidCut& cut : found) {
        if (cut.move < knownBefore || (!rapidCuts.empty() && rapidCuts.back().move == cut.move))
            continue;
        rapidCuts.push_back(CRapidCut{cut.move, MoveLine(cut.move), cut.depth});
    }
}

void CWorkpiece::CState::AdaptStretch(double seconds, std::size_t loggedBytes)
{
    if (seconds < SHORT_STRETCH_SECONDS) {
        stretchMoves = std::min(stretchMoves * 2, MAX_STRETCH_MOVES);
        stretchWork = std::min(stretchWork * 2.0, MAX_STRETCH_WORK);
    } else if (seconds > LONG_STRETCH_SECONDS) {
        stretchMoves = std::max<std::size_t>(stretchMoves / 2, 1);
        stretchWork = std::max(stretchWork / 2.0, MIN_STRETCH_WORK);
    }
    // A stretch logs everything before its moves join the log: a share of
    // the budget at the bytes this one took per unit of work.
    if (loggedBytes > logBudget / STRETCH_LOG_SHARE && stretch.work > 0.0) {
        const double bytesPerWork = static_cast<double>(loggedBytes) / stretch.work;
        stretchWork = std::max(MIN_STRETCH_WORK, static_cast<double>(logBudget / STRETCH_LOG_SHARE) / bytesPerWork);
    }
}

bool CWorkpiece::CState::JumpToSnapshot(std::size_t target)
{
    // Back where the log stands: its grid is the one.
    if (log.GetDone() != doneCount && target == log.GetDone()) {
        pendingGrid.GetHeights().swap(grid.GetHeights());
        doneCount = target;
        aside.Clear(target);
        TrimLog();
        return true;
    }
    if (target < log.GetFirst() || target > log.GetEnd() || target == doneCount || FindSnapshot(target) != target)
        return false;
    const std::size_t cells = grid.GetCellCount();
    if (cells * sizeof(double) > snapshotBudget ||
        log.CountCells(log.GetDone(), target, LONG_JUMP_GRIDS * cells) < LONG_JUMP_GRIDS * cells)
        return false;
    // The grid the log stands at moves aside, unless it is there already;
    // into memory made ready before, as a rule.
    const bool fresh = pendingGrid.GetCellCount() != cells;
    if (log.GetDone() == doneCount) {
        if (fresh)
            pendingGrid = grid;
        else
            pendingGrid.GetHeights().swap(grid.GetHeights());
    }
    CopySnapshot(target, grid);
    aside.Clear(target);
    // The grid set aside counts with the snapshots.
    if (fresh)
        ThinSnapshots(false);
    doneCount = target;
    workSinceSnapshot = 0.0;
    movesSinceSnapshot = 0;
    return true;
}

bool CWorkpiece::CState::SweepsSooner(std::size_t target) const
{
    if (log.GetDone() == doneCount || target <= doneCount || target > log.GetEnd())
        return false;
    const std::size_t waiting = log.CountCells(log.GetDone(), target, std::numeric_limits<std::size_t>::max());
    const std::size_t limit = waiting / SWEEP_COST_PER_CELL;
    return log.CountCells(doneCount, target, limit) < limit;
}

bool CWorkpiece::CState::SweepAside(std::size_t target, const std::atomic<bool>* cancel)
{
    while (aside.GetEnd() > aside.GetDone())
        aside.DropNewest();
    while (doneCount < target) {
        if (cancel != nullptr && cancel->load())
            return false;
        PlanStretch(doneCount, target, grid, cancel);
        const std::size_t planned = stretch.end - stretch.first;
        const std::size_t finished = SweepStretch(grid, aside, cancel, nullptr);
        doneCount += finished;
        ReleaseStretch();
        if (finished < planned)
            return false;
    }
    return true;
}

bool CWorkpiece::CState::CatchUpLog(const std::atomic<bool>* cancel)
{
    if (log.GetDone() == doneCount)
        return true;
    double* heights = pendingGrid.GetData();
    while (log.GetDone() != doneCount) {
        if (cancel != nullptr && cancel->load())
            return false;
        if (log.GetDone() > doneCount)
            log.UndoLast(heights);
        else
            log.RedoNext(heights);
    }
    aside.Clear(doneCount);
    TrimLog();
    return true;
}

void CWorkpiece::CState::PrepareJumps()
{
    const std::size_t cells = grid.GetCellCount();
    if (2 * cells * sizeof(double) > snapshotBudget ||
        (pendingGrid.GetCellCount() == cells && jumpStart.size() == cells))
        return;
    if (pendingGrid.GetCellCount() != cells)
        pendingGrid = grid;
    jumpStart.assign(cells, 0.0);
    ThinSnapshots(false);
}

void CWorkpiece::CState::KeepJumpStart()
{
    jumpStart.assign(grid.GetHeights().begin(), grid.GetHeights().end());
    jumpStartMoves = doneCount;
}

void CWorkpiece::CState::SnapshotJumpStart()
{
    const std::size_t cells = grid.GetCellCount();
    const std::size_t gridBytes = cells * sizeof(double);
    if (jumpStartMoves == doneCount || HasSnapshot(jumpStartMoves) || jumpStartMoves < log.GetFirst() ||
        jumpStartMoves > log.GetEnd() || gridBytes > snapshotBudget ||
        log.CountCells(jumpStartMoves, doneCount, LONG_JUMP_GRIDS * cells) < LONG_JUMP_GRIDS * cells)
        return;
    const auto after =
        std::upper_bound(snapshots.begin(), snapshots.end(), jumpStartMoves,
                         [](std::size_t moves, const CSnapshot& snapshot) { return moves < snapshot.moves; });
    // The copy's memory goes with it; the next jump's copy takes new.
    snapshots.insert(after, CSnapshot{jumpStartMoves, std::move(jumpStart), true});
    jumpStart = std::vector<double>();
    ThinSnapshots(false);
}

void CWorkpiece::CState::TakeSnapshot()
{
    const auto after = std::upper_bound(snapshots.begin(), snapshots.end(), doneCount,
                                        [](std::size_t moves, const CSnapshot& snapshot) { return moves < snapshot.moves; });
    // The untouched box needs none.
    if (doneCount == 0 || (after != snapshots.begin() && std::prev(after)->moves == doneCount))
        return;
    const std::size_t gridBytes = grid.GetCellCount() * sizeof(double);
    if (gridBytes == 0 || gridBytes > snapshotBudget)
        return;
    snapshots.insert(after, CSnapshot{doneCount, grid.GetHeights()});
    workSinceSnapshot = 0.0;
    movesSinceSnapshot = 0;
    ThinSnapshots(true);
}

void CWorkpiece::CState::ThinSnapshots(bool spaceLater)
{
    // Over the budget: the snapshot whose neighbours lie closest together
    // goes, one of the sweep's before one where a jump started, and later
    // ones are spaced farther apart.
    while (GetSnapshotBytes() > snapshotBudget && !snapshots.empty()) {
        std::size_t dropped = 0;
        std::pair<bool, std::size_t> narrowest(true, std::numeric_limits<std::size_t>::max());
        for (std::size_t index = 0; index < snapshots.size(); ++index) {
            const std::size_t before = index == 0 ? 0 : snapshots[index - 1].moves;
            const std::size_t after = index + 1 < snapshots.size() ? snapshots[index + 1].moves : doneCount;
            const std::pair<bool, std::size_t> gap(snapshots[index].jumpStart,
                                                   std::max(after, snapshots[index].moves) - before);
            if (gap < narrowest) {
                narrowest = gap;
                dropped = index;
            }
        }
        snapshots.erase(snapshots.begin() + static_cast<std::ptrdiff_t>(dropped));
        if (spaceLater)
            snapshotWork *= 2.0;
    }
}

void CWorkpiece::CState::TrimLog()
{
    // The moves farthest from the grid's go first, the oldest done ones or
    // the newest undone ones: the steps nearby stay instant.
    while (!log.IsEmpty() && log.GetBytes() + GetStretchBytes() > logBudget) {
        logFull = true;
        const std::size_t behind = log.GetDone() - log.GetFirst();
        const std::size_t ahead = log.GetEnd() - log.GetDone();
        if (behind >= ahead)
            log.DropOldest();
        else
            log.DropNewest();
    }
}

void CWorkpiece::CState::ReleaseStretch()
{
    // A costly stretch's buffers go with it, so that they do not count
    // against the log's budget for good.
    if (GetStretchBytes() <= std::min(KEPT_STRETCH_BYTES, logBudget / STRETCH_LOG_SHARE))
        return;
    for (CBandLog& band : bands) {
        std::vector<CCellRun>().swap(band.changes.runs);
        std::vector<std::uint32_t>().swap(band.moveEnds);
        std::vector<CRapidCut>().swap(band.rapidCuts);
    }
    std::vector<std::vector<SweepPoint>>().swap(stretch.polylines);
}

std::size_t CWorkpiece::CState::GetStretchBytes() const
{
    std::size_t bytes = stretch.tools.capacity() * sizeof(CTool);
    for (const std::vector<SweepPoint>& polyline : stretch.polylines)
        bytes += polyline.capacity() * sizeof(SweepPoint);
    for (const CBandLog& band : bands)
        bytes += band.changes.runs.capacity() * sizeof(CCellRun) + band.moveEnds.capacity() * sizeof(std::uint32_t) +
                 band.rapidCuts.capacity() * sizeof(CRapidCut);
    return bytes;
}

std::size_t CWorkpiece::CState::GetSnapshotBytes() const
{
    std::size_t bytes = 0;
    for (const CSnapshot& snapshot : snapshots)
        bytes += snapshot.heights.capacity() * sizeof(double);
    return bytes + (pendingGrid.GetHeights().capacity() + jumpStart.capacity()) * sizeof(double);
}

std::size_t CWorkpiece::GetMemoryBytes() const
{
    const CState& at = *state;
    return at.grid.GetHeights().capacity() * sizeof(double) + at.stamps.capacity() * sizeof(std::uint32_t) +
           at.lineIndex.capacity() * sizeof(std::int64_t) + at.rapidCuts.capacity() * sizeof(CRapidCut) +
           at.moveTools.GetMemoryBytes() + at.log.GetBytes() + at.aside.GetBytes() + at.GetStretchBytes() +
           at.GetSnapshotBytes();
}
