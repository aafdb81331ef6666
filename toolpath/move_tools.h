// Which T number is in force at each move: the T words of a program in word
// order, looked up by a move's end-of-block word. Turning a number into a
// cutter is the tool table's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "word_list.h"

class CMoveTools {
public:
    // Reads every T word of the list (a word whose first letter is T; its
    // integer value is the number).
    explicit CMoveTools(const CWordList& words);

    // The number of the last T word at or before endWord; false when none.
    bool FindNumber(std::size_t endWord, std::int32_t& number) const;
    std::size_t GetWordCount() const { return positions.size(); }
    std::size_t GetPosition(std::size_t index) const { return positions[index]; }
    std::int32_t GetNumber(std::size_t index) const { return numbers[index]; }
    std::size_t GetMemoryBytes() const;

private:
    std::vector<std::size_t> positions;
    std::vector<std::int32_t> numbers;
};
