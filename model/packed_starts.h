// Rising positions in a listing text (where words or lines start), kept as
// distances of one Offset from their group's first: a byte and a quarter a
// word, two and a quarter a line, so that programs of millions of words and
// lines index cheaply. Callers append in order and read by index; what a
// position means is theirs to say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform.h"

// Room for count items, for an index filled by a load. Memory kept from an
// earlier index is used for up to twice the room asked for; more would hold
// on to pages that the new index never touches.
template <class Item>
void ReserveFresh(std::vector<Item>& items, std::size_t count)
{
    if (items.capacity() >= count && items.capacity() / 2 <= count)
        return;
    std::vector<Item>().swap(items);
    items.reserve(count);
    AdviseHugePages(items.data(), items.capacity() * sizeof(Item));
}

template <class Offset>
class CPackedStarts {
public:
    bool IsEmpty() const { return offsets.empty(); }
    std::size_t GetCount() const { return offsets.size(); }

    std::uint32_t GetAt(std::size_t index) const
    {
        const std::uint32_t group = groupStarts[index / GROUP_SIZE];
        if ((group & WIDE_GROUP) != 0)
            return wideStarts[(group & ~WIDE_GROUP) + index % GROUP_SIZE];
        return group + offsets[index];
    }
    // How many starts lie at or before position: the index of the first
    // start after it.
    std::size_t CountUpTo(std::uint64_t position) const;

    // Starts never go down and stay below 2^31.
    void Append(std::uint32_t start)
    {
        const std::size_t index = offsets.size();
        if (index % GROUP_SIZE != 0) {
            const std::uint32_t group = groupStarts.back();
            if ((group & WIDE_GROUP) == 0 && start - group <= LARGEST_OFFSET) {
                offsets.push_back(static_cast<Offset>(start - group));
                return;
            }
        }
        offsets.push_back(0);
        PlaceGroupStart(index, start);
    }
    // As Append one by one; the sizes stay in registers rather than being
    // read back after every byte stored.
    void Append(const std::uint32_t* starts, std::size_t count);

    // Room for count starts. The memory of an emptied index is taken again
    // when it fits: its pages are in place already, which saves filling
    // fresh ones. Fresh memory is advised for huge pages.
    void Reserve(std::size_t count);
    // Once the last start is in.
    void GiveBackRoom()
    {
        ::GiveBackRoom(offsets);
        ::GiveBackRoom(groupStarts);
    }
    // Keeps the memory for the next Reserve.
    void Empty();
    // Gives the memory back.
    void RemoveAll();

private:
    // Starts are kept by groups of GROUP_SIZE: the group's first start, and
    // each start's distance from it. Sixteen words of a program rarely spread
    // over more than 255 bytes, nor sixteen lines over 65535; a group that
    // does (a comment, words of many digits) keeps its starts whole instead,
    // marked by WIDE_GROUP.
    static constexpr std::size_t GROUP_SIZE = 16;
    static constexpr std::uint32_t WIDE_GROUP = 0x80000000u;
    static constexpr std::uint32_t LARGEST_OFFSET = std::numeric_limits<Offset>::max();

    std::uint32_t GroupFirst(std::size_t group) const
    {
        const std::uint32_t first = groupStarts[group];
        return (first & WIDE_GROUP) != 0 ? wideStarts[first & ~WIDE_GROUP] : first;
    }
    // A group's first start, a wide group's start, or the start that widens
    // its group; offsets holds the start's place already, the last one.
    void PlaceGroupStart(std::size_t index, std::uint32_t start);

    std::vector<Offset> offsets;
    // Per group: its first start, or WIDE_GROUP and where its starts begin
    // in wideStarts.
    std::vector<std::uint32_t> groupStarts;
    std::vector<std::uint32_t> wideStarts;
};

// Words crowd: a byte reaches over sixteen of them. Lines are longer.
using CWordStarts = CPackedStarts<std::uint8_t>;
using CLineStarts = CPackedStarts<std::uint16_t>;
