// The stopping points of the run-to command: one row each, in the order of
// the panel's selector, with the rule that ends the run and the digit that
// chooses it in a trace script.
#pragma once

#include <cstddef>

#include "word_kind.h"

// Equal to the item indexes of the run-to selector.
enum RunToMode {
    RUNTO_BLOCK_END = 0,
    RUNTO_TOOL_CHANGE = 1,
    RUNTO_Z_VALUE = 2,
    RUNTO_END = 3,
};

enum RunToStop {
    // After the end-of-block word, with the next block's first word shown
    // but not taken.
    STOP_AFTER_BLOCK_END,
    // At the first word of stopKind, which is taken and shown.
    STOP_AT_KIND,
    // Only at the program's end.
    STOP_AT_END,
};

struct RunToModeRow {
    RunToMode mode;
    // The selector's item text, in code page 1252.
    const char* comboText;
    RunToStop stop;
    WordKind stopKind;
    char scriptDigit;
};

std::size_t RunToModeCount();
// Null when index names no mode.
const RunToModeRow* FindRunToMode(int index);
// Null when digit chooses no mode.
const RunToModeRow* FindRunToModeByDigit(char digit);
