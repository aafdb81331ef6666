// What the simulated machine holds after a block: the tool position and one
// code per modal group, as a plain value. The machine state changes it; the
// state texts only read it.
#pragma once

#include <cstdint>

#include "tool_position.h"
#include "word_kind.h"

struct CMachineModes {
    CToolPosition position;
    std::int32_t motion = WK_LINEAR;
    std::int32_t plane = WK_PLANE_XY;
    std::int32_t compensation = WK_COMP_OFF;
    std::int32_t cycle = WK_CYCLE_OFF;
    std::int32_t dimensioning = WK_ABSOLUTE;
    std::int32_t coordSystem = WK_COORD_MACHINE;
    std::int32_t feedMode = WK_FEED_PER_MIN;
    std::int32_t spindleMode = WK_SPINDLE_RPM;
    std::int32_t lengthUnit = WK_UNIT_MM;
};
