// The usual mistakes of a learner's program, found for the command line's
// hints and the window's list alike: a decimal comma, a rapid move into the
// material, G20 (inch on many controls, ignored here), the whole program
// taken as header, a path outside the box, a tool without a diameter and a
// comment that hides words. Each finding names its file line and says in
// German what is wrong; showing them is the caller's.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "program_stock.h"
#include "word_list.h"

struct CProgramHint {
    // The file line, counted as "Syntax error in line: N" counts.
    std::int64_t line = 0;
    // UTF-8.
    std::string text;
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
};

// The findings in line order. The workpiece is swept as `stock` sweeps it,
// to find the rapid moves that cut; cancel stops the sweep, and the hints
// of the sweep are then left out.
std::vector<CProgramHint> FindProgramHints(const CHintInput& input, const std::atomic<bool>* cancel = nullptr);
