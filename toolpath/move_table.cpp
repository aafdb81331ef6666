#include "move_table.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform.h"

namespace {

// Steps per program unit of the compact runs. A decimal of at most six
// places is n / 1e6 for an integer n, and dividing the two exact doubles
// rounds to the same double as reading the decimal does.
constexpr double COMPACT_STEPS = 1e6;
// Integers up to 2^53 are exact doubles.
constexpr double EXACT_INTEGER_LIMIT = 9007199254740992.0;

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The count of steps that gives exactly value, or false when there is none.
bool ToSteps(double value, std::int64_t& steps)
{
    const double scaled = value * COMPACT_STEPS;
    if (!(std::fabs(scaled) < EXACT_INTEGER_LIMIT))
        return false;
    // Rounded half away from zero without a library call; a count that is
    // off by one fails the check below and leaves the run wide.
    steps = static_cast<std::int64_t>(scaled + std::copysign(0.5, scaled));
    return SameBits(static_cast<double>(steps) / COMPACT_STEPS, value);
}

double FromSteps(std::int64_t steps) { return static_cast<double>(steps) / COMPACT_STEPS; }

double Axis(const CMovePoint& point, std::size_t axis) { return axis == 0 ? point.x : axis == 1 ? point.y : point.z; }

} // namespace

CMovePoint CMoveTable::GetEnd(std::size_t move) const
{
    const std::size_t run = move / RUN_MOVES;
    if (run >= runs.size())
        return openEnds[move - runs.size() * RUN_MOVES];
    const CEndRun& ends = runs[run];
    const std::size_t index = move % RUN_MOVES;
    if (ends.wide) {
        const std::size_t at = 3 * (ends.at[0] + index);
        return {wideEnds[at], wideEnds[at + 1], wideEnds[at + 2]};
    }
    return {CompactAxis(ends, 0, index), CompactAxis(ends, 1, index), CompactAxis(ends, 2, index)};
}

double CMoveTable::CompactAxis(const CEndRun& ends, std::size_t axis, std::size_t index) const
{
    const std::size_t at = ends.at[axis] + index;
    const std::int64_t step = ends.scale[axis] != 0 ? std::int64_t(narrowSteps[at]) * ends.scale[axis]
                                                    : std::int64_t(compactEnds[at]);
    return FromSteps(ends.base[axis] + step);
}

std::ptrdiff_t CMoveTable::FindArc(std::size_t move) const
{
    const auto found = std::lower_bound(arcs.begin(), arcs.end(), move,
                                        [](const CArcRecord& arc, std::size_t wanted) { return arc.move < wanted; });
    if (found == arcs.end() || found->move != move)
        return -1;
    return found - arcs.begin();
}

bool CMoveTable::GetBounds(CMovePoint& min, CMovePoint& max) const
{
    if (!hasBounds)
        return false;
    min = boundsMin;
    max = boundsMax;
    return true;
}

void CMoveTable::Reserve(std::size_t moves)
{
    // Compact runs are the rule, most of their axes narrow; a wide run grows
    // its own vector. Room reserved and never used costs no memory.
    compactEnds.reserve(3 * moves);
    narrowSteps.reserve(3 * moves);
    runs.reserve(moves / RUN_MOVES + 1);
    openEnds.reserve(RUN_MOVES);
    kindFlags.reserve(moves);
    endWordSteps.reserve(moves);
    blockLengths.reserve(moves);
    openWords.reserve(RUN_MOVES);
}

void CMoveTable::Append(const CMovePoint& end, MoveKind kind, MoveFlags flags, std::uint32_t endWord,
                        std::uint32_t blockFirstWord)
{
    openEnds.push_back(end);
    const auto kindFlag = static_cast<MoveFlags>((kind & MOVE_KIND_MASK) | (flags & ~MOVE_KIND_MASK));
    if (!wideKinds && kindFlag > 0xFF) {
        wideKinds = true;
        wideKindFlags.reserve(kindFlags.capacity());
        wideKindFlags.assign(kindFlags.begin(), kindFlags.end());
        std::vector<std::uint8_t>().swap(kindFlags);
    }
    if (wideKinds)
        wideKindFlags.push_back(kindFlag);
    else
        kindFlags.push_back(static_cast<std::uint8_t>(kindFlag));
    openWords.push_back({endWord, blockFirstWord});
    if (openEnds.size() == RUN_MOVES)
        CloseRun();
}

void CMoveTable::CloseRun()
{
    CEndRun run;
    const std::size_t count = openEnds.size();
    std::array<std::array<std::int64_t, RUN_MOVES>, 3> steps;
    bool compact = true;
    for (std::size_t index = 0; compact && index < count; ++index) {
        for (std::size_t axis = 0; compact && axis < 3; ++axis) {
            std::int64_t at = 0;
            compact = ToSteps(Axis(openEnds[index], axis), at);
            if (index == 0)
                run.base[axis] = at;
            steps[axis][index] = at - run.base[axis];
        }
    }
    for (std::size_t axis = 0; compact && axis < 3; ++axis) {
        const std::int64_t* const axisSteps = steps[axis].data();
        run.scale[axis] = NarrowScale(axisSteps, count);
        compact = run.scale[axis] != 0 || std::all_of(axisSteps, axisSteps + count, [](std::int64_t step) {
                      return step >= INT32_MIN && step <= INT32_MAX;
                  });
    }
    if (compact) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const std::int64_t scale = run.scale[axis];
            if (scale != 0) {
                run.at[axis] = narrowSteps.size();
                for (std::size_t index = 0; index < count; ++index)
                    narrowSteps.push_back(static_cast<std::int16_t>(steps[axis][index] / scale));
            } else {
                run.at[axis] = compactEnds.size();
                for (std::size_t index = 0; index < count; ++index)
                    compactEnds.push_back(static_cast<std::int32_t>(steps[axis][index]));
            }
        }
    } else {
        run = CEndRun{};
        run.wide = true;
        run.at[0] = wideEnds.size() / 3;
        for (const CMovePoint& end : openEnds)
            wideEnds.insert(wideEnds.end(), {end.x, end.y, end.z});
    }
    CloseWords(run);
    runs.push_back(run);
    openEnds.clear();
}

std::int32_t CMoveTable::NarrowScale(const std::int64_t* steps, std::size_t count)
{
    // The largest power of ten that divides every step: programs write
    // three or four places, which leaves most steps a multiple of 100 or 1000.
    std::int64_t scale = static_cast<std::int64_t>(COMPACT_STEPS);
    for (std::size_t index = 0; index < count; ++index) {
        while (scale > 1 && steps[index] % scale != 0)
            scale /= 10;
    }
    const bool fits = std::all_of(steps, steps + count, [scale](std::int64_t step) {
        return step / scale >= INT16_MIN && step / scale <= INT16_MAX;
    });
    return fits ? static_cast<std::int32_t>(scale) : 0;
}

void CMoveTable::CloseWords(CEndRun& run)
{
    const std::uint32_t first = openWords.front().endWord;
    const bool narrow = std::all_of(openWords.begin(), openWords.end(), [first](const CMoveWords& words) {
        return words.endWord >= first && words.endWord - first <= LARGEST_END_WORD_STEP &&
               words.blockFirstWord <= words.endWord && words.endWord - words.blockFirstWord <= LARGEST_BLOCK_LENGTH;
    });
    if (narrow) {
        run.words = first;
        for (const CMoveWords& words : openWords) {
            endWordSteps.push_back(static_cast<std::uint16_t>(words.endWord - first));
            blockLengths.push_back(static_cast<std::uint8_t>(words.endWord - words.blockFirstWord));
        }
    } else {
        run.wideWords = true;
        run.words = static_cast<std::uint32_t>(wideWords.size());
        wideWords.insert(wideWords.end(), openWords.begin(), openWords.end());
        endWordSteps.insert(endWordSteps.end(), openWords.size(), 0);
        blockLengths.insert(blockLengths.end(), openWords.size(), 0);
    }
    openWords.clear();
}

void CMoveTable::SetBounds(const CMovePoint& min, const CMovePoint& max)
{
    boundsMin = min;
    boundsMax = max;
    hasBounds = true;
}

void CMoveTable::Clear()
{
    // A big program's table is tens of megabytes: give it back, not just empty it.
    std::vector<std::int32_t>().swap(compactEnds);
    std::vector<std::int16_t>().swap(narrowSteps);
    std::vector<double>().swap(wideEnds);
    std::vector<CEndRun>().swap(runs);
    std::vector<CMovePoint>().swap(openEnds);
    std::vector<std::uint8_t>().swap(kindFlags);
    std::vector<MoveFlags>().swap(wideKindFlags);
    wideKinds = false;
    std::vector<std::uint16_t>().swap(endWordSteps);
    std::vector<std::uint8_t>().swap(blockLengths);
    std::vector<CMoveWords>().swap(wideWords);
    std::vector<CMoveWords>().swap(openWords);
    std::vector<CArcRecord>().swap(arcs);
    boundsMin = CMovePoint{};
    boundsMax = CMovePoint{};
    hasBounds = false;
    lengthUnit = WK_UNIT_MM;
}

// Copying millions of moves into exact room would cost a copy and fresh
// pages for it; the room past them goes back to the system instead.
void CMoveTable::GiveBackRoom()
{
    ::GiveBackRoom(compactEnds);
    ::GiveBackRoom(narrowSteps);
    ::GiveBackRoom(wideEnds);
    ::GiveBackRoom(runs);
    ::GiveBackRoom(kindFlags);
    ::GiveBackRoom(wideKindFlags);
    ::GiveBackRoom(endWordSteps);
    ::GiveBackRoom(blockLengths);
    ::GiveBackRoom(wideWords);
    ::GiveBackRoom(arcs);
}

std::size_t CMoveTable::GetMemoryBytes() const
{
    return compactEnds.capacity() * sizeof(std::int32_t) + narrowSteps.capacity() * sizeof(std::int16_t) +
           wideEnds.capacity() * sizeof(double) +
           runs.capacity() * sizeof(CEndRun) + openEnds.capacity() * sizeof(CMovePoint) +
           kindFlags.capacity() + wideKindFlags.capacity() * sizeof(MoveFlags) +
           endWordSteps.capacity() * sizeof(std::uint16_t) +
           blockLengths.capacity() * sizeof(std::uint8_t) + wideWords.capacity() * sizeof(CMoveWords) +
           openWords.capacity() * sizeof(CMoveWords) + arcs.capacity() * sizeof(CArcRecord);
}
