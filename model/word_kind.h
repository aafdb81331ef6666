// The one code set of the system: what a CNC word means, and the modal value
// the machine state keeps for each group. Several codes are never assigned to
// a word; they exist only as modal values and display keywords.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

enum WordKind : std::int32_t {
    WK_NONE = 0,
    WK_RAPID = 1,
    WK_LINEAR = 2,
    WK_CLOCKWISE = 3,
    WK_COUNTER_CLOCKWISE = 4,
    WK_DWELL = 5,
    WK_PARABLE = 6,
    WK_THREAD_LINEAR = 7,
    WK_THREAD_INCR = 8,
    WK_THREAD_DECR = 9,
    WK_PLANE_XY = 10,
    WK_PLANE_YZ = 11,
    WK_PLANE_XZ = 12,
    WK_COMP_OFF = 13,
    WK_COMP_LEFT = 15,
    WK_COMP_RIGHT = 16,
    WK_COMP_POSITIVE = 17,
    WK_COMP_NEGATIVE = 18,
    WK_CYCLE_OFF = 19,
    WK_CYCLE_1 = 20,
    WK_CYCLE_2 = 21,
    WK_CYCLE_3 = 22,
    WK_CYCLE_4 = 23,
    WK_CYCLE_5 = 24,
    WK_CYCLE_6 = 25,
    WK_CYCLE_7 = 28,
    WK_CYCLE_8 = 29,
    WK_CYCLE_9 = 30,
    WK_COORD_MACHINE = 31,
    WK_COORD_UCS_1 = 32,
    WK_COORD_UCS_2 = 33,
    WK_COORD_UCS_3 = 34,
    WK_COORD_UCS_4 = 35,
    WK_COORD_UCS_5 = 36,
    WK_COORD_UCS_6 = 37,
    WK_ABSOLUTE = 38,
    WK_RELATIVE = 39,
    WK_FEED_PER_MIN = 40,
    WK_FEED_REL = 41,
    WK_SPINDLE_CUTTING_SPEED = 42,
    WK_SPINDLE_RPM = 43,
    WK_UNIT_INCH = 44,
    WK_UNIT_MM = 45,
    WK_X = 46,
    WK_Y = 47,
    WK_Z = 48,
    WK_R = 54,
    WK_I = 58,
    WK_J = 59,
    WK_K = 60,
    WK_BLOCK_NUMBER = 61,
    WK_FEED_RATE = 62,
    WK_SPINDLE_SPEED = 63,
    WK_L = 64,
    WK_TOOL = 66,
    WK_MISC = 67,
    WK_COMMENT = 68,
    WK_END_OF_BLOCK = 69,
};

// The modal group a code belongs to. Codes of no group pass through a block
// without effect.
enum WordGroup {
    GROUP_NONE,
    GROUP_MOTION,
    GROUP_PLANE,
    GROUP_COMPENSATION,
    GROUP_CYCLE,
    GROUP_COORD_SYSTEM,
    GROUP_DIMENSIONING,
    GROUP_FEED_MODE,
    GROUP_SPINDLE_MODE,
    GROUP_LENGTH_UNIT,
    GROUP_POSITION,
};

namespace word_kind_detail {

struct GroupRange {
    std::int32_t first;
    std::int32_t last;
    WordGroup group;
};

// The gaps are deliberate: 14 is no compensation, 26 and 27 are no cycle,
// while the position group spans 46 to 60 with its unassigned codes.
constexpr GroupRange groupTable[] = {
    {1, 9, GROUP_MOTION},
    {10, 12, GROUP_PLANE},
    {13, 13, GROUP_COMPENSATION},
    {15, 18, GROUP_COMPENSATION},
    {19, 25, GROUP_CYCLE},
    {28, 30, GROUP_CYCLE},
    {31, 37, GROUP_COORD_SYSTEM},
    {38, 39, GROUP_DIMENSIONING},
    {40, 41, GROUP_FEED_MODE},
    {42, 43, GROUP_SPINDLE_MODE},
    {44, 45, GROUP_LENGTH_UNIT},
    {46, 60, GROUP_POSITION},
};

constexpr std::int32_t KIND_COUNT = 70;

constexpr std::array<WordGroup, KIND_COUNT> MakeGroupIndex()
{
    std::array<WordGroup, KIND_COUNT> index{};
    for (std::int32_t kind = 0; kind < KIND_COUNT; ++kind) {
        index[static_cast<std::size_t>(kind)] = GROUP_NONE;
        for (const GroupRange& range : groupTable) {
            if (kind >= range.first && kind <= range.last)
                index[static_cast<std::size_t>(kind)] = range.group;
        }
    }
    return index;
}

// Looked up for every word of a load and a run, so the ranges are unrolled
// once and the lookup is inline.
inline constexpr std::array<WordGroup, KIND_COUNT> groupIndex = MakeGroupIndex();

} // namespace word_kind_detail

// Any 32-bit value is accepted; codes outside 0 to 69 belong to no group.
constexpr WordGroup GroupOfKind(std::int32_t kind)
{
    if (kind < 0 || kind >= word_kind_detail::KIND_COUNT)
        return GROUP_NONE;
    return word_kind_detail::groupIndex[static_cast<std::size_t>(kind)];
}
