#include "mode_index.h"

#include <algorithm>
#include <iterator>

void CModeIndex::Clear() { *this = CModeIndex(); }

void CModeIndex::Take(std::size_t position, WordKind kind)
{
    if (kind == WK_END_OF_BLOCK) {
        if (open != closed)
            changes.push_back(ChangePoint{openFirst, open});
        closed = open;
        openFirst = static_cast<std::uint64_t>(position) + 1;
        return;
    }
    switch (GroupOfKind(kind)) {
    case GROUP_DIMENSIONING: open.dimensioning = kind; break;
    case GROUP_LENGTH_UNIT: open.lengthUnit = kind; break;
    default: break;
    }
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
