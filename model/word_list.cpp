#include "word_list.h"

#include <algorithm>

#include "platform.h"

WordPosition CWordList::GetNext(WordPosition position) const
{
    if (position == NO_POSITION || position + 1 >= starts.size())
        return NO_POSITION;
    return position + 1;
}

WordPosition CWordList::GetPrevious(WordPosition position) const
{
    if (position == NO_POSITION || position == 0 || position > starts.size())
        return NO_POSITION;
    return position - 1;
}

std::uint32_t CWordList::EndOf(WordPosition position) const
{
    if (position + 1 < starts.size())
        return starts[position + 1] - ((kinds[position + 1] & BLANK_BEFORE) ? 1 : 0);
    return static_cast<std::uint32_t>(text->size());
}

CCncWord CWordList::GetAt(WordPosition position) const
{
    CCncWord word;
    word.SetTextAndClassify(std::string(GetText(position)));
    if (spansVisible)
        word.SetSpan(static_cast<std::int32_t>(starts[position]));
    return word;
}

std::string_view CWordList::GetText(WordPosition position) const
{
    const std::uint32_t start = starts[position];
    return std::string_view(text->data() + start, EndOf(position) - start);
}

CCncValue CWordList::GetValue(WordPosition position) const
{
    CCncValue value;
    ReadValue(position, value);
    return value;
}

void CWordList::ReadValue(WordPosition position, CCncValue& value) const
{
    const std::string_view wordText = GetText(position);
    value.Classify(wordText.data(), wordText.size());
}

void CWordList::GetSpan(WordPosition position, std::int32_t& start, std::int32_t& end) const
{
    start = 0;
    end = 0;
    if (!spansVisible)
        return;
    start = static_cast<std::int32_t>(starts[position]);
    end = static_cast<std::int32_t>(EndOf(position));
}

WordPosition CWordList::FindAt(std::int64_t listingPosition) const
{
    if (listingPosition < 0)
        return NO_POSITION;
    // The word from there on holds the position only when it starts at or
    // before it; otherwise the position lies between words.
    const WordPosition position = FindFrom(listingPosition);
    return position != NO_POSITION && starts[position] <= static_cast<std::uint64_t>(listingPosition) ? position
                                                                                                     : NO_POSITION;
}

WordPosition CWordList::FindFrom(std::int64_t listingPosition) const
{
    if (!spansVisible || starts.empty())
        return NO_POSITION;
    const auto position = static_cast<std::uint64_t>(std::max<std::int64_t>(listingPosition, 0));
    const auto after = std::upper_bound(starts.begin(), starts.end(), position,
                                        [](std::uint64_t value, std::uint32_t start) { return value < start; });
    if (after != starts.begin() && position < EndOf(static_cast<WordPosition>(after - starts.begin() - 1)))
        return static_cast<WordPosition>(after - starts.begin() - 1);
    return after == starts.end() ? NO_POSITION : static_cast<WordPosition>(after - starts.begin());
}

WordPosition CWordList::FindKind(WordPosition from, WordKind kind) const
{
    for (WordPosition position = from; position < kinds.size(); ++position) {
        if ((kinds[position] & KIND_MASK) == kind)
            return position;
    }
    return NO_POSITION;
}

std::size_t CWordList::CountKind(WordPosition first, WordPosition last, WordKind kind) const
{
    std::size_t count = 0;
    for (WordPosition position = first; position <= last && position < kinds.size(); ++position)
        count += (kinds[position] & KIND_MASK) == kind ? 1 : 0;
    return count;
}

namespace {

// Memory kept from an earlier list is used for up to twice the room asked
// for; more would hold on to pages that the new list never touches.
template <class Item>
void ReserveFresh(std::vector<Item>& items, std::size_t count)
{
    if (items.capacity() >= count && items.capacity() / 2 <= count)
        return;
    std::vector<Item>().swap(items);
    items.reserve(count);
    AdviseHugePages(items.data(), items.capacity() * sizeof(Item));
}

} // namespace

void CWordList::Reserve(std::size_t count)
{
    ReserveFresh(starts, count);
    ReserveFresh(kinds, count);
}

void CWordList::Empty()
{
    starts.clear();
    kinds.clear();
    spansVisible = false;
    modes.Clear();
}

void CWordList::RemoveAll()
{
    // Give the memory back: a large program's list is hundreds of megabytes.
    std::vector<std::uint32_t>().swap(starts);
    std::vector<std::uint8_t>().swap(kinds);
    spansVisible = false;
    modes.Clear();
}

void CWordList::IndexModes()
{
    modes.Clear();
    for (WordPosition position = 0; position < kinds.size(); ++position) {
        const WordKind kind = GetKind(position);
        if (CModeIndex::TakesKind(kind))
            modes.Take(position, kind);
    }
}
