#include "undo_log.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

std::size_t CUndoLog::GetBytes() const
{
    return (runs.size() + redoRuns.size()) * sizeof(CCellRun) +
           (moveRuns.size() + redoMoveRuns.size()) * sizeof(std::uint32_t) + scratch.capacity() * sizeof(CCellRun);
}

std::size_t CUndoLog::CountCells(std::size_t from, std::size_t to, std::size_t limit) const
{
    const std::size_t low = std::min(from, to);
    const std::size_t high = std::max(from, to);
    std::size_t cells = 0;
    // The done moves from the newest back, the undone ones from the first.
    std::size_t run = runs.size() - undoneRuns;
    for (std::size_t move = done; move > low && cells < limit; --move) {
        const std::size_t count = moveRuns[move - 1 - first];
        run -= count;
        for (std::size_t index = run; move <= high && index < run + count; ++index)
            cells += runs[index].count;
    }
    run = 0;
    for (std::size_t move = done; move < high && cells < limit; ++move) {
        const std::size_t count = redoMoveRuns[move - done];
        for (std::size_t index = run; move >= low && index < run + count; ++index)
            cells += redoRuns[index].count;
        run += count;
    }
    return std::min(cells, limit);
}

void CUndoLog::Clear(std::size_t move)
{
    // Swapped out rather than cleared: a deque keeps its blocks otherwise.
    std::deque<CCellRun>().swap(runs);
    std::deque<std::uint32_t>().swap(moveRuns);
    std::deque<CCellRun>().swap(redoRuns);
    std::deque<std::uint32_t>().swap(redoMoveRuns);
    std::vector<CCellRun>().swap(scratch);
    undoneRuns = 0;
    first = move;
    done = move;
    openRuns = 0;
}

void CUndoLog::AddRuns(const CCellRun* added, std::size_t count)
{
    if (done != GetEnd())
        throw std::logic_error("a move logged after undone ones");
    runs.insert(runs.end(), added, added + count);
    openRuns += count;
}

void CUndoLog::EndMove()
{
    moveRuns.push_back(static_cast<std::uint32_t>(openRuns));
    openRuns = 0;
    ++done;
}

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof(double)) == 0; }

} // namespace

void CUndoLog::UndoLast(double* heights)
{
    const std::size_t count = moveRuns[done - 1 - first];
    const std::size_t end = runs.size() - undoneRuns;
    // The heights after the move, joined as the sweep joins them: a stretch
    // of equal heights at a time, a floor being mostly one.
    scratch.clear();
    for (std::size_t run = end - count; run < end; ++run) {
        const CCellRun& before = runs[run];
        const double* after = heights + before.cell;
        std::uint32_t cell = 0;
        while (cell < before.count) {
            const double height = after[cell];
            std::uint32_t next = cell + 1;
            while (next < before.count && SameBits(after[next], height))
                ++next;
            if (!scratch.empty() && scratch.back().cell + scratch.back().count == before.cell + cell &&
                SameBits(scratch.back().height, height))
                scratch.back().count += next - cell;
            else
                scratch.push_back(CCellRun{before.cell + cell, next - cell, height});
            cell = next;
        }
    }
    for (std::size_t run = end - count; run < end; ++run) {
        const CCellRun& before = runs[run];
        std::fill_n(heights + before.cell, before.count, before.height);
    }
    redoRuns.insert(redoRuns.begin(), scratch.begin(), scratch.end());
    redoMoveRuns.push_front(static_cast<std::uint32_t>(scratch.size()));
    undoneRuns += count;
    --done;
}

void CUndoLog::RedoNext(double* heights)
{
    const std::size_t count = redoMoveRuns.front();
    for (std::size_t run = 0; run < count; ++run) {
        const CCellRun& after = redoRuns[run];
        std::fill_n(heights + after.cell, after.count, after.height);
    }
    redoRuns.erase(redoRuns.begin(), redoRuns.begin() + static_cast<std::ptrdiff_t>(count));
    redoMoveRuns.pop_front();
    undoneRuns -= moveRuns[done - first];
    ++done;
}

void CUndoLog::DropOldest()
{
    runs.erase(runs.begin(), runs.begin() + moveRuns.front());
    moveRuns.pop_front();
    ++first;
}

void CUndoLog::DropNewest()
{
    const std::size_t count = moveRuns.back();
    runs.erase(runs.end() - static_cast<std::ptrdiff_t>(count), runs.end());
    moveRuns.pop_back();
    undoneRuns -= count;
    redoRuns.erase(redoRuns.end() - redoMoveRuns.back(), redoRuns.end());
    redoMoveRuns.pop_back();
}

void CUndoLog::Prepend(CUndoLog& earlier)
{
    if (earlier.GetEnd() != first || earlier.done != earlier.GetEnd() || earlier.openRuns != 0)
        throw std::logic_error("undo logs that do not join");
    runs.insert(runs.begin(), earlier.runs.begin(), earlier.runs.end());
    moveRuns.insert(moveRuns.begin(), earlier.moveRuns.begin(), earlier.moveRuns.end());
    first = earlier.first;
    earlier.Clear(first);
}
