// The loaded program's words in file order. Callers move through it by
// position and read the word at a position; how the words are stored stays
// behind this interface.
#pragma once

#include <cstddef>
#include <deque>

#include "cnc_word.h"

using WordPosition = std::size_t;

class CWordList {
public:
    static constexpr WordPosition NO_POSITION = static_cast<WordPosition>(-1);

    bool IsEmpty() const { return words.empty(); }
    std::size_t GetCount() const { return words.size(); }

    // NO_POSITION when there is no such word.
    WordPosition GetFirst() const { return words.empty() ? NO_POSITION : 0; }
    WordPosition GetNext(WordPosition position) const;
    WordPosition GetPrevious(WordPosition position) const;

    // position must be a valid position of this list.
    const CCncWord& GetAt(WordPosition position) const { return words[position]; }
    CCncWord& GetAt(WordPosition position) { return words[position]; }

    // Positions and references stay valid while words are appended.
    void Append(CCncWord&& word) { words.push_back(std::move(word)); }
    void RemoveAll() { words.clear(); }

private:
    std::deque<CCncWord> words;
};
