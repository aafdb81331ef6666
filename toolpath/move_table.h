// The toolpath as the window draws it: one compact record per move in program
// order, arcs kept exact in a side table. Built from the loaded program by the
// path builder; read by the raster and the window. Every coordinate reads
// back as exactly the double the builder computed: the numbers the window
// shows and draws from are the program's own, to the last digit.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "word_kind.h"

enum MoveKind : std::uint8_t {
    MOVE_RAPID,
    MOVE_LINEAR,
    MOVE_CW,
    MOVE_CCW,
    MOVE_PARABLE,
    // The three thread kinds.
    MOVE_THREAD,
};

// A move's kind in the low bits and its flags above.
using MoveFlags = std::uint16_t;

// Bits above the kind, in the order the CLI prints them.
enum MoveFlag : MoveFlags {
    MOVE_ASSUMED = 0x08,      // the move changes an axis that no word has given yet
    MOVE_APPROXIMATED = 0x10, // parable or thread drawn straight
    MOVE_MISMATCH = 0x20,     // arc end radius differs from the start radius
    MOVE_ERROR = 0x40,        // arc that cannot be made: drawn as its chord
    // The cut path's: made while cutter radius compensation is on, an arc
    // about an outer corner, a move of a drilling cycle.
    MOVE_COMPENSATED = 0x80,
    MOVE_CORNER = 0x100,
    MOVE_CYCLE = 0x200,
};
constexpr MoveFlags MOVE_KIND_MASK = 0x07;

// Clockwise or counter-clockwise: the kinds drawn as arcs unless in error.
constexpr bool IsArcKind(MoveKind kind) { return kind == MOVE_CW || kind == MOVE_CCW; }

// Arc planes with their (first, second, linear) axes: XY (X, Y, Z),
// XZ (Z, X, Y), YZ (Y, Z, X); axis numbers 0 = X, 1 = Y, 2 = Z.
enum ArcPlane : std::uint8_t { ARC_PLANE_XY, ARC_PLANE_XZ, ARC_PLANE_YZ };

struct CMovePoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// An arc move without MOVE_ERROR: centre in the plane's (first, second) axes,
// sweep in radians, positive counter-clockwise in that frame, +-2 pi for a
// full circle. Start and end points are the move's; the radius changes
// evenly from start to end (MOVE_MISMATCH) and the linear axis moves evenly.
struct CArcRecord {
    double centerFirst = 0.0;
    double centerSecond = 0.0;
    double sweep = 0.0;
    std::uint32_t move = 0;
    ArcPlane plane = ARC_PLANE_XY;
};

// Whether a walk over the moves is asked to stop: cancel is read every
// 4096 moves, often enough to stop within a millisecond or two.
inline bool IsCancelledAt(std::size_t move, const std::atomic<bool>* cancel)
{
    constexpr std::size_t MOVES_BETWEEN_CHECKS = 4096;
    return cancel != nullptr && move % MOVES_BETWEEN_CHECKS == 0 && cancel->load(std::memory_order_relaxed);
}

class CMoveTable {
public:
    std::size_t GetCount() const { return wideKinds ? wideKindFlags.size() : kindFlags.size(); }
    bool IsEmpty() const { return GetCount() == 0; }

    // Every move starts where the one before ends; the first at the origin.
    CMovePoint GetStart(std::size_t move) const { return move == 0 ? CMovePoint{} : GetEnd(move - 1); }
    CMovePoint GetEnd(std::size_t move) const;
    MoveKind GetKind(std::size_t move) const { return static_cast<MoveKind>(KindFlagsOf(move) & MOVE_KIND_MASK); }
    MoveFlags GetFlags(std::size_t move) const { return static_cast<MoveFlags>(KindFlagsOf(move) & ~MOVE_KIND_MASK); }
    // The index in the word list of the end-of-block word that applies the
    // move, and of the first word of its block. Both ascend with the move.
    std::uint32_t GetEndWord(std::size_t move) const { return WordsOf(move).endWord; }
    std::uint32_t GetBlockFirstWord(std::size_t move) const { return WordsOf(move).blockFirstWord; }

    // Arcs in move order; an arc's record is found from its move by binary
    // search, or by walking both tables together.
    const std::vector<CArcRecord>& GetArcs() const { return arcs; }
    // Index into GetArcs(), or -1 when the move is no exact arc.
    std::ptrdiff_t FindArc(std::size_t move) const;

    // The bounds of every drawn point, arc extremes included; false when
    // there is no move.
    bool GetBounds(CMovePoint& min, CMovePoint& max) const;

    // The builder's side.
    void Reserve(std::size_t moves);
    void Append(const CMovePoint& end, MoveKind kind, MoveFlags flags, std::uint32_t endWord,
                std::uint32_t blockFirstWord);
    void AppendArc(const CArcRecord& arc) { arcs.push_back(arc); }
    void SetBounds(const CMovePoint& min, const CMovePoint& max);
    void Clear();
    // Gives back the pages that Reserve and growth held beyond the moves
    // and arcs, once the table is filled.
    void GiveBackRoom();

    // The length unit in force at the end of the program (WK_UNIT_MM or
    // WK_UNIT_INCH): the coordinates are the program's own numbers.
    WordKind GetLengthUnit() const { return lengthUnit; }
    void SetLengthUnit(WordKind unit) { lengthUnit = unit; }

    // Heap bytes held, for the benchmark.
    std::size_t GetMemoryBytes() const;

    // Ends are kept in runs of this many moves.
    static constexpr std::size_t RUN_MOVES = 256;

private:
    // A run of ends whose every coordinate is a decimal of at most six
    // places (as programs write them) near the run's first end is kept as
    // steps of a millionth from that end, read back bit for bit: each axis
    // as 16-bit multiples of a power of ten where they fit, else as 32-bit
    // steps; a sixth or a third of the doubles' room. Any other run keeps
    // doubles.
    // The words of a run's moves likewise: most runs keep each end word as
    // a step of two bytes from the run's first one and each block's first
    // word as one byte back from its end word; a run whose words do not fit
    // keeps them whole.
    struct CEndRun {
        std::array<std::int64_t, 3> base{};
        // Per axis of a compact run, where its steps begin: in narrowSteps,
        // as multiples of scale, or in compactEnds where scale is 0. In a
        // wide run at[0] is its first end in wideEnds.
        std::array<std::size_t, 3> at{};
        std::array<std::int32_t, 3> scale{};
        // The first move's end word, or in a run of wide words the first
        // move's place in wideWords.
        std::uint32_t words = 0;
        bool wide = false;
        bool wideWords = false;
    };
    struct CMoveWords {
        std::uint32_t endWord;
        std::uint32_t blockFirstWord;
    };
    static constexpr std::uint32_t LARGEST_END_WORD_STEP = 0xFFFFu;
    static constexpr std::uint32_t LARGEST_BLOCK_LENGTH = 0xFFu;

    CMoveWords WordsOf(std::size_t move) const
    {
        const std::size_t run = move / RUN_MOVES;
        if (run >= runs.size())
            return openWords[move % RUN_MOVES];
        const CEndRun& words = runs[run];
        if (words.wideWords)
            return wideWords[words.words + move % RUN_MOVES];
        const std::uint32_t endWord = words.words + endWordSteps[move];
        return {endWord, endWord - blockLengths[move]};
    }
    MoveFlags KindFlagsOf(std::size_t move) const
    {
        return wideKinds ? wideKindFlags[move] : kindFlags[move];
    }
    void CloseRun();
    // The power of ten whose multiples the steps are and whose 16-bit counts
    // hold them all; 0 when there is none.
    static std::int32_t NarrowScale(const std::int64_t* steps, std::size_t count);
    double CompactAxis(const CEndRun& ends, std::size_t axis, std::size_t index) const;
    void CloseWords(CEndRun& run);

    std::vector<std::int32_t> compactEnds;
    std::vector<std::int16_t> narrowSteps;
    std::vector<double> wideEnds;          // three per end
    std::vector<CEndRun> runs;
    // The ends of the run not yet closed.
    std::vector<CMovePoint> openEnds;
    // A move's kind and flags in one byte, as the programmed path has them;
    // a table with a flag above the byte (the cut path's corners and cycles)
    // keeps them all in two bytes instead.
    std::vector<std::uint8_t> kindFlags;
    std::vector<MoveFlags> wideKindFlags;
    bool wideKinds = false;
    // Per move, zero in runs of wide words.
    std::vector<std::uint16_t> endWordSteps;
    std::vector<std::uint8_t> blockLengths;
    std::vector<CMoveWords> wideWords;
    // The words of the run not yet closed.
    std::vector<CMoveWords> openWords;
    std::vector<CArcRecord> arcs;
    CMovePoint boundsMin{};
    CMovePoint boundsMax{};
    bool hasBounds = false;
    WordKind lengthUnit = WK_UNIT_MM;
};
