#include "mode_index.h"

#include <algorithm>
#include <iterator>

void CModeIndex::Clear() { *this = CModeIndex(); }

void CModeIndex::Take(std::size_t position, WordKind kind) { Take(position, &kind, 1); }

void CModeIndex::Take(std::size_t first, const WordKind* kinds, std::size_t count)
{
    CBlockModes blockModes = open;
    CBlockModes lastClosed = closed;
    std::uint64_t blockFirst = openFirst;
    for (std::size_t index = 0; index < count; ++index) {
        const WordKind kind = kinds[index];
        switch (GroupOfKind(kind)) {
        case GROUP_DIMENSIONING: blockModes.dimensioning = kind; break;
        case GROUP_LENGTH_UNIT: blockModes.lengthUnit = kind; break;
        default: break;
        }
        const bool blockEnd = kind == WK_END_OF_BLOCK;
        if (blockEnd & (blockModes != lastClosed))
            changes.push_back(ChangePoint{blockFirst, blockModes});
        lastClosed = blockEnd ? blockModes : lastClosed;
        blockFirst = blockEnd ? static_cast<std::uint64_t>(first + index) + 1 : blockFirst;
    }
    open = blockModes;
    closed = lastClosed;
    openFirst = blockFirst;
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
