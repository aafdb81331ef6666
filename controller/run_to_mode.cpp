#include "run_to_mode.h"

namespace {

constexpr RunToModeRow runToModes[] = {
    {RUNTO_BLOCK_END, "Satz", STOP_AFTER_BLOCK_END, WK_END_OF_BLOCK, '0'},
    {RUNTO_TOOL_CHANGE, "Werkzeugwechsel", STOP_AT_KIND, WK_TOOL, '1'},
    {RUNTO_Z_VALUE, "Z-Wert", STOP_AT_KIND, WK_Z, '2'},
    {RUNTO_END, "Ende", STOP_AT_END, WK_NONE, '3'},
};

} // namespace

std::size_t RunToModeCount() { return sizeof runToModes / sizeof runToModes[0]; }

const RunToModeRow* FindRunToMode(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= RunToModeCount())
        return nullptr;
    return &runToModes[index];
}

const RunToModeRow* FindRunToModeByDigit(char digit)
{
    for (const RunToModeRow& row : runToModes) {
        if (row.scriptDigit == digit)
            return &row;
    }
    return nullptr;
}
