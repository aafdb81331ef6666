// Draws a move table into a move-ID image for one view: every move in
// program order, one pixel wide; an earlier move keeps the pixels it shares
// with a later one (see move_id_image.h). Arcs are cut into chords for the
// view's scale when they are drawn; moves are grouped in chunks whose boxes
// let a zoomed view skip what it cannot see. Colours are the recolour
// pass's business.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

#include "move_id_image.h"
#include "move_table.h"
#include "path_view.h"

struct CRasterResult {
    // False when the cancel flag stopped the drawing part-way.
    bool complete = true;
    std::size_t chunksDrawn = 0;
    std::size_t chunksCulled = 0;
    std::size_t segmentsDrawn = 0;
};

class CPathRaster {
public:
    static constexpr std::size_t CHUNK_MOVES = 4096;
    // The largest distance, in pixels, between an arc and its chords.
    static constexpr double CHORD_TOLERANCE = 0.5;
    static constexpr int MAX_CHORDS = 1 << 16;
    // Rapid and assumed moves are dashed: so many pixels drawn, so many left.
    static constexpr int DASH_ON = 4;
    static constexpr int DASH_OFF = 3;

    // Reads the whole table once for the chunk boxes; the table must stay
    // unchanged and alive while this object is used.
    explicit CPathRaster(const CMoveTable& table);

    const CMoveTable& GetTable() const { return table; }
    std::size_t GetChunkCount() const { return chunks.size(); }

    // Empties image and draws the path from move firstMove on into it at its
    // size. cancel, when given, is read once a chunk; once it is set the
    // drawing stops.
    CRasterResult Draw(const CPathView& view, CMoveIdImage& image, const std::atomic<bool>* cancel = nullptr,
                       std::size_t firstMove = 0) const;
    // The same picture, pixel for pixel, with the chunks shared out among
    // so many threads (this one and threads - 1 more), each into an image of
    // its own that is laid under this one at the end. Worth it for a big
    // table on a machine with a processor to spare.
    CRasterResult DrawOnThreads(const CPathView& view, CMoveIdImage& image, unsigned threads,
                                const std::atomic<bool>* cancel = nullptr, std::size_t firstMove = 0) const;

    // The pixels one move passes through in a view: its start, the ends of
    // its chords and its end, as the raster draws it but not rounded.
    static void TraceMove(const CMoveTable& table, std::size_t move, const CPathView& view,
                          std::vector<CViewPoint>& points);

    // How a move is drawn: its colour group, and whether it is dashed.
    static PathStyle StyleOf(MoveKind kind, MoveFlags flags, bool exactArc);
    static bool IsDashed(MoveKind kind, MoveFlags flags);

private:
    struct CBox {
        CMovePoint min;
        CMovePoint max;
    };

    // Below this many chunks one thread finds their boxes.
    static constexpr std::size_t MIN_CHUNKS_TO_SHARE = 64;

    void BoxChunks(std::size_t firstChunk, std::size_t endChunk);
    void AddToBox(CBox& box, const CMovePoint& point) const;
    void AddArcToBox(CBox& box, std::size_t move, const CArcRecord& arc) const;
    CBox ArcBox(std::size_t move, const CArcRecord& arc) const;
    // Draws the chunks it takes from nextChunk, one at a time, until none
    // is left or cancel is set; image must be empty.
    CRasterResult DrawChunks(const CPathView& view, CMoveIdImage& image, const std::atomic<bool>* cancel,
                             std::size_t firstMove, std::atomic<std::size_t>& nextChunk) const;

    const CMoveTable& table;
    std::vector<CBox> chunks;
};
