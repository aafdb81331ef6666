// What stock and compare sweep, made one way for both: a file loaded as
// check loads it and its cut path (the moves before its cut error) in the
// move table the workpiece sweeps, with the tools that cut it: those the
// user chose, and the program's own (comments) where the choice leaves room.
#pragma once

#include <cstdint>
#include <string>

#include "cut_path.h"
#include "headless_panel.h"
#include "move_table.h"
#include <cstdio>
#include <functional>

#include "program_stock.h"
#include "tool_table.h"

struct CSweepInput {
    explicit CSweepInput(const std::string& file) : headless(file) {}

    CHeadlessPanel headless;
    int loadResult = 0;
    std::int64_t headerLines = 0;
    // The box and tools the program states in its comments.
    CProgramStock program;
    CToolTable tools;
    CMoveTable table;
    CCutSummary cut;
};

// Loads the input's file and builds its cut path with the tools of
// ChooseStockTools. After a failed load the path is that of the words read
// before the error.
void LoadSweepInput(CSweepInput& input, const CStockChoice& choice);

// Runs a sweeping subcommand; running out of memory on the way gives the
// loader's message on errors and exit status 1 instead of an abort.
int RunWithinMemory(std::FILE* errors, const std::function<int()>& run);
