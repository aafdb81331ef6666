// The loaded program's words in file order. Callers move through it by
// position and read the word at a position. The words are kept compactly as
// spans of the loader's listing text with their kinds (about two and a
// quarter bytes a word, so that programs of millions of words fit); a word
// read from the list is rebuilt from its text and classified again, which
// gives back exactly the word that was loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cnc_word.h"
#include "mode_index.h"

using WordPosition = std::size_t;

// Words gathered by the loader's scanner to be appended at once: the start,
// kind and blank of each, as Append takes them.
struct CWordBatch {
    static constexpr std::size_t CAPACITY = 256;
    std::uint32_t starts[CAPACITY];
    WordKind kinds[CAPACITY];
    bool blankBefore[CAPACITY];
};

class CWordList {
public:
    static constexpr WordPosition NO_POSITION = static_cast<WordPosition>(-1);

    bool IsEmpty() const { return offsets.empty(); }
    std::size_t GetCount() const { return offsets.size(); }

    // NO_POSITION when there is no such word.
    WordPosition GetFirst() const { return offsets.empty() ? NO_POSITION : 0; }
    WordPosition GetNext(WordPosition position) const;
    WordPosition GetPrevious(WordPosition position) const;

    // position must be a valid position of this list.
    CCncWord GetAt(WordPosition position) const;
    WordKind GetKind(WordPosition position) const { return static_cast<WordKind>(kinds[position] & KIND_MASK); }
    // The same as GetAt(position).GetValue(), GetSpan and GetTextString,
    // without building the word. The text stays valid while the list is
    // unchanged.
    CCncValue GetValue(WordPosition position) const;
    // Classifies the word into value, which should be fresh.
    void ReadValue(WordPosition position, CCncValue& value) const;
    std::string_view GetText(WordPosition position) const;
    void GetSpan(WordPosition position, std::int32_t& start, std::int32_t& end) const;
    // The word whose span holds the listing position, NO_POSITION when none
    // does (a blank between words, the header, no spans yet).
    WordPosition FindAt(std::int64_t listingPosition) const;
    // The first word of the kind at or after from; NO_POSITION when none.
    WordPosition FindKind(WordPosition from, WordKind kind) const;
    // How many of the words first to last are of the kind.
    std::size_t CountKind(WordPosition first, WordPosition last, WordKind kind) const;
    // The G90/G91 and length unit the word's block is applied with.
    CBlockModes GetModesAt(WordPosition position) const { return modes.GetAt(position); }
    // The word whose span holds the listing position or, when none does, the
    // first word after it; NO_POSITION when there is none.
    WordPosition FindFrom(std::int64_t listingPosition) const;

    // The loader's side. text holds the listing: every word is appended to it
    // before it is appended here, so the list never reaches past its end.
    // Starts never go down and stay below 2^31, as the listing's spans do.
    void Bind(const std::string* listingText) { text = listingText; }
    // The modes are indexed as the words come, which saves a second pass
    // over millions of kinds.
    void Append(std::uint32_t start, WordKind kind, bool blankBefore)
    {
        if (CModeIndex::TakesKind(kind))
            modes.Take(offsets.size(), kind);
        AppendStart(start);
        kinds.push_back(static_cast<std::uint8_t>(kind | (blankBefore ? BLANK_BEFORE : 0)));
    }
    // The first count words of the batch, as Append would take them one by
    // one; the list's sizes stay in registers rather than being read back
    // after every byte stored.
    void Append(const CWordBatch& batch, std::size_t count);
    // Room for count words. The memory of an emptied list is taken again
    // when it fits: its pages are in place already, which saves filling
    // fresh ones. Fresh memory is advised for huge pages.
    void Reserve(std::size_t count);
    // Spans are reported only once the listing has been handed to a view.
    void SetSpansVisible(bool visible) { spansVisible = visible; }
    // Gives the memory back.
    void RemoveAll();
    // Keeps the memory for the next Reserve.
    void Empty();

private:
    static constexpr std::uint8_t BLANK_BEFORE = 0x80;
    static constexpr std::uint8_t KIND_MASK = 0x7F;

    // The words' starts are kept by groups of GROUP_SIZE words: the start of
    // the group's first word, and each word's distance from it in one byte.
    // Sixteen words of a program rarely spread over more than 255 bytes; a
    // group that does (a comment, words of many digits) keeps its words'
    // starts whole instead, marked by WIDE_GROUP.
    static constexpr std::size_t GROUP_SIZE = 16;
    static constexpr std::uint32_t WIDE_GROUP = 0x80000000u;
    static constexpr std::uint32_t LARGEST_OFFSET = 0xFFu;

    std::uint32_t StartOf(WordPosition position) const
    {
        const std::uint32_t group = groupStarts[position / GROUP_SIZE];
        if ((group & WIDE_GROUP) != 0)
            return wideStarts[(group & ~WIDE_GROUP) + position % GROUP_SIZE];
        return group + offsets[position];
    }
    void AppendStart(std::uint32_t start)
    {
        const std::size_t position = offsets.size();
        if (position % GROUP_SIZE != 0) {
            const std::uint32_t group = groupStarts.back();
            if ((group & WIDE_GROUP) == 0 && start - group <= LARGEST_OFFSET) {
                offsets.push_back(static_cast<std::uint8_t>(start - group));
                return;
            }
        }
        offsets.push_back(0);
        PlaceGroupStart(position, start);
    }
    // A group's first word, a wide group's word, or the word that widens
    // its group; offsets holds the word's place already, the last one.
    void PlaceGroupStart(std::size_t position, std::uint32_t start);
    std::uint32_t EndOf(WordPosition position) const;

    const std::string* text = nullptr;
    std::vector<std::uint8_t> offsets;
    // Per group: its first word's start, or WIDE_GROUP and where its words'
    // starts begin in wideStarts.
    std::vector<std::uint32_t> groupStarts;
    std::vector<std::uint32_t> wideStarts;
    // The kind, with the top bit set where a blank precedes the word: the end
    // of a word is where the next word's blank or text begins.
    std::vector<std::uint8_t> kinds;
    bool spansVisible = false;
    CModeIndex modes;
};
