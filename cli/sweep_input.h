// What stock and compare sweep, made one way for both: a file loaded as
// check loads it and its cut path (the moves before its cut error) in the
// move table the workpiece sweeps, with the tools that cut it.
#pragma once

#include <cstdint>
#include <string>

#include "cut_path.h"
#include "headless_panel.h"
#include "move_table.h"
#include "tool_table.h"

struct CSweepInput {
    explicit CSweepInput(const std::string& file) : headless(file) {}

    CHeadlessPanel headless;
    int loadResult = 0;
    std::int64_t headerLines = 0;
    CToolTable tools;
    CMoveTable table;
    CCutSummary cut;
};

// Loads the input's file and builds its cut path with tools. After a failed
// load the path is that of the words read before the error.
void LoadSweepInput(CSweepInput& input, const CToolTable& tools);
