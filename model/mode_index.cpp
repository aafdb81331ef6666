#include "mode_index.h"

#include <algorithm>
#include <iterator>

void CModeIndex::Clear() { *this = CModeIndex(); }

void CModeIndex::Take(std::size_t position, WordKind kind)
{
    const auto byte = static_cast<std::uint8_t>(kind);
    Take(position, &byte, 1);
}

void CModeIndex::Take(std::size_t first, const std::uint8_t* kinds, std::size_t count)
{
    std::size_t index = 0;
    while (index < count) {
        // Mode words are rare: between two of them the open block's modes
        // stay, and only the first and the last end of block matter.
        std::size_t stretchEnd = index;
        while (count - stretchEnd >= SCREENED && !ScreensModes(kinds + stretchEnd))
            stretchEnd += SCREENED;
        while (stretchEnd < count && !ChangesModes(kinds[stretchEnd]))
            ++stretchEnd;
        TakeSteady(first, kinds, index, stretchEnd);
        if (stretchEnd == count)
            break;
        const auto kind = static_cast<WordKind>(kinds[stretchEnd]);
        if (GroupOfKind(kind) == GROUP_DIMENSIONING)
            open.dimensioning = kind;
        else
            open.lengthUnit = kind;
        index = stretchEnd + 1;
    }
}

void CModeIndex::TakeSteady(std::size_t first, const std::uint8_t* kinds, std::size_t from, std::size_t to)
{
    std::size_t firstEnd = from;
    while (firstEnd < to && kinds[firstEnd] != WK_END_OF_BLOCK)
        ++firstEnd;
    if (firstEnd == to)
        return;
    if (open != closed)
        changes.push_back(ChangePoint{openFirst, open});
    closed = open;
    std::size_t lastEnd = to - 1;
    while (kinds[lastEnd] != WK_END_OF_BLOCK)
        --lastEnd;
    openFirst = static_cast<std::uint64_t>(first + lastEnd) + 1;
}

CBlockModes CModeIndex::GetAt(std::size_t position) const
{
    if (position >= openFirst)
        return open;
    const auto after = std::upper_bound(changes.begin(), changes.end(), static_cast<std::uint64_t>(position),
                                        [](std::uint64_t word, const ChangePoint& change) {
                                            return word < change.firstWord;
                                        });
    return after == changes.begin() ? CBlockModes() : std::prev(after)->modes;
}
