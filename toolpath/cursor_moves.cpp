#include "cursor_moves.h"

CCursorMoves CCursorMoves::Locate(const CMoveTable& table, WordPosition cursor)
{
    // End words ascend with the move: find the first move not yet done.
    std::size_t low = 0;
    std::size_t high = table.GetCount();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (static_cast<WordPosition>(table.GetEndWord(middle)) < cursor)
            low = middle + 1;
        else
            high = middle;
    }
    CCursorMoves located;
    located.doneCount = low;
    if (low < table.GetCount() && static_cast<WordPosition>(table.GetBlockFirstWord(low)) <= cursor)
        located.currentMove = low;
    return located;
}
