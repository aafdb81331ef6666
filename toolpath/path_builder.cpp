#include "path_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "chunk_ring.h"
#include "cnc_bytes.h"
#include "arc_geometry.h"

namespace {

constexpr std::size_t AXIS_COUNT = 3;
constexpr double PI = 3.14159265358979323846;
constexpr double FULL_TURN = 2.0 * PI;
// Program units; a larger difference between the start and end radius of a
// centre-form arc is worth telling the learner about.
constexpr double RADIUS_MISMATCH_LIMIT = 0.005;
// A radius-form chord may exceed the diameter by this much (relative) before
// the arc is refused: programs round their coordinates.
constexpr double CHORD_TOLERANCE = 1e-9;

struct MotionRow {
    WordKind motion;
    MoveKind kind;
    MoveFlags flags;
};

// The motions that move the tool. Dwell moves nothing; parabolas and
// threads are drawn as straight moves.
constexpr MotionRow motionTable[] = {
    {WK_RAPID, MOVE_RAPID, 0},
    {WK_LINEAR, MOVE_LINEAR, 0},
    {WK_CLOCKWISE, MOVE_CW, 0},
    {WK_COUNTER_CLOCKWISE, MOVE_CCW, 0},
    {WK_PARABLE, MOVE_PARABLE, MOVE_APPROXIMATED},
    {WK_THREAD_LINEAR, MOVE_THREAD, MOVE_APPROXIMATED},
    {WK_THREAD_INCR, MOVE_THREAD, MOVE_APPROXIMATED},
    {WK_THREAD_DECR, MOVE_THREAD, MOVE_APPROXIMATED},
};

const MotionRow* FindMotion(std::int32_t motion)
{
    for (const MotionRow& row : motionTable) {
        if (row.motion == motion)
            return &row;
    }
    return nullptr;
}

// The plane codes and the planes they choose; the plane's axes are the arc
// geometry's.
struct PlaneRow {
    WordKind planeKind;
    ArcPlane plane;
};

constexpr PlaneRow planeTable[] = {
    {WK_PLANE_XY, ARC_PLANE_XY},
    {WK_PLANE_XZ, ARC_PLANE_XZ},
    {WK_PLANE_YZ, ARC_PLANE_YZ},
};

// The plane field only ever holds a plane code.
ArcPlane FindPlane(std::int32_t plane)
{
    for (const PlaneRow& row : planeTable) {
        if (row.planeKind == plane)
            return row.plane;
    }
    return ARC_PLANE_XY;
}

// The position words of the block being gathered: a later word of an
// address replaces an earlier one. An axis's offset word (I, J, K) follows
// its axis word (X, Y, Z) by three slots.
enum AddressSlot { SLOT_X, SLOT_Y, SLOT_Z, SLOT_I, SLOT_J, SLOT_K, SLOT_R, SLOT_COUNT, NO_SLOT = SLOT_COUNT };
constexpr std::size_t OFFSET_SLOT = SLOT_I;

AddressSlot SlotOfKind(WordKind kind)
{
    switch (kind) {
    case WK_X: return SLOT_X;
    case WK_Y: return SLOT_Y;
    case WK_Z: return SLOT_Z;
    case WK_I: return SLOT_I;
    case WK_J: return SLOT_J;
    case WK_K: return SLOT_K;
    case WK_R: return SLOT_R;
    default: return NO_SLOT;
    }
}

// The values of the position words, read on threads of their own ahead of
// the walk that takes them in word order: reading numbers from their text
// is most of a large program's walk. A chunk of words at a time goes
// between the threads; two readers take turns, since the walk and the
// table's filling share the cores with them.
class CValuesAhead {
public:
    static constexpr WordPosition CHUNK_WORDS = WordPosition(1) << 15;
    // Programs shorter than this are walked before a thread would start.
    static constexpr WordPosition LEAST_WORDS = 8 * CHUNK_WORDS;

    explicit CValuesAhead(const CWordList& words)
        : words(words), count(words.GetCount()), ring([](CChunk& chunk) { chunk.values.reserve(CHUNK_WORDS); })
    {
        for (std::size_t first = 0; first < READERS; ++first)
            readers[first] = std::thread([this, first]() { Read(first); });
    }
    ~CValuesAhead()
    {
        ring.Stop();
        for (std::thread& reader : readers)
            reader.join();
    }
    CValuesAhead(const CValuesAhead&) = delete;
    CValuesAhead& operator=(const CValuesAhead&) = delete;

    // The value of the next position word, which stands at word.
    double Next(WordPosition word)
    {
        while (word >= takenEnd) {
            current = &ring.TakeNext();
            ++taken;
            takenEnd = std::min(count, taken * CHUNK_WORDS);
            index = 0;
        }
        return current->values[index++];
    }

private:
    static constexpr std::size_t CHUNK_COUNT = 4;
    static constexpr std::size_t READERS = 2;
    struct CChunk {
        std::vector<double> values;
    };

    void Read(std::size_t first)
    {
        for (std::size_t chunkIndex = first; chunkIndex * CHUNK_WORDS < count; chunkIndex += READERS) {
            CChunk* const chunk = ring.StartFilling(chunkIndex);
            if (chunk == nullptr)
                return;
            chunk->values.clear();
            const WordPosition end = std::min(count, (chunkIndex + 1) * CHUNK_WORDS);
            for (WordPosition word = chunkIndex * CHUNK_WORDS; word < end; ++word) {
                if (SlotOfKind(words.GetKind(word)) != NO_SLOT)
                    chunk->values.push_back(words.GetValue(word).realValue);
            }
            ring.FinishFilling(chunkIndex);
        }
    }

    const CWordList& words;
    const WordPosition count;
    CChunkRing<CChunk, CHUNK_COUNT> ring;
    // The walk's side: the chunk it reads, how many it took, where the
    // chunk's words end, and the next value.
    const CChunk* current = nullptr;
    std::size_t taken = 0;
    WordPosition takenEnd = 0;
    std::size_t index = 0;
    std::thread readers[READERS];
};

struct BlockWords {
    WordPosition first = CWordList::NO_POSITION;
    std::uint8_t present = 0;
    double values[SLOT_COUNT] = {};

    void Set(std::size_t slot, double value)
    {
        present = static_cast<std::uint8_t>(present | (1u << slot));
        values[slot] = value;
    }
    bool Has(std::size_t slot) const { return (present & (1u << slot)) != 0; }
    // A missing word counts as 0.
    double Get(std::size_t slot) const { return Has(slot) ? values[slot] : 0.0; }
    bool HasAnyAxis() const { return (present & 0x07) != 0; }
    bool HasAnyOffset() const { return (present & 0x38) != 0; }
    // Run for every block of millions: forget the words, not their values.
    void Clear()
    {
        first = CWordList::NO_POSITION;
        present = 0;
    }
};

struct ArcGeometry {
    bool error = true;
    bool mismatch = false;
    double centerFirst = 0.0;
    double centerSecond = 0.0;
    CArcShape shape{0.0, 0.0, 0.0, 0.0, 0.0};
};

bool AllFinite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double value) { return std::isfinite(value); });
}

// With the centre set: the arc from start to end with the given sweep;
// false when its centre or a radius is not a finite number.
bool SetShape(ArcGeometry& arc, double startFirst, double startSecond, double endFirst, double endSecond,
              double sweep)
{
    arc.shape = CArcShape(startFirst - arc.centerFirst, startSecond - arc.centerSecond, endFirst - arc.centerFirst,
                          endSecond - arc.centerSecond, sweep);
    return AllFinite({arc.centerFirst, arc.centerSecond, arc.shape.GetStartRadius(), arc.shape.GetEndRadius()});
}

// Centre form: the centre is the start plus the offsets, a missing offset
// being 0; an end equal to the start is a full circle.
ArcGeometry CenterFormArc(double startFirst, double startSecond, double endFirst, double endSecond,
                          double offsetFirst, double offsetSecond, bool clockwise)
{
    ArcGeometry arc;
    arc.centerFirst = startFirst + offsetFirst;
    arc.centerSecond = startSecond + offsetSecond;
    const double sweep = startFirst == endFirst && startSecond == endSecond
                             ? (clockwise ? -FULL_TURN : FULL_TURN)
                             : SweepBetween(startFirst - arc.centerFirst, startSecond - arc.centerSecond,
                                            endFirst - arc.centerFirst, endSecond - arc.centerSecond, clockwise);
    if (!SetShape(arc, startFirst, startSecond, endFirst, endSecond, sweep) || !(arc.shape.GetStartRadius() > 0.0))
        return arc;
    arc.error = false;
    arc.mismatch = std::fabs(arc.shape.GetEndRadius() - arc.shape.GetStartRadius()) > RADIUS_MISMATCH_LIMIT;
    return arc;
}

// Radius form: a positive radius sweeps at most half a turn, a negative one
// more. The centre lies on the chord's perpendicular bisector, on the side
// the sense and the sign choose.
ArcGeometry RadiusFormArc(double startFirst, double startSecond, double endFirst, double endSecond, double radius,
                          bool clockwise)
{
    ArcGeometry arc;
    const double chordFirst = endFirst - startFirst;
    const double chordSecond = endSecond - startSecond;
    const double chordSquared = chordFirst * chordFirst + chordSecond * chordSecond;
    const double diameterLimit = 2.0 * std::fabs(radius) * (1.0 + CHORD_TOLERANCE);
    if (!(chordSquared > 0.0) || !std::isfinite(chordSquared) || !std::isfinite(radius) ||
        chordSquared > diameterLimit * diameterLimit)
        return arc;
    // Distance from the chord's midpoint to the centre, over the chord length.
    const double heightOverChord = std::sqrt(std::max(0.0, radius * radius / chordSquared - 0.25));
    const double side = (clockwise ? -1.0 : 1.0) * (radius > 0.0 ? 1.0 : -1.0) * heightOverChord;
    arc.centerFirst = (startFirst + endFirst) / 2.0 - side * chordSecond;
    arc.centerSecond = (startSecond + endSecond) / 2.0 + side * chordFirst;
    double sweep = SweepBetween(startFirst - arc.centerFirst, startSecond - arc.centerSecond,
                                endFirst - arc.centerFirst, endSecond - arc.centerSecond, clockwise);
    // Rounding may carry a half turn a hair past PI to the wrong side.
    const bool halfTurnAtMost = radius > 0.0;
    if (halfTurnAtMost == (std::fabs(sweep) > PI))
        sweep = sweep < 0.0 ? -PI : PI;
    if (!SetShape(arc, startFirst, startSecond, endFirst, endSecond, sweep))
        return arc;
    arc.error = false;
    return arc;
}

class CBounds {
public:
    void Add(const PathPoint& point)
    {
        for (std::size_t axis = 0; axis < AXIS_COUNT; ++axis)
            Add(axis, point[axis]);
    }
    // Not-a-number never widens the bounds.
    void Add(std::size_t axis, double value)
    {
        if (value < min[axis])
            min[axis] = value;
        if (value > max[axis])
            max[axis] = value;
        any = true;
    }
    // Both ends lie within the bounds along the axis.
    bool Holds(std::size_t axis, double low, double high) const { return low >= min[axis] && high <= max[axis]; }
    bool HasAny() const { return any; }
    const PathPoint& GetMin() const { return min; }
    const PathPoint& GetMax() const { return max; }

private:
    PathPoint min{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    PathPoint max{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    bool any = false;
};

// Widens the bounds by the points where the arc turns in its plane: where
// it crosses the directions +first, +second, -first and -second from the
// centre. A spiral (radius mismatch) counts with its larger radius there and
// with a bound taken from its ends elsewhere, so that no drawn point lies
// outside, though the box may be a little larger than the spiral.
void AddArcExtremes(const ArcGeometry& arc, const ArcAxes& axes, CBounds& bounds)
{
    const CArcShape& shape = arc.shape;
    const double larger = shape.GetLargerRadius();
    const double smaller = std::min(shape.GetStartRadius(), shape.GetEndRadius());
    // Most arcs of a long program lie within the bounds so far, and then no
    // extreme can widen them; the margin covers the rounding of a radius
    // taken part-way along.
    const double margin = larger * (1.0 + 1e-12);
    if (bounds.Holds(axes.first, arc.centerFirst - margin, arc.centerFirst + margin) &&
        bounds.Holds(axes.second, arc.centerSecond - margin, arc.centerSecond + margin))
        return;
    const auto addReach = [&](int direction, double reach) {
        const double sign = direction < 2 ? 1.0 : -1.0;
        if (direction % 2 == 0)
            bounds.Add(axes.first, arc.centerFirst + sign * reach);
        else
            bounds.Add(axes.second, arc.centerSecond + sign * reach);
    };
    std::array<bool, 4> crossed{};
    shape.ForEachAxisCrossing([&](int direction, double along) {
        if (crossed[direction])
            return;
        crossed[direction] = true;
        addReach(direction, arc.mismatch ? larger
                                         : shape.GetStartRadius() +
                                               (shape.GetEndRadius() - shape.GetStartRadius()) * along);
    });
    if (!arc.mismatch)
        return;
    // The cosine of the start and end direction measured from each direction.
    const std::array<double, 4> startCosine{shape.GetStartCos(), shape.GetStartSin(), -shape.GetStartCos(),
                                            -shape.GetStartSin()};
    const std::array<double, 4> endCosine{shape.GetEndCos(), shape.GetEndSin(), -shape.GetEndCos(),
                                          -shape.GetEndSin()};
    for (int direction = 0; direction < 4; ++direction) {
        if (crossed[direction])
            continue;
        const double cosine = std::max(startCosine[direction], endCosine[direction]);
        addReach(direction, cosine * (cosine >= 0.0 ? larger : smaller));
    }
}

CMovePoint ToMovePoint(const PathPoint& point) { return CMovePoint{point[0], point[1], point[2]}; }

// Modal values as the machine state keeps them.
struct PathModes {
    std::int32_t motion = WK_LINEAR;
    std::int32_t plane = WK_PLANE_XY;
    std::int32_t dimensioning = WK_ABSOLUTE;
    std::int32_t lengthUnit = WK_UNIT_MM;
};

// One walk over the word list: gathers each block's words, and when the
// block closes turns it into a move by the rules below, in this order.
class CPathWalk {
public:
    CPathWalk(const CWordList& words, std::int64_t headerLines, IPathSink& sink,
              IPathBlockHandler* handler = nullptr, CValuesAhead* ahead = nullptr)
        : words(words), headerLines(headerLines), sink(sink), handler(handler), ahead(ahead)
    {
    }

    CPathSummary Run(const std::atomic<bool>* cancel);

private:
    void GatherWord(WordPosition word, WordKind kind);
    void CloseBlock(WordPosition word);
    IPathBlockHandler::BlockAction HandBlock(WordPosition word);
    const MotionRow* MotionOfBlock() const;
    void StartMove(WordPosition word, const MotionRow& row);
    void SetTarget();
    void MarkAssumed(bool isArcMotion);
    void ShapeArc();
    void FinishMove();

    const CWordList& words;
    const std::int64_t headerLines;
    IPathSink& sink;
    IPathBlockHandler* handler;
    CValuesAhead* ahead;
    CPathSummary summary;
    // Modal words take effect in order, but only once their block is closed.
    PathModes modes;
    PathModes blockModes;
    BlockWords block;
    PathPoint tool{};
    // Axes that the block of a move has named: the start on any other axis
    // is a guess. Words of a block that moves nothing (a dwell's X, the
    // offsets of a G10) place no tool.
    std::array<bool, AXIS_COUNT> known{};
    CBounds bounds;
    // Lines end with the words that begin with a carriage return (byte 13).
    std::int64_t lineEnds = 0;
    std::int64_t blockLine = 0;
    CPathMove move;
};

// A look at the flag every word would slow the build down; every few
// thousand words still stops it within a fraction of a millisecond.
constexpr WordPosition CANCEL_CHECK_WORDS = 4096;

CPathSummary CPathWalk::Run(const std::atomic<bool>* cancel)
{
    const std::size_t count = words.GetCount();
    for (WordPosition word = 0; word < count; ++word) {
        if (cancel != nullptr && word % CANCEL_CHECK_WORDS == 0 && cancel->load(std::memory_order_relaxed)) {
            summary.cancelled = true;
            return summary;
        }
        const WordKind kind = words.GetKind(word);
        if (kind == WK_NONE || kind == WK_COMMENT) {
            // Words without a meaning of their own (G41, G81, Q) mean
            // something to a handler and belong to their block, so that a
            // block that opens with one ("Q2 G83 ...") is current while the
            // cursor stands on it. The reader's empty word before a comment
            // is no word of the program.
            if (kind == WK_NONE) {
                if (handler != nullptr)
                    handler->GatherWord(word, kind);
                if (block.first == CWordList::NO_POSITION && !words.GetText(word).empty())
                    block.first = word;
            }
            continue;
        }
        GatherWord(word, kind);
        if (kind != WK_END_OF_BLOCK) {
            if (handler != nullptr)
                handler->GatherWord(word, kind);
            continue;
        }
        CloseBlock(word);
        if (handler != nullptr) {
            const IPathBlockHandler::BlockAction action = HandBlock(word);
            if (action == IPathBlockHandler::BLOCK_STOP)
                break;
            if (action == IPathBlockHandler::BLOCK_HANDLED) {
                block.Clear();
                continue;
            }
        }
        const MotionRow* row = MotionOfBlock();
        if (row != nullptr) {
            StartMove(word, *row);
            SetTarget();
            MarkAssumed(IsArcKind(row->kind));
            ShapeArc();
            FinishMove();
        }
        block.Clear();
    }
    summary.hasBounds = bounds.HasAny();
    if (summary.hasBounds) {
        summary.min = bounds.GetMin();
        summary.max = bounds.GetMax();
    }
    summary.lengthUnit = static_cast<WordKind>(modes.lengthUnit);
    return summary;
}

// Position words fill the block's slots (a later word of an address wins);
// modal words wait for the block's end.
void CPathWalk::GatherWord(WordPosition word, WordKind kind)
{
    const AddressSlot slot = SlotOfKind(kind);
    if (slot != NO_SLOT) {
        block.Set(slot, ahead != nullptr ? ahead->Next(word) : words.GetValue(word).realValue);
    } else if (kind != WK_END_OF_BLOCK) {
        switch (GroupOfKind(kind)) {
        case GROUP_MOTION: blockModes.motion = kind; break;
        case GROUP_PLANE: blockModes.plane = kind; break;
        case GROUP_DIMENSIONING: blockModes.dimensioning = kind; break;
        case GROUP_LENGTH_UNIT: blockModes.lengthUnit = kind; break;
        default: break;
        }
    }
    if (block.first == CWordList::NO_POSITION)
        block.first = word;
}

// The block's modal words take effect; its line is that of its end word.
void CPathWalk::CloseBlock(WordPosition word)
{
    blockLine = headerLines + lineEnds + 1;
    if (CPathBuilder::EndsLine(words, word))
        ++lineEnds;
    modes = blockModes;
}

IPathBlockHandler::BlockAction CPathWalk::HandBlock(WordPosition word)
{
    static_assert(static_cast<std::size_t>(BLOCK_ADDRESS_COUNT) == SLOT_COUNT, "one slot per block address");
    CPathBlock view;
    view.first = block.first;
    view.end = word;
    view.line = blockLine;
    view.present = block.present;
    view.values = block.values;
    view.motion = modes.motion;
    view.plane = modes.plane;
    view.dimensioning = modes.dimensioning;
    return handler->CloseBlock(view, tool, known);
}

// A block moves the tool when its motion moves and it names an axis, or,
// for an arc, an offset (a full circle about a centre).
const MotionRow* CPathWalk::MotionOfBlock() const
{
    const MotionRow* row = FindMotion(modes.motion);
    if (row == nullptr)
        return nullptr;
    const bool isArc = IsArcKind(row->kind);
    return block.HasAnyAxis() || (isArc && block.HasAnyOffset()) ? row : nullptr;
}

void CPathWalk::StartMove(WordPosition word, const MotionRow& row)
{
    move.index = summary.moves;
    move.endWord = word;
    move.blockFirstWord = block.first;
    move.line = blockLine;
    move.kind = row.kind;
    move.flags = row.flags;
    move.from = tool;
    move.to = tool;
    move.isArc = false;
    move.lengthUnit = static_cast<WordKind>(modes.lengthUnit);
}

// A named axis goes to its value, or by it under relative dimensioning;
// the others stay.
void CPathWalk::SetTarget()
{
    for (std::size_t axis = 0; axis < AXIS_COUNT; ++axis) {
        if (!block.Has(SLOT_X + axis))
            continue;
        const double value = block.Get(SLOT_X + axis);
        move.to[axis] = modes.dimensioning == WK_RELATIVE ? tool[axis] + value : value;
    }
}

// A move is a guess where it changes an axis that no word has given: an
// axis its block names, or either axis of an arc's plane. An axis never
// given that the move leaves alone is no guess of this move.
void CPathWalk::MarkAssumed(bool isArcMotion)
{
    std::array<bool, AXIS_COUNT> changes{};
    for (std::size_t axis = 0; axis < AXIS_COUNT; ++axis)
        changes[axis] = block.Has(SLOT_X + axis);
    if (isArcMotion) {
        const ArcAxes& axes = AxesOfPlane(FindPlane(modes.plane));
        changes[axes.first] = true;
        changes[axes.second] = true;
    }
    for (std::size_t axis = 0; axis < AXIS_COUNT; ++axis) {
        if (changes[axis] && !known[axis])
            move.flags |= MOVE_ASSUMED;
    }
}

// Arcs from the centre (I, J, K) or the radius (R); one that cannot be made
// is drawn as its chord and flagged.
void CPathWalk::ShapeArc()
{
    bounds.Add(move.from);
    bounds.Add(move.to);
    if (!IsArcKind(move.kind))
        return;
    const ArcPlane plane = FindPlane(modes.plane);
    const ArcAxes& axes = AxesOfPlane(plane);
    const bool clockwise = move.kind == MOVE_CW;
    const double startFirst = move.from[axes.first];
    const double startSecond = move.from[axes.second];
    const double endFirst = move.to[axes.first];
    const double endSecond = move.to[axes.second];
    const ArcGeometry arc =
        block.Has(SLOT_R) ? RadiusFormArc(startFirst, startSecond, endFirst, endSecond, block.Get(SLOT_R), clockwise)
                          : CenterFormArc(startFirst, startSecond, endFirst, endSecond,
                                          block.Get(OFFSET_SLOT + axes.first), block.Get(OFFSET_SLOT + axes.second),
                                          clockwise);
    if (arc.error) {
        move.flags |= MOVE_ERROR;
        return;
    }
    if (arc.mismatch)
        move.flags |= MOVE_MISMATCH;
    move.isArc = true;
    move.plane = plane;
    move.center[axes.first] = arc.centerFirst;
    move.center[axes.second] = arc.centerSecond;
    move.center[axes.linear] = move.from[axes.linear];
    move.sweep = arc.shape.GetSweep();
    AddArcExtremes(arc, axes, bounds);
    ++summary.arcs;
}

// The move is told, and the tool stands at its end; the named axes are
// given from now on.
void CPathWalk::FinishMove()
{
    sink.AddMove(move);
    ++summary.moves;
    tool = move.to;
    for (std::size_t axis = 0; axis < AXIS_COUNT; ++axis)
        known[axis] = known[axis] || block.Has(SLOT_X + axis);
}

// The record of an exact arc move as the table keeps it.
CArcRecord ArcRecordOf(const CPathMove& move)
{
    const ArcAxes& axes = AxesOfPlane(move.plane);
    CArcRecord arc;
    arc.centerFirst = move.center[axes.first];
    arc.centerSecond = move.center[axes.second];
    arc.sweep = move.sweep;
    arc.move = static_cast<std::uint32_t>(move.index);
    arc.plane = move.plane;
    return arc;
}

// Fills a move table on a thread of its own: the walk over the words hands
// it the moves in batches, so that packing them into the table runs beside
// the walk. The table gets the same moves in the same order as from
// CMoveTableSink; only what the table keeps is handed over.
class CTableFillThread : public IPathSink {
public:
    static constexpr std::size_t BATCH_MOVES = 2048;

    explicit CTableFillThread(CMoveTable& table) : table(table)
    {
        filling.Reserve();
        handed.Reserve();
        filler = std::thread([this]() { Fill(); });
    }
    ~CTableFillThread() override
    {
        if (filler.joinable())
            Stop();
    }
    CTableFillThread(const CTableFillThread&) = delete;
    CTableFillThread& operator=(const CTableFillThread&) = delete;

    void AddMove(const CPathMove& move) override
    {
        filling.ends.push_back({ToMovePoint(move.to), static_cast<std::uint32_t>(move.endWord),
                                static_cast<std::uint32_t>(move.blockFirstWord), move.kind, move.flags});
        if (move.isArc)
            filling.arcs.push_back(ArcRecordOf(move));
        if (filling.ends.size() == BATCH_MOVES)
            HandOver();
    }

    // Hands over the last moves and waits until the table holds them all;
    // what failed on the filling thread fails here.
    void Finish()
    {
        HandOver();
        Stop();
        if (failure != nullptr)
            std::rethrow_exception(failure);
    }

private:
    struct CEnd {
        CMovePoint end;
        std::uint32_t endWord;
        std::uint32_t blockFirstWord;
        MoveKind kind;
        MoveFlags flags;
    };
    struct CBatch {
        std::vector<CEnd> ends;
        std::vector<CArcRecord> arcs;

        void Reserve()
        {
            ends.reserve(BATCH_MOVES);
            arcs.reserve(BATCH_MOVES);
        }
        void Clear()
        {
            ends.clear();
            arcs.clear();
        }
        void Swap(CBatch& other)
        {
            ends.swap(other.ends);
            arcs.swap(other.arcs);
        }
    };

    void HandOver()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this]() { return !full; });
        filling.Swap(handed);
        full = true;
        lock.unlock();
        changed.notify_all();
        filling.Clear();
    }

    void Stop()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        changed.notify_all();
        filler.join();
    }

    void Fill()
    {
        CBatch storing;
        storing.Reserve();
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [this]() { return full || done; });
                if (!full)
                    return;
                storing.Swap(handed);
                full = false;
            }
            changed.notify_all();
            // After a failure the walk hands over until it ends; its moves
            // go nowhere.
            if (failure == nullptr) {
                try {
                    // Arcs ascend by move like the moves, so they may follow
                    // their batch.
                    for (const CEnd& end : storing.ends)
                        table.Append(end.end, end.kind, end.flags, end.endWord, end.blockFirstWord);
                    for (const CArcRecord& arc : storing.arcs)
                        table.AppendArc(arc);
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            storing.Clear();
        }
    }

    CMoveTable& table;
    CBatch filling;
    std::mutex mutex;
    std::condition_variable changed;
    CBatch handed;
    bool full = false;
    bool done = false;
    // Written on the filling thread only, read once it is joined.
    std::exception_ptr failure;
    std::thread filler;
};

} // namespace

CPathBuilder::CPathBuilder(const CWordList& words, std::int64_t headerLines) : words(words), headerLines(headerLines) {}

void CMoveTableSink::AddMove(const CPathMove& move)
{
    table.Append(ToMovePoint(move.to), move.kind, move.flags, static_cast<std::uint32_t>(move.endWord),
                 static_cast<std::uint32_t>(move.blockFirstWord));
    if (move.isArc)
        table.AppendArc(ArcRecordOf(move));
}

void CPathBounds::AddMove(const CPathMove& move)
{
    // The bounds so far first: an arc within them widens nothing.
    CBounds bounds;
    if (any) {
        bounds.Add(min);
        bounds.Add(max);
    }
    bounds.Add(move.from);
    bounds.Add(move.to);
    if (move.isArc) {
        const ArcAxes& axes = AxesOfPlane(move.plane);
        ArcGeometry arc;
        arc.error = false;
        arc.mismatch = (move.flags & MOVE_MISMATCH) != 0;
        arc.centerFirst = move.center[axes.first];
        arc.centerSecond = move.center[axes.second];
        SetShape(arc, move.from[axes.first], move.from[axes.second], move.to[axes.first], move.to[axes.second],
                 move.sweep);
        AddArcExtremes(arc, axes, bounds);
    }
    min = bounds.GetMin();
    max = bounds.GetMax();
    any = true;
}

void CPathBounds::Fill(CPathSummary& summary) const
{
    summary.hasBounds = any;
    if (any) {
        summary.min = min;
        summary.max = max;
    }
}

std::int64_t CPathBuilder::CountHeaderLines(std::string_view header)
{
    return std::count_if(header.begin(), header.end(),
                         [](char byte) { return IsCarriageReturn(static_cast<unsigned char>(byte)); });
}

bool CPathBuilder::EndsLine(const CWordList& words, WordPosition position)
{
    return words.GetKind(position) == WK_END_OF_BLOCK && words.GetText(position).front() == '\r';
}

CPathSummary CPathBuilder::Build(IPathSink& sink, const std::atomic<bool>* cancel) const
{
    return CPathWalk(words, headerLines, sink).Run(cancel);
}

CPathSummary CPathBuilder::Walk(IPathBlockHandler& handler, const std::atomic<bool>* cancel) const
{
    return CPathWalk(words, headerLines, handler, &handler).Run(cancel);
}

std::size_t CPathBuilder::CountBlockEnds(const CWordList& words)
{
    std::size_t blockEnds = 0;
    const std::size_t count = words.GetCount();
    for (WordPosition position = 0; position < count; ++position)
        blockEnds += words.GetKind(position) == WK_END_OF_BLOCK ? 1 : 0;
    return blockEnds;
}

CPathSummary CPathBuilder::BuildTable(CMoveTable& table, const std::atomic<bool>* cancel, std::size_t maxMoves) const
{
    table.Clear();
    // A move needs an end-of-block word: reserving that many moves saves
    // copying the table as it grows.
    const std::size_t blockEnds = CountBlockEnds(words);
    if (blockEnds > maxMoves) {
        CPathSummary refused;
        refused.tooManyMoves = true;
        return refused;
    }
    table.Reserve(blockEnds);
    CTableFillThread filler(table);
    std::unique_ptr<CValuesAhead> ahead;
    if (words.GetCount() >= CValuesAhead::LEAST_WORDS)
        ahead = std::make_unique<CValuesAhead>(words);
    const CPathSummary summary = CPathWalk(words, headerLines, filler, nullptr, ahead.get()).Run(cancel);
    ahead.reset();
    filler.Finish();
    if (summary.cancelled) {
        table.Clear();
        return summary;
    }
    table.GiveBackRoom();
    if (summary.hasBounds)
        table.SetBounds(ToMovePoint(summary.min), ToMovePoint(summary.max));
    table.SetLengthUnit(summary.lengthUnit);
    return summary;
}
