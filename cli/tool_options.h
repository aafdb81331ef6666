// The command line's tool options, one parser for every subcommand that
// cuts (stock, path --cut, compare): --tool T=SHAPE:DIAMETER and
// --default-tool SHAPE:DIAMETER into a tool table. Also the one form of a
// message about an option: the option and its bad value named in one line.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "tool_table.h"

// False when name is neither option. Otherwise status is 0, 2 (EXIT_BAD_USAGE)
// for a value of the wrong form, or 1 (EXIT_SOME_FAILED) for a diameter that
// cannot cut, which the table holds all the same; a status already set other
// than 0 is kept. The number of a --tool goes to givenNumbers, and a value of
// the wrong form is described in message, when they are given.
bool ParseToolOption(const std::string& name, const std::string& value, CToolTable& tools, int& status,
                     std::set<std::int32_t>* givenNumbers = nullptr, std::string* message = nullptr);

// What to print for status 1.
extern const char* const TOOL_DIAMETER_MESSAGE;

// What any subcommand says of an option given twice or without its value.
extern const char* const OPTION_GIVEN_TWICE;
extern const char* const OPTION_WITHOUT_VALUE;

// "tornavel-cli: " and format, its first "%s" replaced by the option and the
// second by the value, as one line.
std::string OptionMessage(const char* format, const std::string& option, const std::string& value = std::string());
