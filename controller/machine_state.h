// The simulated machine: tool position and modal settings. Words arrive one
// at a time in program order; a block is gathered until its end-of-block word
// and then applied in order. Showing the state is UpdateDisplay's; which
// words arrive is the program cursor's.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "cnc_word.h"
#include "panel_interfaces.h"
#include "state_texts.h"
#include "tool_position.h"

class CMachineState {
public:
    // owner may be null: then nothing is displayed.
    explicit CMachineState(IPanelControls* owner);

    // 0 when no word is given, 1 otherwise.
    int ExecuteWord(const CCncWord* word);
    // The same for a word's value part, which is all a block reads.
    int ExecuteWord(const CCncValue& word);
    int ApplyBlock();
    void ClearBlock() { blockBuffer.clear(); }
    int ApplyPositionWord(const CCncValue* word);
    void UpdateDisplay();

    const CToolPosition& GetPosition() const { return position; }
    std::int32_t GetMotion() const { return motion; }
    std::int32_t GetPlane() const { return plane; }
    std::int32_t GetCompensation() const { return compensation; }
    std::int32_t GetCycle() const { return cycle; }
    std::int32_t GetDimensioning() const { return dimensioning; }
    std::int32_t GetCoordSystem() const { return coordSystem; }
    std::int32_t GetFeedMode() const { return feedMode; }
    std::int32_t GetSpindleMode() const { return spindleMode; }
    std::int32_t GetLengthUnit() const { return lengthUnit; }
    std::size_t GetBlockSize() const { return blockBuffer.size(); }

private:
    IPanelControls* owner;
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
    // The value parts of the gathered words: all that applying a block reads.
    // Holding copies, not references, means no word of a replaced program
    // can be reached through the buffer.
    std::vector<CCncValue> blockBuffer;
    // What the display showed when it was last written.
    StateSnapshot shown{};
    bool displayed = false;
};
