// Which cutting moves of a path leave the material's box: beside it or
// below its floor. At or above the box's top the tool cuts nothing, so an
// approach over the stock is no finding; rapid moves may go round the box.
// The hints and the window's note on the picture both ask here.
#pragma once

#include <cstddef>

#include "move_chords.h"
#include "move_table.h"
#include "stock_box.h"

struct CMovesOutsideBox {
    std::size_t count = 0;
    // The first such move and its first point outside; valid when count > 0.
    std::size_t firstMove = 0;
    SweepPoint firstPoint{};
};

// A point below the box's top that lies beside the box or under its floor.
bool IsPointOutsideBox(const SweepPoint& point, const CStockBox& box);
// Moves are judged by their ends and, for an exact arc, its extremes.
// stopAtFirst: the caller only wants to know whether there is one. When
// cancel is set meanwhile, it returns early with what it found so far.
CMovesOutsideBox FindMovesOutsideBox(const CMoveTable& table, const CStockBox& box, bool stopAtFirst = false,
                                     const std::atomic<bool>* cancel = nullptr);
