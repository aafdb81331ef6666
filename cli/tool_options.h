// The command line's tool options, one parser for every subcommand that
// cuts (stock, path --cut, compare): --tool T=SHAPE:DIAMETER and
// --default-tool SHAPE:DIAMETER into a tool table.
#pragma once

#include <string>

#include "tool_table.h"

// False when name is neither option. Otherwise status is 0, 2 (EXIT_BAD_USAGE)
// for a value of the wrong form, or 1 (EXIT_SOME_FAILED) for a diameter that
// cannot cut, which the table holds all the same; a status already set other
// than 0 is kept.
bool ParseToolOption(const std::string& name, const std::string& value, CToolTable& tools, int& status);

// What to print for status 1.
extern const char* const TOOL_DIAMETER_MESSAGE;
