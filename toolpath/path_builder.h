// Turns a loaded program's words into its toolpath. Blocks are gathered as
// the machine state gathers them, from the first word and fresh modal values,
// and each block that moves the tool gives one move; arcs stay exact. The
// panel's machine state is never read. Drawing is left to the window.
#pragma once

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "move_table.h"
#include "path_move.h"
#include "word_list.h"

// The words of one block as its end-of-block word applies them, for a
// handler that shapes the block's moves itself (the cut path).
enum BlockAddress { BLOCK_X, BLOCK_Y, BLOCK_Z, BLOCK_I, BLOCK_J, BLOCK_K, BLOCK_R, BLOCK_ADDRESS_COUNT };

struct CPathBlock {
    WordPosition first = 0;
    WordPosition end = 0;
    std::int64_t line = 0;
    std::uint8_t present = 0;
    const double* values = nullptr;
    // The modes after the block's words took effect (WordKind values).
    std::int32_t motion = 0;
    std::int32_t plane = 0;
    std::int32_t dimensioning = 0;

    bool Has(BlockAddress address) const { return (present & (1u << address)) != 0; }
    double Get(BlockAddress address) const { return Has(address) ? values[address] : 0.0; }
};

// Takes the blocks of a walk over the words, and the moves that the walk
// makes of those it leaves to the walk (through AddMove).
class IPathBlockHandler : public IPathSink {
public:
    enum BlockAction {
        BLOCK_MOVES,   // the walk makes the block's move as programmed
        BLOCK_HANDLED, // the handler moved the tool itself, or not at all
        BLOCK_STOP,    // the walk ends here
    };
    // Every word of a block but comments and the end-of-block word, in order.
    virtual void GatherWord(WordPosition word, WordKind kind) = 0;
    // Called at each block's end before its move. tool is where the next
    // move starts and known the axes that a word has given; a handler that
    // moves the tool itself sets them.
    virtual BlockAction CloseBlock(const CPathBlock& block, PathPoint& tool, std::array<bool, 3>& known) = 0;
};

// Fills a move table from the moves as they come.
class CMoveTableSink : public IPathSink {
public:
    explicit CMoveTableSink(CMoveTable& table) : table(table) {}
    void AddMove(const CPathMove& move) override;

private:
    CMoveTable& table;
};

// Widens bounds by every drawn point of a move, an exact arc's extremes
// included, as the builder bounds its own moves.
class CPathBounds {
public:
    void AddMove(const CPathMove& move);
    // Copies the bounds into the summary (hasBounds, min, max).
    void Fill(CPathSummary& summary) const;

private:
    PathPoint min{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    PathPoint max{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    bool any = false;
};

// The angle swept from (x0, y0) to (x1, y1) about the origin in the given
// sense, as the builder sweeps its arcs: (0, 2 pi] counter-clockwise,
// [-2 pi, 0) clockwise.
double PathSweepBetween(double x0, double y0, double x1, double y1, bool clockwise);

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
    // The walk with a handler that takes every block (see IPathBlockHandler);
    // the summary's counts and bounds are those of the moves the walk made.
    CPathSummary Walk(IPathBlockHandler& handler, const std::atomic<bool>* cancel = nullptr) const;
    // The end-of-block words of the list: no path has more moves.
    static std::size_t CountBlockEnds(const CWordList& words);

    // The line ends the loader counts in a header text.
    static std::int64_t CountHeaderLines(std::string_view header);
    // True for the end-of-block words that end a file line as the loader
    // counts lines: those made of a carriage return.
    static bool EndsLine(const CWordList& words, WordPosition position);

private:
    const CWordList& words;
    std::int64_t headerLines;
};
