#include "mode_index.h"

#include <algorithm>

void CModeIndex::Clear() { *this = CModeIndex(); }

void CModeIndex::Append(WordKind kind)
{
    switch (GroupOfKind(kind)) {
    case GROUP_DIMENSIONING: open.dimensioning = kind; break;
    case GROUP_LENGTH_UNIT: open.lengthUnit = kind; break;
    default: break;
    }
    ++count;
    if (kind != WK_END_OF_BLOCK)
        return;
    if (open != closed)
        changes.push_back(ChangePoint{openFirst, open});
    closed = open;
    openFirst = count;
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
