// The usual mistakes of a learner's program, found for the command line's
// hints and the window's list alike: a decimal comma, a rapid move into the
// material, G20 (inch on many controls, ignored here), the whole program
// taken as header, a path outside the box, a tool without a diameter, a
// cut error (compensation, cycles) and a comment that hides words. Each finding names its file line and says in
// German what is wrong; showing them is the caller's.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cut_path.h"
#include "move_table.h"
#include "program_stock.h"
#include "tool_table.h"
#include "word_list.h"

struct CProgramHint {
    // The file line, counted as "Syntax error in line: N" counts.
    std::int64_t line = 0;
    // UTF-8.
    std::string text;
};

// A cut path of the words built already (the window's own), so that the
// hints need not build and hold a second one. It is taken only where it is
// the path the hints would build: the program needs no cut path, or it was
// cut with the very tools the hints choose.
struct CBuiltCutPath {
    std::shared_ptr<const CMoveTable> table;
    // False: the table is the programmed path, whatever the tools.
    bool needsCut = false;
    CToolTable tools;
    // What cutting said, its lines counted without the header's.
    CCutSummary summary;
};

// What the hints look at: the load's outcome and what it read, and the box
// and tools the user chose (the program's own comments are read here).
struct CHintInput {
    // The loader's result and error text.
    int loadResult = 1;
    std::string_view errorText;
    // The file's bytes, to show the word a syntax error stopped at; may be
    // empty.
    std::string_view fileBytes;
    std::string_view header;
    const CWordList* words = nullptr;
    CStockChoice choice;
    // May be null: the cut path is then built here.
    const CBuiltCutPath* cutPath = nullptr;
    // Threads for the sweep; 0: as many as the machine has cores. A caller
    // beside a sweep of its own leaves it the others.
    unsigned sweepThreads = 0;
};

// The findings in line order. The workpiece is swept as `stock` sweeps it,
// to find the rapid moves that cut; cancel stops the cut path's build and
// the sweep within milliseconds, and the hints of the sweep are then left
// out.
std::vector<CProgramHint> FindProgramHints(const CHintInput& input, const std::atomic<bool>* cancel = nullptr);
