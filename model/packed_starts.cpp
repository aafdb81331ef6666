#include "packed_starts.h"

template <class Offset>
std::size_t CPackedStarts<Offset>::CountUpTo(std::uint64_t position) const
{
    // The last group starting at or before the position, then its starts.
    std::size_t groups = 0;
    std::size_t count = groupStarts.size();
    while (count > 0) {
        const std::size_t half = count / 2;
        if (GroupFirst(groups + half) <= position) {
            groups += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    if (groups == 0)
        return 0;
    std::size_t index = (groups - 1) * GROUP_SIZE + 1;
    while (index < offsets.size() && index % GROUP_SIZE != 0 && GetAt(index) <= position)
        ++index;
    return index;
}

template <class Offset>
void CPackedStarts<Offset>::PlaceGroupStart(std::size_t index, std::uint32_t start)
{
    offsets[index] = 0;
    if (index % GROUP_SIZE == 0) {
        groupStarts.push_back(start);
    } else if ((groupStarts.back() & WIDE_GROUP) != 0) {
        wideStarts.push_back(start);
    } else {
        // The group's starts so far move to whole starts, as the group's
        // later starts will go.
        const std::uint32_t group = groupStarts.back();
        const std::size_t first = index - index % GROUP_SIZE;
        const auto wideFirst = static_cast<std::uint32_t>(wideStarts.size());
        for (std::size_t earlier = first; earlier < index; ++earlier)
            wideStarts.push_back(group + offsets[earlier]);
        wideStarts.push_back(start);
        groupStarts.back() = WIDE_GROUP | wideFirst;
    }
}

template <class Offset>
void CPackedStarts<Offset>::Append(const std::uint32_t* starts, std::size_t count)
{
    const std::size_t first = offsets.size();
    offsets.resize(first + count);
    Offset* const offsetData = offsets.data();
    std::uint32_t group = groupStarts.empty() ? WIDE_GROUP : groupStarts.back();
    std::size_t added = 0;
    while (added < count) {
        const std::size_t index = first + added;
        // Most groups are narrow and begin and end within one batch: their
        // offsets are written without a test each.
        if (index % GROUP_SIZE == 0 && count - added >= GROUP_SIZE &&
            starts[added + GROUP_SIZE - 1] - starts[added] <= LARGEST_OFFSET) {
            group = starts[added];
            groupStarts.push_back(group);
            for (std::size_t member = 0; member < GROUP_SIZE; ++member)
                offsetData[index + member] = static_cast<Offset>(starts[added + member] - group);
            added += GROUP_SIZE;
            continue;
        }
        const std::uint32_t start = starts[added];
        if (index % GROUP_SIZE != 0 && (group & WIDE_GROUP) == 0 && start - group <= LARGEST_OFFSET) {
            offsetData[index] = static_cast<Offset>(start - group);
        } else {
            PlaceGroupStart(index, start);
            group = groupStarts.back();
        }
        ++added;
    }
}

template <class Offset>
void CPackedStarts<Offset>::Reserve(std::size_t count)
{
    ReserveFresh(offsets, count);
    ReserveFresh(groupStarts, count / GROUP_SIZE + 1);
}

template <class Offset>
void CPackedStarts<Offset>::Empty()
{
    offsets.clear();
    groupStarts.clear();
    // Wide groups are rare: their memory is not worth keeping.
    std::vector<std::uint32_t>().swap(wideStarts);
}

template <class Offset>
void CPackedStarts<Offset>::RemoveAll()
{
    std::vector<Offset>().swap(offsets);
    std::vector<std::uint32_t>().swap(groupStarts);
    std::vector<std::uint32_t>().swap(wideStarts);
}

template class CPackedStarts<std::uint8_t>;
template class CPackedStarts<std::uint16_t>;
