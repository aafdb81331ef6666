// The twelve state lines of the panel: German prefixes with English keywords,
// spaces and all, in the order the panel writes them. Texts are bytes in code
// page 1252.
#pragma once

#include <array>
#include <string>

class CMachineState;

struct StateLine {
    int controlId;
    std::string text;
};

constexpr std::size_t STATE_LINE_COUNT = 12;

std::array<StateLine, STATE_LINE_COUNT> BuildStateLines(const CMachineState& state);

// The message line's texts.
extern const char* const MESSAGE_BLANK_LOAD;
extern const char* const MESSAGE_BLANK_COMMAND;
extern const char* const MESSAGE_END_OF_PROGRAM;
