#include "step_state.h"

namespace {

// The first move whose end word is not below word (binary search: the end
// words ascend with the moves).
std::size_t FirstMoveEndingAtOrAfter(const CMoveTable& table, std::size_t word)
{
    std::size_t low = 0;
    std::size_t high = table.GetCount();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (table.GetEndWord(middle) < word)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace

CStepState StepStateAt(const CMoveTable& table, std::size_t cursorWord)
{
    CStepState state;
    state.doneCount = FirstMoveEndingAtOrAfter(table, cursorWord);
    if (state.doneCount == table.GetCount() || table.GetBlockFirstWord(state.doneCount) > cursorWord)
        return state;
    state.blockFirst = state.doneCount;
    // Every move of a block ends at the block's end-of-block word.
    state.blockLast = FirstMoveEndingAtOrAfter(table, static_cast<std::size_t>(table.GetEndWord(state.blockFirst)) + 1) - 1;
    return state;
}
