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
#include "packed_starts.h"

using WordPosition = std::size_t;

// Words gathered by the loader's scanner to be appended at once: the start,
// kind and blank of each, as Append takes them. Kinds take a byte, as the
// list keeps them.
struct CWordBatch {
    static constexpr std::size_t CAPACITY = 256;
    std::uint32_t starts[CAPACITY];
    std::uint8_t kinds[CAPACITY];
    bool blankBefore[CAPACITY];
};

class CWordList {
public:
    static constexpr WordPosition NO_POSITION = static_cast<WordPosition>(-1);

    bool IsEmpty() const { return starts.IsEmpty(); }
    std::size_t GetCount() const { return starts.GetCount(); }

    // NO_POSITION when there is no such word.
    WordPosition GetFirst() const { return starts.IsEmpty() ? NO_POSITION : 0; }
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
            modes.Take(starts.GetCount(), kind);
        starts.Append(start);
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
    // Once the last word is in.
    void GiveBackRoom()
    {
        starts.GiveBackRoom();
        ::GiveBackRoom(kinds);
    }
    // Spans are reported only once the listing has been handed to a view.
    void SetSpansVisible(bool visible) { spansVisible = visible; }
    // Gives the memory back.
    void RemoveAll();
    // Keeps the memory for the next Reserve.
    void Empty();

private:
    static constexpr std::uint8_t BLANK_BEFORE = 0x80;
    static constexpr std::uint8_t KIND_MASK = 0x7F;

    std::uint32_t StartOf(WordPosition position) const { return starts.GetAt(position); }
    std::uint32_t EndOf(WordPosition position) const;

    const std::string* text = nullptr;
    CWordStarts starts;
    // The kind, with the top bit set where a blank precedes the word: the end
    // of a word is where the next word's blank or text begins.
    std::vector<std::uint8_t> kinds;
    bool spansVisible = false;
    CModeIndex modes;
};
