#include "undo_log.h"

#include <stdexcept>

std::size_t CUndoLog::GetBytes() const
{
    return runs.size() * sizeof(CCellRun) + moveRuns.size() * sizeof(std::uint32_t);
}

void CUndoLog::Clear(std::size_t move)
{
    // Swapped out rather than cleared: a deque keeps its blocks otherwise.
    std::deque<CCellRun>().swap(runs);
    std::deque<std::uint32_t>().swap(moveRuns);
    first = move;
    openRuns = 0;
}

void CUndoLog::AddRuns(const CCellRun* added, std::size_t count)
{
    runs.insert(runs.end(), added, added + count);
    openRuns += count;
}

void CUndoLog::EndMove()
{
    moveRuns.push_back(static_cast<std::uint32_t>(openRuns));
    openRuns = 0;
}

void CUndoLog::UndoLast(double* heights)
{
    for (std::uint32_t run = moveRuns.back(); run > 0; --run) {
        const CCellRun& last = runs.back();
        for (std::uint32_t cell = 0; cell < last.count; ++cell)
            heights[last.cell + cell] = last.height;
        runs.pop_back();
    }
    moveRuns.pop_back();
}

void CUndoLog::DropOldest()
{
    runs.erase(runs.begin(), runs.begin() + moveRuns.front());
    moveRuns.pop_front();
    ++first;
}

void CUndoLog::Prepend(CUndoLog& earlier)
{
    if (earlier.GetEnd() != first || earlier.openRuns != 0)
        throw std::logic_error("undo logs that do not join");
    runs.insert(runs.begin(), earlier.runs.begin(), earlier.runs.end());
    moveRuns.insert(moveRuns.begin(), earlier.moveRuns.begin(), earlier.moveRuns.end());
    first = earlier.first;
    earlier.Clear(first);
}
