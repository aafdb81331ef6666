// One move of the toolpath as the builder computes it, in double precision,
// and the interface that receives the moves one by one in program order.
// Storing them compactly is the move table's; printing them is the CLI's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "move_table.h"
#include "word_kind.h"

using PathPoint = std::array<double, 3>;

struct CPathMove {
    std::size_t index = 0;
    // The end-of-block word that applies the move and the first word of its
    // block, as positions in the word list.
    std::size_t endWord = 0;
    std::size_t blockFirstWord = 0;
    // The file line of the end-of-block word, counted as the loader counts
    // the line of a syntax error.
    std::int64_t line = 0;
    MoveKind kind = MOVE_LINEAR;
    MoveFlags flags = 0;
    PathPoint from{};
    PathPoint to{};
    // Set for a clockwise or counter-clockwise move without MOVE_ERROR.
    bool isArc = false;
    ArcPlane plane = ARC_PLANE_XY;
    // In X, Y, Z; its linear-axis coordinate is that of the start point.
    PathPoint center{};
    // Radians, positive counter-clockwise in the plane's (first, second)
    // frame; +-2 pi for a full circle.
    double sweep = 0.0;
    // Radians, the direction from the centre to the start in the plane's
    // frame, when hasStartAngle: saves finding it again for the bounds.
    bool hasStartAngle = false;
    double startAngle = 0.0;
    WordKind lengthUnit = WK_UNIT_MM;
};

// What a whole build found.
struct CPathSummary {
    std::size_t moves = 0;
    std::size_t arcs = 0;
    // The bounds of every drawn point, arc extremes included; unset when
    // there is no move.
    bool hasBounds = false;
    PathPoint min{};
    PathPoint max{};
    // The length unit in force after the last complete block.
    WordKind lengthUnit = WK_UNIT_MM;
    // Stopped by its cancel flag: the rest is incomplete.
    bool cancelled = false;
    // The table was not built: the program has more blocks than its
    // caller can take moves.
    bool tooManyMoves = false;
};

class IPathSink {
public:
    virtual ~IPathSink() = default;
    virtual void AddMove(const CPathMove& move) = 0;
};
