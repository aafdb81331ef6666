// Where the cursor stands in the path as the picture colours it: the cursor
// mapping of cursor_moves.h widened to every move of the current block, so
// that the recolour pass compares ranges only.
#pragma once

#include <cstddef>

#include "move_id_image.h"
#include "move_table.h"

struct CStepState {
    // Moves [0, doneCount) are done.
    std::size_t doneCount = 0;
    // The moves of the block that holds the cursor word, first and last
    // included; NO_MOVE when that block makes none.
    std::size_t blockFirst = CMoveIdImage::NO_MOVE;
    std::size_t blockLast = CMoveIdImage::NO_MOVE;

    bool HasCurrentBlock() const { return blockFirst != CMoveIdImage::NO_MOVE; }
    bool operator==(const CStepState& other) const
    {
        return doneCount == other.doneCount && blockFirst == other.blockFirst && blockLast == other.blockLast;
    }
    bool operator!=(const CStepState& other) const { return !(*this == other); }
};

// cursorWord is the index of the next word to execute; an index at or past
// the end of the word list means every move is done.
CStepState StepStateAt(const CMoveTable& table, std::size_t cursorWord);
