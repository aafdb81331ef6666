// The twelve state lines of the panel: German prefixes with English keywords,
// spaces and all, in the order the panel writes them. Texts are bytes in code
// page 1252.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class CMachineState;

constexpr std::size_t STATE_LINE_COUNT = 12;

// What a line's text is made from: equal inputs give the same text, so a line
// whose inputs did not change need not be written again.
using StateLineInputs = std::array<std::uint64_t, 2>;

// line counts from 0 in the order the panel writes the lines.
int StateLineControlId(std::size_t line);
std::string StateLineText(std::size_t line, const CMachineState& state);
StateLineInputs StateLineInputsOf(std::size_t line, const CMachineState& state);

// The message line's texts.
extern const char* const MESSAGE_BLANK_LOAD;
extern const char* const MESSAGE_BLANK_COMMAND;
extern const char* const MESSAGE_END_OF_PROGRAM;
