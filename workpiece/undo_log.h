// The undo log of a run of consecutive moves: for each move, the cells it
// changed with their heights before it, as runs of neighbouring cells. Undoing
// the latest move puts its heights back. The log holds whole moves only,
// drops its oldest first, and takes moves logged elsewhere at its old end.
// Which moves it may afford is the workpiece's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "tool_sweep.h"

class CUndoLog {
public:
    // The moves logged: [GetFirst(), GetEnd()).
    std::size_t GetFirst() const { return first; }
    std::size_t GetEnd() const { return first + moveRuns.size(); }
    bool IsEmpty() const { return moveRuns.empty(); }
    std::size_t GetBytes() const;

    // Forgets every move; the log then starts and ends at move.
    void Clear(std::size_t move);
    // Runs of the next move; the move is logged at EndMove. A cell may
    // appear once in a move.
    void AddRuns(const CCellRun* runs, std::size_t count);
    void EndMove();
    // Puts the heights before the latest move back and forgets it.
    void UndoLast(double* heights);
    void DropOldest();
    // Takes the moves of earlier, which must end where this log starts, in
    // front of its own; earlier is left empty.
    void Prepend(CUndoLog& earlier);

private:
    std::deque<CCellRun> runs;
    // The runs of each move, oldest first.
    std::deque<std::uint32_t> moveRuns;
    std::size_t first = 0;
    // Runs added since the last EndMove.
    std::size_t openRuns = 0;
};
