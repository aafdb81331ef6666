#include "word_list.h"

#include <algorithm>

#include "platform.h"

WordPosition CWordList::GetNext(WordPosition position) const
{
    if (position == NO_POSITION || position + 1 >= offsets.size())
        return NO_POSITION;
    return position + 1;
}

WordPosition CWordList::GetPrevious(WordPosition position) const
{
    if (position == NO_POSITION || position == 0 || position > offsets.size())
        return NO_POSITION;
    return position - 1;
}

std::uint32_t CWordList::EndOf(WordPosition position) const
{
    if (position + 1 < offsets.size())
        return StartOf(position + 1) - ((kinds[position + 1] & BLANK_BEFORE) ? 1 : 0);
    return static_cast<std::uint32_t>(text->size());
}

CCncWord CWordList::GetAt(WordPosition position) const
{
    CCncWord word;
    word.SetTextAndClassify(std::string(GetText(position)));
    if (spansVisible)
        word.SetSpan(static_cast<std::int32_t>(StartOf(position)));
    return word;
}

std::string_view CWordList::GetText(WordPosition position) const
{
    const std::uint32_t start = StartOf(position);
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
    start = static_cast<std::int32_t>(StartOf(position));
    end = static_cast<std::int32_t>(EndOf(position));
}

WordPosition CWordList::FindAt(std::int64_t listingPosition) const
{
    if (listingPosition < 0)
        return NO_POSITION;
    // The word from there on holds the position only when it starts at or
    // before it; otherwise the position lies between words.
    const WordPosition position = FindFrom(listingPosition);
    return position != NO_POSITION && StartOf(position) <= static_cast<std::uint64_t>(listingPosition)
               ? position
               : NO_POSITION;
}

WordPosition CWordList::FindFrom(std::int64_t listingPosition) const
{
    if (!spansVisible || offsets.empty())
        return NO_POSITION;
    const auto position = static_cast<std::uint64_t>(std::max<std::int64_t>(listingPosition, 0));
    // The first word that starts after the position.
    WordPosition after = 0;
    WordPosition count = offsets.size();
    while (count > 0) {
        const WordPosition half = count / 2;
        if (StartOf(after + half) <= position) {
            after += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    if (after != 0 && position < EndOf(after - 1))
        return after - 1;
    return after == offsets.size() ? NO_POSITION : after;
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

void CWordList::PlaceGroupStart(std::size_t position, std::uint32_t start)
{
    offsets[position] = 0;
    if (position % GROUP_SIZE == 0) {
        groupStarts.push_back(start);
    } else if ((groupStarts.back() & WIDE_GROUP) != 0) {
        wideStarts.push_back(start);
    } else {
        // The group's words so far move to whole starts, as the group's
        // later words will go.
        const std::uint32_t group = groupStarts.back();
        const std::size_t first = position - position % GROUP_SIZE;
        const auto wideFirst = static_cast<std::uint32_t>(wideStarts.size());
        for (std::size_t earlier = first; earlier < position; ++earlier)
            wideStarts.push_back(group + offsets[earlier]);
        wideStarts.push_back(start);
        groupStarts.back() = WIDE_GROUP | wideFirst;
    }
}

void CWordList::Append(const CWordBatch& batch, std::size_t count)
{
    const std::size_t first = offsets.size();
    offsets.resize(first + count);
    kinds.resize(first + count);
    std::uint8_t* const offsetData = offsets.data();
    std::uint8_t* const kindData = kinds.data();
    modes.Take(first, batch.kinds, count);
    std::uint32_t group = groupStarts.empty() ? WIDE_GROUP : groupStarts.back();
    for (std::size_t index = 0; index < count; ++index) {
        const std::size_t position = first + index;
        kindData[position] = static_cast<std::uint8_t>(batch.kinds[index] | (batch.blankBefore[index] ? BLANK_BEFORE : 0));
        const std::uint32_t start = batch.starts[index];
        if (position % GROUP_SIZE != 0 && (group & WIDE_GROUP) == 0 && start - group <= LARGEST_OFFSET) {
            offsetData[position] = static_cast<std::uint8_t>(start - group);
            continue;
        }
        PlaceGroupStart(position, start);
        group = groupStarts.back();
    }
}

void CWordList::Reserve(std::size_t count)
{
    ReserveFresh(offsets, count);
    ReserveFresh(kinds, count);
    ReserveFresh(groupStarts, count / GROUP_SIZE + 1);
}

void CWordList::Empty()
{
    offsets.clear();
    groupStarts.clear();
    // Wide groups are rare: their memory is not worth keeping.
    std::vector<std::uint32_t>().swap(wideStarts);
    kinds.clear();
    spansVisible = false;
    modes.Clear();
}

void CWordList::RemoveAll()
{
    // Give the memory back: a large program's list is hundreds of megabytes.
    std::vector<std::uint8_t>().swap(offsets);
    std::vector<std::uint32_t>().swap(groupStarts);
    std::vector<std::uint32_t>().swap(wideStarts);
    std::vector<std::uint8_t>().swap(kinds);
    spansVisible = false;
    modes.Clear();
}
