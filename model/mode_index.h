// Which dimensioning and length unit a word's block is applied with, for
// every word of a loaded program, without running it: a block takes the last
// G90/G91 and the last unit word written up to its end, its own included, as
// the path is built from the program's start. Only the change points are
// kept, so an index of millions of words stays small; a word's modes are
// found by binary search. The machine state's carried-over modes are not
// its business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "word_kind.h"

struct CBlockModes {
    std::int32_t dimensioning = WK_ABSOLUTE;
    std::int32_t lengthUnit = WK_UNIT_MM;

    bool operator==(const CBlockModes& other) const
    {
        return dimensioning == other.dimensioning && lengthUnit == other.lengthUnit;
    }
    bool operator!=(const CBlockModes& other) const { return !(*this == other); }
};

class CModeIndex {
public:
    void Clear();
    // The words that change modes or end a block: the others need not be
    // taken, which keeps a load of millions of words short.
    static bool TakesKind(std::int32_t kind)
    {
        return kind == WK_END_OF_BLOCK || ChangesModes(kind);
    }
    // Takes such a word; position counts the program's words from 0 and
    // grows from call to call.
    void Take(std::size_t position, WordKind kind);
    // The same for count words from position first on, any kinds, each
    // in a byte.
    void Take(std::size_t first, const std::uint8_t* kinds, std::size_t count);
    // A position past the last end of block gets the modes its block would
    // have if it were closed at the last word taken.
    CBlockModes GetAt(std::size_t position) const;
    std::size_t GetChangeCount() const { return changes.size(); }

private:
    struct ChangePoint {
        // The first word of the first block with these modes.
        std::uint64_t firstWord;
        CBlockModes modes;
    };

    static constexpr bool ChangesModes(std::int32_t kind)
    {
        const WordGroup group = GroupOfKind(kind);
        return group == GROUP_DIMENSIONING || group == GROUP_LENGTH_UNIT;
    }
    // Whether any of SCREENED kinds may change modes: all the mode words'
    // kinds lie within eight of WK_ABSOLUTE, and eight kinds at a time are
    // tested in one 64-bit word.
    static constexpr std::size_t SCREENED = 16;
    static constexpr bool IsScreened(std::uint8_t kind) { return static_cast<std::uint8_t>(kind - WK_ABSOLUTE) < 8; }
    static constexpr bool ScreenHoldsModeWords()
    {
        for (std::int32_t kind = 0; kind < word_kind_detail::KIND_COUNT; ++kind) {
            if (ChangesModes(kind) && !IsScreened(static_cast<std::uint8_t>(kind)))
                return false;
        }
        return true;
    }
    static bool ScreensModes(const std::uint8_t* kinds)
    {
        static_assert(ScreenHoldsModeWords(), "every mode word's kind passes the screen");
        static_assert(word_kind_detail::KIND_COUNT <= 128, "kinds keep the top bit of their byte clear");
        constexpr std::uint64_t ONES = 0x0101010101010101u;
        constexpr std::uint64_t HIGH_BITS = 0x8080808080808080u;
        std::uint64_t eight[2];
        std::memcpy(eight, kinds, sizeof eight);
        bool any = false;
        for (const std::uint64_t chunk : eight) {
            // Per byte, with no borrow: 128 + kind - WK_ABSOLUTE, whose top
            // five bits are 10000 just where the kind passes; those bytes
            // become zero, and a zero byte is found as the top bit of
            // byte - 1 without it.
            const std::uint64_t shifted = (chunk | HIGH_BITS) - ONES * WK_ABSOLUTE;
            const std::uint64_t zeroWherePassing = (shifted & (ONES * 0xF8)) ^ HIGH_BITS;
            any |= ((zeroWherePassing - ONES) & ~zeroWherePassing & HIGH_BITS) != 0;
        }
        return any;
    }
    // The batch's words [from, to), none of which changes modes; first is
    // the position of the batch's first word.
    void TakeSteady(std::size_t first, const std::uint8_t* kinds, std::size_t from, std::size_t to);

    std::vector<ChangePoint> changes;
    // The modes of the block being taken, and of the last closed one.
    CBlockModes open;
    CBlockModes closed;
    std::uint64_t openFirst = 0;
};
