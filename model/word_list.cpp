#include "word_list.h"

#include <algorithm>

WordPosition CWordList::GetNext(WordPosition position) const
{
    if (position == NO_POSITION || position + 1 >= starts.GetCount())
        return NO_POSITION;
    return position + 1;
}

WordPosition CWordList::GetPrevious(WordPosition position) const
{
    if (position == NO_POSITION || position == 0 || position > starts.GetCount())
        return NO_POSITION;
    return position - 1;
}

std::uint32_t CWordList::EndOf(WordPosition position) const
{
    if (position + 1 < starts.GetCount())
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
    if (!spansVisible || starts.IsEmpty())
        return NO_POSITION;
    const auto position = static_cast<std::uint64_t>(std::max<std::int64_t>(listingPosition, 0));
    const WordPosition after = starts.CountUpTo(position);
    if (after != 0 && position < EndOf(after - 1))
        return after - 1;
    return after == starts.GetCount() ? NO_POSITION : after;
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

void CWordList::Append(const CWordBatch& batch, std::size_t count)
{
    const std::size_t first = kinds.size();
    kinds.resize(first + count);
    std::uint8_t* const kindData = kinds.data() + first;
    modes.Take(first, batch.kinds, count);
    for (std::size_t index = 0; index < count; ++index)
        kindData[index] = static_cast<std::uint8_t>(batch.kinds[index] | (batch.blankBefore[index] ? BLANK_BEFORE : 0));
    starts.Append(batch.starts, count);
}

void CWordList::Reserve(std::size_t count)
{
    starts.Reserve(count);
    ReserveFresh(kinds, count);
}

void CWordList::Empty()
{
    starts.Empty();
    kinds.clear();
    spansVisible = false;
    modes.Clear();
}

void CWordList::RemoveAll()
{
    // Give the memory back: a large program's list is hundreds of megabytes.
    starts.RemoveAll();
    std::vector<std::uint8_t>().swap(kinds);
    spansVisible = false;
    modes.Clear();
}
