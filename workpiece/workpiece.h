// The material a program's path leaves: the tool swept along the moves of a
// move table into a height grid, brought to any number of moves done, forwards
// or backwards. A step back replays an undo log of the recent moves' changed
// cells; farther back it restores the nearest grid snapshot and sweeps on from
// there, and PrepareBack extends the log backwards while the learner looks.
// A jump over much of the log shows a snapshot at its target at once (the
// untouched box, or where an earlier long jump started) and brings the log
// along afterwards, in PrepareBack or at the next step that needs it.
// Log and snapshots stay within a memory budget. Drawing is the window's, the
// options the CLI's and the dialogs'.
//
// Threads: a workpiece is used by one thread at a time. The window may run
// BringTo on a worker thread; until it returns, no other thread may call the
// workpiece or read its grid, except from inside the progress callback, which
// runs on the calling thread between moves, with the grid consistent (copy what
// the picture needs there). The sweep itself may split the grid's rows over
// threads of its own, as many as its work is worth; they have ended by the
// time BringTo or the callback runs. Cancel from any thread through the flag
// handed to BringTo: it is read inside every move, between rows. The move
// table, word list and tool table must stay unchanged while the workpiece
// lives; a new load or tool table means a new workpiece.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "height_grid.h"
#include "move_table.h"
#include "stock_box.h"
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
        // Bytes for the undo log and snapshots: half for the log with what a
        // stretch logs before it joins, half for the snapshots.
        std::size_t historyBytes = DEFAULT_HISTORY_BYTES;
        // Threads that may sweep rows apart; 0: as many as the machine has
        // cores. A sweep uses as many of them as its work is worth.
        unsigned threads = 0;
        // Moves between snapshots at least. Snapshots are otherwise spaced
        // by the sweep's work since the last, a few grids' worth of cells:
        // a snapshot costs a grid's copy, so closer ones cost more than
        // sweeping again.
        std::size_t minSnapshotSpacing = 1;
        // For tests: called on the sweeping thread before each move, so that
        // a test can fail a sweep inside one of its threads.
        std::function<void(std::size_t move)> beforeMove;
        // For tests: every stretch swept on all the threads, whatever its
        // work, so that a test can reach the threads with cheap moves.
        bool everyStretchOnAllThreads = false;
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

    // Brings the undo log along after a jump, then extends it backwards by
    // the moves since the snapshot before it, swept on a grid of its own, as
    // far as the budget allows; the grid and the moves done stay as they
    // are. Returns true when it extended the
    // log and there is more to prepare, false when cancelled, when the log
    // starts at the untouched box or when the budget is full.
    bool PrepareBack(const std::atomic<bool>* cancel = nullptr);

    std::size_t GetDoneCount() const;
    // Bringing the grid back to this many moves or more replays the undo
    // log (instant); farther back it sweeps again from a snapshot.
    std::size_t GetInstantBackLimit() const;
    std::size_t GetMoveCount() const;
    // The material after GetDoneCount() moves.
    const CHeightGrid& GetGrid() const;
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
    // The sweep, its history and the program's indexes.
    struct CState;
    std::unique_ptr<CState> state;
};
