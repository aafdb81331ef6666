// The twelve state lines of the panel: German prefixes with English keywords,
// spaces and all, in the order the panel writes them. Texts are bytes in code
// page 1252.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "machine_modes.h"

constexpr std::size_t STATE_LINE_COUNT = 12;

// Every field of the machine state that a line shows, coordinates by their
// bits: equal snapshots give the same texts.
enum DisplayField {
    FIELD_X, FIELD_Y, FIELD_Z, FIELD_MOTION, FIELD_COMPENSATION, FIELD_PLANE, FIELD_CYCLE,
    FIELD_COORD_SYSTEM, FIELD_DIMENSIONING, FIELD_LENGTH_UNIT, FIELD_FEED_MODE, FIELD_SPINDLE_MODE,
    DISPLAY_FIELD_COUNT
};
using StateSnapshot = std::array<std::uint64_t, DISPLAY_FIELD_COUNT>;
StateSnapshot TakeStateSnapshot(const CMachineModes& modes);

// line counts from 0 in the order the panel writes the lines.
int StateLineControlId(std::size_t line);
std::string StateLineText(std::size_t line, const CMachineModes& modes);
// The fields a line's text is made from, one bit per DisplayField.
std::uint32_t StateLineFields(std::size_t line);

// The message line's texts.
extern const char* const MESSAGE_BLANK_LOAD;
extern const char* const MESSAGE_BLANK_COMMAND;
extern const char* const MESSAGE_END_OF_PROGRAM;
