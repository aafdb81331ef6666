// The material a program's path leaves: the tool swept along the moves of a
// move table into a height grid, brought to any number of moves done, forwards
// or backwards. A step back replays an undo log of the recent moves' changed
// cells; farther back it restores the nearest grid snapshot and sweeps on from
// there. Log and snapshots stay within a memory budget. Drawing is the
// window's, the options the CLI's and the dialogs'.
//
// Threads: a workpiece is used by one thread at a time. The window may run
// BringTo on a worker thread; until it returns, no other thread may call the
// workpiece or read its grid, except from inside the progress callback, which
// runs on the calling thread between moves, with the grid consistent (copy what
// the picture needs there). The sweep itself may split the grid's rows over
// threads of its own; they have ended by the time BringTo or the callback
// runs. Cancel from any thread through the flag handed to BringTo. The move
// table, word list and tool table must stay unchanged while the workpiece
// lives; a new load or tool table means a new workpiece.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "height_grid.h"
#include "move_table.h"
#include "move_tools.h"
#include "stock_box.h"
#include "tool_sweep.h"
#include "tool_table.h"
#include "word_list.h"

// A rapid move that lowered the material.
struct CRapidCut {
    std::size_t move = 0;
    // The file line of the move's end-of-block word, as the path counts it.
    std::int64_t line = 0;
    // The most the move lowered any cell.
    double depth = 0.0;
};

class CWorkpiece {
public:
    // Bytes for the undo log and the snapshots together when none is given:
    // with the grid, within the size of a 100 MB program.
    static constexpr std::size_t DEFAULT_HISTORY_BYTES = std::size_t{80} << 20;

    struct CSettings {
        CStockBox box;
        double cell = 1.0;
        // Bytes for the undo log and snapshots: a quarter for the log (which
        // may hold twice that while it grows), half for the snapshots.
        std::size_t historyBytes = DEFAULT_HISTORY_BYTES;
        // Threads that sweep rows apart; 0: as many as the machine has cores.
        unsigned threads = 0;
        // Moves between snapshots at least: closer ones cost more memory than
        // sweeping again.
        std::size_t minSnapshotSpacing = 4096;
        // For tests: called on the sweeping thread before each move, so that
        // a test can fail a sweep inside one of its threads.
        std::function<void(std::size_t move)> beforeMove;
    };

    // headerLines: the line ends in the program's header (see
    // CPathBuilder::CountHeaderLines), for the lines of rapid cuts. The box
    // and cell must pass CHeightGrid::CountCells and the tools be valid.
    CWorkpiece(const CMoveTable& table, const CWordList& words, std::int64_t headerLines, const CToolTable& tools,
               const CSettings& settings);
    ~CWorkpiece();
    CWorkpiece(const CWorkpiece&) = delete;
    CWorkpiece& operator=(const CWorkpiece&) = delete;

    // Called with the moves done so far while BringTo works.
    using ProgressCallback = std::function<void(std::size_t doneCount)>;

    // Brings the grid to the first moveCount moves done (clamped to the
    // table), forwards or backwards. Returns false when cancel was set before
    // the end: the grid then stands consistently at GetDoneCount() moves.
    // An exception from any of the sweep's threads (std::bad_alloc) or from
    // progress reaches the caller once all threads have ended, with the grid
    // back at the untouched box (no moves done); a later BringTo sweeps as a
    // fresh workpiece would.
    bool BringTo(std::size_t moveCount, const std::atomic<bool>* cancel = nullptr,
                 const ProgressCallback& progress = ProgressCallback());

    std::size_t GetDoneCount() const { return doneCount; }
    // Bringing the grid back to this many moves or more replays the undo
    // log (instant); farther back it sweeps again from a snapshot.
    std::size_t GetInstantBackLimit() const { return logFirst; }
    std::size_t GetMoveCount() const { return table.GetCount(); }
    // The material after GetDoneCount() moves.
    const CHeightGrid& GetGrid() const { return grid; }
    // The rapid moves among the moves done that lowered the material, in
    // move order.
    std::vector<CRapidCut> GetRapidCuts() const;
    // The depth a done rapid move cut, 0 when it cut nothing or is no rapid.
    double GetRapidCutDepth(std::size_t move) const;

    // The tool that cuts a move: that of the last T word up to the move's
    // block, or the default tool.
    const CTool& GetToolOfMove(std::size_t move) const;
    // The T number in force at a move, or false before any T word.
    bool GetToolNumberOfMove(std::size_t move, std::int32_t& number) const;
    // The file line of a move's end-of-block word.
    std::int64_t GetMoveLine(std::size_t move) const;

    // Heap bytes held by the grid, its history and the indexes, for the
    // benchmark.
    std::size_t GetMemoryBytes() const;

private:
    // The undo log of the moves [logFirst, doneCount) for the rows of one
    // sweeping thread: every cell's height before each move changed it.
    struct CBandLog {
        CCellChanges changes;
        // Where each logged move's changes end in changes.
        std::vector<std::uint32_t> moveEnds;
        // The rapid moves of the running stretch that lowered these rows.
        std::vector<CRapidCut> rapidCuts;
        bool overflowed = false;
    };

    void SweepForward(std::size_t target, const std::atomic<bool>* cancel, const ProgressCallback& progress,
                      bool& cancelled);
    void SweepStretch(std::size_t first, std::size_t end);
    void SweepBand(std::size_t band, std::size_t first, std::size_t end, std::uint32_t serialBase,
                   const std::atomic<bool>& failed);
    void ResetAfterFailure() noexcept;
    void StepBack(std::size_t target);
    // The moves of the latest stored snapshot at or before target, 0 for
    // the untouched box.
    std::size_t FindSnapshot(std::size_t target) const;
    // Where a sweep from a snapshot to target should look for one: a little
    // before target, to leave steps back in the log.
    std::size_t LessMargin(std::size_t target) const;
    void RestoreSnapshot(std::size_t target);
    void ClearLog();
    void TrimLog();
    std::size_t GetLogBytes() const;

    const CMoveTable& table;
    const CWordList& words;
    CToolTable tools;
    CSettings settings;
    CMoveTools moveTools;
    CHeightGrid grid;
    std::size_t doneCount = 0;
    // The highest move count ever reached: rapid cuts below it are known.
    std::size_t sweptCount = 0;
    // Line ends counted before every LINE_INDEX_STRIDE-th word.
    std::vector<std::int64_t> lineIndex;
    std::int64_t headerLines = 0;
    // Every rapid that cut, once found, in move order; kept over steps back
    // since a move cuts the same whenever it is swept after the same moves.
    std::vector<CRapidCut> rapidCuts;
    // The tool of each move of the running stretch.
    std::vector<const CTool*> stretchTools;
    // Per cell, the serial of the last move that changed it.
    std::vector<std::uint32_t> stamps;
    std::uint32_t serialCount = 0;
    std::size_t logFirst = 0;
    std::vector<CBandLog> bands;
    std::size_t logBudget = 0;
    // Grid copies after snapshotSpacing, 2 x snapshotSpacing, ... moves;
    // empty until swept there.
    std::vector<std::vector<double>> snapshots;
    std::size_t snapshotSpacing = 0;
    // Moves per stretch between progress calls, tuned to the time they take.
    std::size_t stretchMoves = 0;
};
