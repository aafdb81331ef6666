#include "step_state.h"

#include "cursor_moves.h"

CStepState StepStateAt(const CMoveTable& table, std::size_t cursorWord)
{
    const CCursorMoves located = CCursorMoves::Locate(table, cursorWord);
    CStepState state;
    state.doneCount = located.doneCount;
    if (located.currentMove == CCursorMoves::NO_MOVE)
        return state;
    state.blockFirst = located.currentMove;
    // Every move of a block ends at the block's end-of-block word.
    std::size_t last = state.blockFirst;
    while (last + 1 < table.GetCount() && table.GetEndWord(last + 1) == table.GetEndWord(state.blockFirst))
        ++last;
    state.blockLast = last;
    return state;
}
