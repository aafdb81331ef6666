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
    if (ends.empty())
        return false;
    if (hasBounds) {
        min = boundsMin;
        max = boundsMax;
        return true;
    }
    // Without bounds from the builder: the end points and the origin, where
    // the first move starts.
    min = CMovePoint{};
    max = CMovePoint{};
    for (const CMovePoint& end : ends) {
        min.x = std::min(min.x, end.x);
        min.y = std::min(min.y, end.y);
        min.z = std::min(min.z, end.z);
        max.x = std::max(max.x, end.x);
        max.y = std::max(max.y, end.y);
        max.z = std::max(max.z, end.z);
    }
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
    ends.clear();
    kindFlags.clear();
    endWords.clear();
    blockFirstWords.clear();
    arcs.clear();
    hasBounds = false;
}

std::size_t CMoveTable::GetMemoryBytes() const
{
    return ends.capacity() * sizeof(CMovePoint) + kindFlags.capacity() + endWords.capacity() * sizeof(std::uint32_t) +
           blockFirstWords.capacity() * sizeof(std::uint32_t) + arcs.capacity() * sizeof(CArcRecord);
}
