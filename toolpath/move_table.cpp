#include "move_table.h"

#include <algorithm>

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
    ends.reserve(moves);
    kindFlags.reserve(moves);
    endWords.reserve(moves);
    blockFirstWords.reserve(moves);
}

void CMoveTable::Append(const CMovePoint& end, MoveKind kind, std::uint8_t flags, std::uint32_t endWord,
                        std::uint32_t blockFirstWord)
{
    ends.push_back(end);
    kindFlags.push_back(static_cast<std::uint8_t>((kind & MOVE_KIND_MASK) | (flags & ~MOVE_KIND_MASK)));
    endWords.push_back(endWord);
    blockFirstWords.push_back(blockFirstWord);
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
    std::vector<CMovePoint>().swap(ends);
    std::vector<std::uint8_t>().swap(kindFlags);
    std::vector<std::uint32_t>().swap(endWords);
    std::vector<std::uint32_t>().swap(blockFirstWords);
    std::vector<CArcRecord>().swap(arcs);
    boundsMin = CMovePoint{};
    boundsMax = CMovePoint{};
    hasBounds = false;
    lengthUnit = WK_UNIT_MM;
}

namespace {

// Copying a table of millions of moves to give back a few kilobytes costs
// more than it saves: only a sixteenth or more is worth it.
template <class T>
void ShrinkIfWorth(std::vector<T>& items)
{
    if (items.capacity() - items.size() > items.size() / 16)
        items.shrink_to_fit();
}

} // namespace

void CMoveTable::ShrinkToFit()
{
    ShrinkIfWorth(ends);
    ShrinkIfWorth(kindFlags);
    ShrinkIfWorth(endWords);
    ShrinkIfWorth(blockFirstWords);
    ShrinkIfWorth(arcs);
}

std::size_t CMoveTable::GetMemoryBytes() const
{
    return ends.capacity() * sizeof(CMovePoint) + kindFlags.capacity() * sizeof(std::uint8_t) +
           endWords.capacity() * sizeof(std::uint32_t) + blockFirstWords.capacity() * sizeof(std::uint32_t) +
           arcs.capacity() * sizeof(CArcRecord);
}
