// The raw workpiece before any cut: an axis-aligned box in the program's own
// units, and the box that fits a program when the user sets none. Cutting it
// is the workpiece's.
#pragma once

#include "move_table.h"
#include "tool_table.h"
#include "word_list.h"

struct CStockBox {
    double x0 = 0.0;
    double y0 = 0.0;
    double z0 = -10.0;
    double x1 = 100.0;
    double y1 = 100.0;
    double z1 = 0.0;

    // Finite bounds, each lower one below its upper one.
    bool IsValid() const;
    bool operator==(const CStockBox& other) const;
    bool operator!=(const CStockBox& other) const { return !(*this == other); }

    // X and Y span the drawn points of the moves that are not rapids (of all
    // moves when every move is a rapid), widened on every side by the largest
    // radius of the tools the moves use plus max(1, L/10), L the longer of
    // their X and Y extents; the top is 0 and the bottom 1 below
    // the path's lowest point, or 10 below the top when the path never goes
    // below it. Without moves: 100 x 100 x 10 from the origin down. When
    // cancel is set meanwhile, it returns early with a box that is not
    // valid.
    static CStockBox FitToPath(const CMoveTable& table, const CWordList& words, const CToolTable& tools,
                               const std::atomic<bool>* cancel = nullptr);
};
