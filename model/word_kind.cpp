#include "word_kind.h"

#include <array>
#include <cstddef>

namespace {

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

// Looked up for every word of a run, so the ranges are unrolled once.
constexpr std::array<WordGroup, KIND_COUNT> groupIndex = MakeGroupIndex();

} // namespace

WordGroup GroupOfKind(std::int32_t kind)
{
    if (kind < 0 || kind >= KIND_COUNT)
        return GROUP_NONE;
    return groupIndex[static_cast<std::size_t>(kind)];
}
