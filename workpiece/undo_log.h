// The undo log of a run of consecutive moves: for each move, the cells it
// changed with their heights before it, as runs of neighbouring cells; for
// each move undone, the heights after it too, so that stepping forward over
// it again replays instead of sweeping. The log holds whole moves only and
// takes moves logged elsewhere at its old end. Which moves it may afford is
// the workpiece's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "tool_sweep.h"

class CUndoLog {
public:
    // The moves logged, [GetFirst(), GetEnd()); the grid stands after
    // GetDone() of them: the moves from there on are undone.
    std::size_t GetFirst() const { return first; }
    std::size_t GetDone() const { return done; }
    std::size_t GetEnd() const { return first + moveRuns.size(); }
    bool IsEmpty() const { return moveRuns.empty(); }
    std::size_t GetBytes() const;

    // The cells the moves between two move counts (within the log)
    // changed, counted up to limit at most: what bringing the grid from one
    // to the other writes.
    std::size_t CountCells(std::size_t from, std::size_t to, std::size_t limit) const;

    // Forgets every move; the log then starts and ends at move.
    void Clear(std::size_t move);
    // Runs of the next move, once no move is undone; the move is logged at
    // EndMove. A cell may appear once in a move.
    void AddRuns(const CCellRun* runs, std::size_t count);
    void EndMove();
    // Puts the heights before the latest done move back, keeping the
    // heights after it for Redo.
    void UndoLast(double* heights);
    // Puts the heights after the first undone move back.
    void RedoNext(double* heights);
    // The oldest move, which must be done, or the newest, which must be
    // undone, is forgotten.
    void DropOldest();
    void DropNewest();
    // Takes the moves of earlier, all done and ending where this log starts,
    // in front of its own; earlier is left empty.
    void Prepend(CUndoLog& earlier);

private:
    std::deque<CCellRun> runs;
    // The runs of each move, oldest first.
    std::deque<std::uint32_t> moveRuns;
    // The heights after each undone move, the first undone first.
    std::deque<CCellRun> redoRuns;
    std::deque<std::uint32_t> redoMoveRuns;
    // Of runs, those of the undone moves, at its end.
    std::size_t undoneRuns = 0;
    std::size_t first = 0;
    std::size_t done = 0;
    // Runs added since the last EndMove.
    std::size_t openRuns = 0;
    std::vector<CCellRun> scratch;
};
