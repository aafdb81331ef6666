#include "move_tools.h"

#include <algorithm>

CMoveTools::CMoveTools(const CWordList& words)
{
    const std::size_t count = words.GetCount();
    for (WordPosition position = 0; position < count; ++position) {
        // Only tool words and unclassified words can start with T: reading
        // the text of every word would cost a big program dearly.
        const WordKind kind = words.GetKind(position);
        if (kind != WK_TOOL && kind != WK_NONE)
            continue;
        const std::string_view text = words.GetText(position);
        if (text.empty() || (text.front() != 'T' && text.front() != 't'))
            continue;
        positions.push_back(position);
        numbers.push_back(words.GetValue(position).intValue);
    }
}

bool CMoveTools::FindNumber(std::size_t endWord, std::int32_t& number) const
{
    const auto after = std::upper_bound(positions.begin(), positions.end(), endWord);
    if (after == positions.begin())
        return false;
    number = numbers[static_cast<std::size_t>(after - positions.begin()) - 1];
    return true;
}

std::size_t CMoveTools::GetMemoryBytes() const
{
    return positions.capacity() * sizeof(std::size_t) + numbers.capacity() * sizeof(std::int32_t);
}
