// Turns a loaded program's words into its toolpath. Blocks are gathered as
// the machine state gathers them, from the first word and fresh modal values,
// and each block that moves the tool gives one move; arcs stay exact. The
// panel's machine state is never read. Drawing is left to the window.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "move_table.h"
#include "path_move.h"
#include "word_list.h"

class CPathBuilder {
public:
    // headerLines: the line ends of the program's header, so that the lines
    // of the moves count as the loader counts them.
    CPathBuilder(const CWordList& words, std::int64_t headerLines);

    // Reports every move to sink in program order. Once cancel is set the
    // build stops within a few thousand words, its summary marked cancelled.
    CPathSummary Build(IPathSink& sink, const std::atomic<bool>* cancel = nullptr) const;
    // Empties table and fills it with every move; a cancelled build leaves
    // it empty, and so does a program with more blocks than maxMoves, which
    // is refused before anything is reserved.
    CPathSummary BuildTable(CMoveTable& table, const std::atomic<bool>* cancel = nullptr,
                            std::size_t maxMoves = SIZE_MAX) const;

    // The line ends the loader counts in a header text.
    static std::int64_t CountHeaderLines(std::string_view header);
    // True for the end-of-block words that end a file line as the loader
    // counts lines: those made of a carriage return.
    static bool EndsLine(const CWordList& words, WordPosition position);

private:
    const CWordList& words;
    std::int64_t headerLines;
};
