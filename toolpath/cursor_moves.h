// Where the program cursor stands in the toolpath: how many moves are done
// and which move the cursor's block makes. Binary searches over the move
// table, so a step costs the same in any program; colouring is the window's.
#pragma once

#include <cstddef>

#include "move_table.h"
#include "word_list.h"

struct CCursorMoves {
    static constexpr std::size_t NO_MOVE = static_cast<std::size_t>(-1);

    // The moves whose end-of-block word lies before the cursor.
    std::size_t doneCount = 0;
    // The move of the block that holds the cursor word, or NO_MOVE when that
    // block makes none or the cursor is past the end.
    std::size_t currentMove = NO_MOVE;

    // cursor: the index of the next word to execute, or
    // CWordList::NO_POSITION past the end.
    static CCursorMoves Locate(const CMoveTable& table, WordPosition cursor);
};
