#include "cut_path.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "arc_geometry.h"
#include "classic_number.h"
#include "cnc_bytes.h"
#include "move_tools.h"
#include "path_builder.h"
#include "portable_math.h"

namespace {

// Turns of less than this (radians) join two elements with a straight move;
// within this of a half turn they count as outer corners.
constexpr double STRAIGHT_TURN = 0.001;
// A joint shorter than this is no move.
constexpr double JOINT_LENGTH = 1e-9;
// An inside offset radius must be above this.
constexpr double SMALLEST_OFFSET_RADIUS = 1e-9;
// Program units between a peck's last depth and the rapid that returns to it.
constexpr double PECK_CLEARANCE = 0.25;
// A Q so small against the hole that it would take more pecks than this
// feeds the last peck to the bottom: a program must not hang the build.
constexpr int MAX_PECKS = 100000;

// What a word without a meaning of its own does here, by its G number.
enum CutWord : std::uint8_t {
    CUT_WORD_COMPENSATION, // G40, G41, G42
    CUT_WORD_CYCLE,        // selects a drilling cycle
    CUT_WORD_CYCLE_OFF,    // G80
    CUT_WORD_RETURN,       // G98, G99
};

struct CutWordRow {
    std::int32_t gNumber;
    CutWord word;
};

constexpr CutWordRow cutWordTable[] = {
    {40, CUT_WORD_COMPENSATION}, {41, CUT_WORD_COMPENSATION}, {42, CUT_WORD_COMPENSATION},
    {73, CUT_WORD_CYCLE},        {80, CUT_WORD_CYCLE_OFF},    {81, CUT_WORD_CYCLE},
    {82, CUT_WORD_CYCLE},        {83, CUT_WORD_CYCLE},        {85, CUT_WORD_CYCLE},
    {86, CUT_WORD_CYCLE},        {89, CUT_WORD_CYCLE},        {98, CUT_WORD_RETURN},
    {99, CUT_WORD_RETURN},
};

const CutWordRow* FindCutWord(std::int32_t gNumber)
{
    for (const CutWordRow& row : cutWordTable) {
        if (row.gNumber == gNumber)
            return &row;
    }
    return nullptr;
}

// The G number of a word whose first letter is G, or -1.
std::int32_t GNumberOf(const CWordList& words, WordPosition word)
{
    const std::string_view text = words.GetText(word);
    if (text.empty() || FoldCase(static_cast<unsigned char>(text.front())) != 'G')
        return -1;
    return words.GetValue(word).intValue;
}

enum CutErrorId {
    CUT_ERROR_APPROACH_ARC,
    CUT_ERROR_PLANE,
    CUT_ERROR_SIDE_CHANGE,
    CUT_ERROR_MISMATCH,
    CUT_ERROR_SMALL_ARC,
    CUT_ERROR_CORNER,
    CUT_ERROR_CYCLE_COMPENSATED,
    CUT_ERROR_CYCLE_NO_Z,
    CUT_ERROR_CYCLE_Z_ABOVE_R,
    CUT_ERROR_CYCLE_NO_Q,
};

// UTF-8, by CutErrorId.
const char* const cutErrorTexts[] = {
    "Radiuskorrektur: Anfahren nur mit einer Geraden",
    "Radiuskorrektur nur in der Ebene G17",
    "Radiuskorrektur: Wechsel der Seite ohne G40",
    "Radiuskorrektur: Bogen mit ungleichen Radien",
    "Radiuskorrektur: Bogen kleiner als der Werkzeugradius",
    "Konturverletzung: das Werkzeug passt nicht in die Ecke",
    "Bohrzyklus bei eingeschalteter Radiuskorrektur",
    "Bohrzyklus ohne Z",
    // Split where the escape ends: "ber" would continue the hex digits.
    ("Bohrzyklus: Z liegt \xC3\xBC"
     "ber R"),
    "Bohrzyklus G83/G73 ohne Zustellung Q",
};

struct Vec2 {
    double x = 0.0;
    double y = 0.0;
};

Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
Vec2 operator*(double k, Vec2 a) { return {k * a.x, k * a.y}; }
double Dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
double Cross(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }
double Length(Vec2 a) { return std::sqrt(Dot(a, a)); }
Vec2 LeftNormal(Vec2 t) { return {-t.y, t.x}; }
Vec2 Xy(const PathPoint& point) { return {point[0], point[1]}; }

Vec2 Unit(Vec2 a)
{
    const double length = Length(a);
    return length > 0.0 ? (1.0 / length) * a : Vec2{};
}

// The signed angle from a to b, (-pi, pi].
double AngleBetween(Vec2 a, Vec2 b) { return PortableAtan2(Cross(a, b), Dot(a, b)); }

// A contour element of the XY plane: its programmed move and its offset as
// far as it is known. An arc's offset is concentric; a line's is parallel.
struct Element {
    CPathMove programmed;
    bool arc = false;
    Vec2 center;
    double offsetRadius = 0.0;
    Vec2 startDirection;
    Vec2 endDirection;
    // The offset's start (after any cut back) and its end as not cut back;
    // for an arc, the sweep between the two.
    Vec2 start;
    Vec2 uncutEnd;
    double sweep = 0.0;
};

// The tangent of an exact arc at a point, in its sense of travel.
Vec2 ArcTangent(Vec2 center, Vec2 point, bool clockwise)
{
    const Vec2 radial = Unit(point - center);
    return clockwise ? Vec2{radial.y, -radial.x} : Vec2{-radial.y, radial.x};
}

enum CompensationPhase {
    COMPENSATION_OFF,
    COMPENSATION_WAITING,   // on, no element yet: the next one is the approach
    COMPENSATION_ON,        // on, the approach or an element waits for its end
    COMPENSATION_DEPARTING, // off again, an element waits: the next one is the departure
};

enum CycleChoice : std::uint8_t { CHOICE_NONE, CHOICE_MOTION, CHOICE_CYCLE, CHOICE_CYCLE_OFF };

// The cut path as a handler of the path's walk over the blocks: the walk
// makes each programmed move; compensation offsets them, drilling cycles
// replace them.
class CCutWalk : public IPathBlockHandler {
public:
    CCutWalk(const CWordList& words, const CToolTable& tools, IPathSink& sink, CCutNotes* notes,
             const std::atomic<bool>* cancel, std::size_t maxMoves)
        : words(words), tools(tools), moveTools(words), sink(sink), notes(notes), cancel(cancel), maxMoves(maxMoves)
    {
    }

    void GatherWord(WordPosition word, WordKind kind) override;
    BlockAction CloseBlock(const CPathBlock& block, PathPoint& tool, std::array<bool, 3>& known) override;
    void AddMove(const CPathMove& move) override;

    // The element still waiting is cut as if the program ended here.
    void Finish();
    void FillSummary(CCutSummary& summary) const;
    bool IsCancelled() const { return cancelled; }
    bool HasTooManyMoves() const { return tooManyMoves; }

private:
    void ForgetBlock();
    void Fail(CutErrorId id, std::size_t endWord, std::int64_t line);
    void Emit(CPathMove& move, const CCutNote* note);
    void EmitCompensated(CPathMove& move, MoveFlags extraFlags);
    // The compensation's own moves.
    void SwitchOn(const CPathBlock& block, std::int32_t gNumber);
    bool TakeElement(const CPathMove& move);
    void MakeElement(const CPathMove& move, Element& element) const;
    Vec2 OffsetPoint(const Element& element, Vec2 point) const;
    void EmitElement(const Element& element, Vec2 end, double sweep);
    void EmitHeldZ(Vec2 at);
    void FlushWaiting();
    bool JoinCorner(Element& next);
    bool Intersect(const Element& a, const Element& b, Vec2 corner, Vec2& point) const;
    // Drilling.
    bool SetCycleWords(const CPathBlock& block);
    BlockAction DrillHole(const CPathBlock& block, PathPoint& tool, std::array<bool, 3>& known);
    void EmitCycleMove(MoveKind kind, const PathPoint& to, int peck, int peckCount, std::array<bool, 3>& known);

    const CWordList& words;
    const CToolTable& tools;
    CMoveTools moveTools;
    IPathSink& sink;
    CCutNotes* notes;
    const std::atomic<bool>* cancel;
    std::size_t maxMoves;

    // The block being gathered.
    CycleChoice blockChoice = CHOICE_NONE;
    std::int32_t blockCycle = 0;
    std::int32_t blockCompensation = 0;
    std::int32_t blockReturn = 0;
    bool blockHasQ = false;
    double blockQ = 0.0;
    // The block being closed.
    std::size_t blockEnd = 0;
    std::size_t blockFirst = 0;
    std::int64_t blockLine = 0;
    std::int32_t blockPlane = WK_PLANE_XY;

    // Where the cut path's tool stands.
    PathPoint at{};
    std::size_t moves = 0;
    std::size_t arcs = 0;
    CPathBounds bounds;
    bool stopped = false;
    bool cancelled = false;
    bool tooManyMoves = false;
    bool hasError = false;
    CCutError error;

    CompensationPhase phase = COMPENSATION_OFF;
    double side = 1.0; // +1 left (G41), -1 right (G42)
    CCutNote compensationNote;
    // The approach or element whose end waits for the next element, and the
    // moves in Z alone that came after it.
    bool hasWaiting = false;
    bool waitingIsApproach = false;
    CPathMove approach;
    Element waiting;
    std::vector<CPathMove> heldZ;

    bool cycleOn = false;
    std::int32_t cycleNumber = 0;
    bool returnToR = false; // G99
    double initialLevel = 0.0;
    bool hasR = false;
    double retractPlane = 0.0;
    bool hasZ = false;
    double bottom = 0.0;
    bool hasQ = false;
    double peckDepth = 0.0;
};

void CCutWalk::GatherWord(WordPosition word, WordKind kind)
{
    switch (kind) {
    case WK_RAPID:
    case WK_LINEAR:
    case WK_CLOCKWISE:
    case WK_COUNTER_CLOCKWISE: blockChoice = CHOICE_MOTION; return;
    case WK_NONE: break;
    default: return;
    }
    const std::string_view text = words.GetText(word);
    if (text.empty())
        return;
    if (FoldCase(static_cast<unsigned char>(text.front())) == 'Q') {
        const std::string number(text.substr(1));
        const char* end = nullptr;
        blockQ = ParseClassicReal(number.c_str(), &end);
        blockHasQ = true;
        return;
    }
    const CutWordRow* row = FindCutWord(GNumberOf(words, word));
    if (row == nullptr)
        return;
    switch (row->word) {
    case CUT_WORD_COMPENSATION: blockCompensation = row->gNumber; break;
    case CUT_WORD_CYCLE:
        blockChoice = CHOICE_CYCLE;
        blockCycle = row->gNumber;
        break;
    case CUT_WORD_CYCLE_OFF: blockChoice = CHOICE_CYCLE_OFF; break;
    case CUT_WORD_RETURN: blockReturn = row->gNumber; break;
    }
}

void CCutWalk::ForgetBlock()
{
    blockChoice = CHOICE_NONE;
    blockCompensation = 0;
    blockReturn = 0;
    blockHasQ = false;
}

void CCutWalk::Fail(CutErrorId id, std::size_t endWord, std::int64_t line)
{
    FlushWaiting();
    hasError = true;
    error.word = endWord;
    error.line = line;
    error.message = cutErrorTexts[id];
    stopped = true;
}

void CCutWalk::Emit(CPathMove& move, const CCutNote* note)
{
    if (stopped)
        return;
    if (moves >= maxMoves) {
        tooManyMoves = true;
        stopped = true;
        return;
    }
    move.index = moves++;
    if (move.isArc)
        ++arcs;
    bounds.AddMove(move);
    sink.AddMove(move);
    if (notes != nullptr)
        notes->Add(move.index, note);
    at = move.to;
}

void CCutWalk::EmitCompensated(CPathMove& move, MoveFlags extraFlags)
{
    move.flags = static_cast<MoveFlags>(move.flags | MOVE_COMPENSATED | extraFlags);
    Emit(move, &compensationNote);
}

IPathBlockHandler::BlockAction CCutWalk::CloseBlock(const CPathBlock& block, PathPoint& tool,
                                                    std::array<bool, 3>& known)
{
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed))
        cancelled = stopped = true;
    if (stopped) {
        ForgetBlock();
        return BLOCK_STOP;
    }
    blockEnd = block.end;
    blockFirst = block.first;
    blockLine = block.line;
    blockPlane = block.plane;
    if (blockReturn != 0)
        returnToR = blockReturn == 99;

    if (blockCompensation == 40) {
        if (phase == COMPENSATION_WAITING)
            phase = COMPENSATION_OFF;
        else if (phase == COMPENSATION_ON)
            phase = COMPENSATION_DEPARTING;
    } else if (blockCompensation != 0) {
        const double newSide = blockCompensation == 41 ? 1.0 : -1.0;
        const bool isOn = phase == COMPENSATION_WAITING || phase == COMPENSATION_ON;
        if (!isOn && block.plane != WK_PLANE_XY) {
            Fail(CUT_ERROR_PLANE, block.end, block.line);
        } else if (isOn && newSide != side) {
            Fail(CUT_ERROR_SIDE_CHANGE, block.end, block.line);
        } else if (!isOn) {
            SwitchOn(block, blockCompensation);
        }
    }

    if (blockChoice == CHOICE_MOTION || blockChoice == CHOICE_CYCLE_OFF) {
        cycleOn = false;
        hasR = hasZ = hasQ = false;
    } else if (blockChoice == CHOICE_CYCLE) {
        // After G40 without a departure, Z moves may still be held behind the
        // last element: the initial level is where they leave the tool.
        if (!stopped && phase == COMPENSATION_DEPARTING)
            FlushWaiting();
        cycleOn = true;
        cycleNumber = blockCycle;
        initialLevel = at[2];
    }
    BlockAction action = BLOCK_MOVES;
    if (!stopped && cycleOn) {
        action = BLOCK_HANDLED;
        if (blockChoice == CHOICE_CYCLE || block.Has(BLOCK_X) || block.Has(BLOCK_Y)) {
            SetCycleWords(block);
            action = DrillHole(block, tool, known);
        } else {
            SetCycleWords(block);
        }
    }
    ForgetBlock();
    return stopped ? BLOCK_STOP : action;
}

void CCutWalk::SwitchOn(const CPathBlock& block, std::int32_t gNumber)
{
    if (phase == COMPENSATION_DEPARTING) {
        FlushWaiting();
    }
    std::int32_t number = 0;
    const CTool& tool = moveTools.FindNumber(block.end, number) ? tools.Find(number) : tools.GetDefaultTool();
    side = gNumber == 41 ? 1.0 : -1.0;
    compensationNote = CCutNote{CCutNote::CUT_NOTE_COMPENSATION, gNumber, tool.GetRadius(), 0, 0};
    phase = COMPENSATION_WAITING;
}

void CCutWalk::AddMove(const CPathMove& programmed)
{
    if (stopped)
        return;
    CPathMove move = programmed;
    if (phase == COMPENSATION_OFF) {
        move.from = at;
        Emit(move, nullptr);
        return;
    }
    const bool isOn = phase == COMPENSATION_WAITING || phase == COMPENSATION_ON;
    if (isOn && IsArcKind(move.kind) && blockPlane != WK_PLANE_XY) {
        Fail(CUT_ERROR_PLANE, move.endWord, move.line);
        return;
    }
    const bool isElement = move.isArc || move.from[0] != move.to[0] || move.from[1] != move.to[1];
    if (!isElement) {
        // Z alone, at the point where the tool stands or, with an element
        // waiting, where that element's offset will end.
        if (hasWaiting) {
            heldZ.push_back(move);
            return;
        }
        move.from = at;
        move.to[0] = at[0];
        move.to[1] = at[1];
        EmitCompensated(move, 0);
        return;
    }
    TakeElement(move);
}

void CCutWalk::MakeElement(const CPathMove& move, Element& element) const
{
    element.programmed = move;
    element.arc = move.isArc;
    const Vec2 from = Xy(move.from);
    const Vec2 to = Xy(move.to);
    if (element.arc) {
        element.center = Xy(move.center);
        const bool clockwise = move.sweep < 0.0;
        element.startDirection = ArcTangent(element.center, from, clockwise);
        element.endDirection = ArcTangent(element.center, to, clockwise);
        // The tool is inside when the side it keeps is the centre's.
        const bool inside = (side > 0.0) != clockwise;
        element.offsetRadius = Length(from - element.center) + (inside ? -1.0 : 1.0) * compensationNote.radius;
        element.sweep = move.sweep;
    } else {
        element.startDirection = element.endDirection = Unit(to - from);
    }
    element.start = OffsetPoint(element, from);
    element.uncutEnd = OffsetPoint(element, to);
}

Vec2 CCutWalk::OffsetPoint(const Element& element, Vec2 point) const
{
    if (!element.arc)
        return point + (side * compensationNote.radius) * LeftNormal(element.startDirection);
    const Vec2 radial = point - element.center;
    const double radius = Length(radial);
    const double offset = element.offsetRadius - Length(Xy(element.programmed.from) - element.center);
    return element.center + ((radius + offset) / radius) * radial;
}

void CCutWalk::EmitElement(const Element& element, Vec2 end, double sweep)
{
    CPathMove move = element.programmed;
    move.from = {element.start.x, element.start.y, at[2]};
    move.to[0] = end.x;
    move.to[1] = end.y;
    if (element.arc) {
        move.center = {element.center.x, element.center.y, move.from[2]};
        move.sweep = sweep;
    }
    EmitCompensated(move, 0);
}

void CCutWalk::EmitHeldZ(Vec2 end)
{
    for (CPathMove& move : heldZ) {
        move.from = at;
        move.to[0] = end.x;
        move.to[1] = end.y;
        EmitCompensated(move, 0);
    }
    heldZ.clear();
}

// The approach or element waiting for the next one ends as if none came:
// the approach at the offset of its own direction, an element not cut back.
void CCutWalk::FlushWaiting()
{
    if (!hasWaiting)
        return;
    hasWaiting = false;
    if (waitingIsApproach) {
        const Vec2 end = Xy(approach.to) +
                         (side * compensationNote.radius) *
                             LeftNormal(Unit(Xy(approach.to) - Xy(approach.from)));
        CPathMove move = approach;
        move.from = at;
        move.to[0] = end.x;
        move.to[1] = end.y;
        EmitCompensated(move, 0);
        EmitHeldZ(end);
    } else {
        EmitElement(waiting, waiting.uncutEnd, waiting.sweep);
        EmitHeldZ(waiting.uncutEnd);
    }
    if (phase == COMPENSATION_DEPARTING)
        phase = COMPENSATION_OFF;
}

bool CCutWalk::TakeElement(const CPathMove& move)
{
    const bool isArc = move.isArc;
    if (phase == COMPENSATION_DEPARTING) {
        if (isArc) {
            Fail(CUT_ERROR_APPROACH_ARC, move.endWord, move.line);
            return false;
        }
        FlushWaiting();
        CPathMove departure = move;
        departure.from = at;
        phase = COMPENSATION_OFF;
        departure.flags = static_cast<MoveFlags>(departure.flags | MOVE_COMPENSATED);
        Emit(departure, &compensationNote);
        return true;
    }
    if (phase == COMPENSATION_WAITING) {
        if (isArc) {
            Fail(CUT_ERROR_APPROACH_ARC, move.endWord, move.line);
            return false;
        }
        approach = move;
        waitingIsApproach = true;
        hasWaiting = true;
        phase = COMPENSATION_ON;
        return true;
    }
    if ((move.flags & MOVE_MISMATCH) != 0) {
        Fail(CUT_ERROR_MISMATCH, move.endWord, move.line);
        return false;
    }
    Element next;
    MakeElement(move, next);
    if (next.arc && !(next.offsetRadius > SMALLEST_OFFSET_RADIUS)) {
        Fail(CUT_ERROR_SMALL_ARC, move.endWord, move.line);
        return false;
    }
    if (waitingIsApproach) {
        CPathMove first = approach;
        first.from = at;
        first.to[0] = next.start.x;
        first.to[1] = next.start.y;
        hasWaiting = false;
        EmitCompensated(first, 0);
        EmitHeldZ(next.start);
    } else if (!JoinCorner(next)) {
        return false;
    }
    waiting = next;
    waitingIsApproach = false;
    hasWaiting = true;
    return true;
}

// The corner between the waiting element and next: a straight joint, an arc
// about the programmed corner (outer) or both offsets cut back (inner).
bool CCutWalk::JoinCorner(Element& next)
{
    const Element& previous = waiting;
    const Vec2 corner = Xy(next.programmed.from);
    const double cross = Cross(previous.endDirection, next.startDirection);
    const double dot = Dot(previous.endDirection, next.startDirection);
    static const double straightSine = PortableSin(STRAIGHT_TURN);
    const bool nearlyStraight = dot > 0.0 && std::fabs(cross) < straightSine;
    const bool nearlyReversed = dot < 0.0 && std::fabs(cross) < straightSine;
    CPathMove joint = next.programmed;
    joint.isArc = false;
    joint.flags = 0;
    if (nearlyStraight) {
        hasWaiting = false;
        EmitElement(previous, previous.uncutEnd, previous.sweep);
        EmitHeldZ(previous.uncutEnd);
        if (Length(next.start - previous.uncutEnd) > JOINT_LENGTH) {
            joint.kind = MOVE_LINEAR;
            joint.from = at;
            joint.to = {next.start.x, next.start.y, at[2]};
            EmitCompensated(joint, 0);
        }
        return !stopped;
    }
    const bool turnsRight = cross < 0.0;
    const bool outer = nearlyReversed || (side > 0.0 ? turnsRight : !turnsRight);
    if (outer) {
        hasWaiting = false;
        EmitElement(previous, previous.uncutEnd, previous.sweep);
        EmitHeldZ(previous.uncutEnd);
        const bool clockwise = side > 0.0;
        joint.kind = clockwise ? MOVE_CW : MOVE_CCW;
        joint.from = at;
        joint.to = {next.start.x, next.start.y, at[2]};
        joint.isArc = true;
        joint.plane = ARC_PLANE_XY;
        joint.center = {corner.x, corner.y, at[2]};
        const Vec2 from = previous.uncutEnd - corner;
        const Vec2 to = next.start - corner;
        joint.sweep = SweepBetween(from.x, from.y, to.x, to.y, clockwise);
        EmitCompensated(joint, MOVE_CORNER);
        return !stopped;
    }
    Vec2 point;
    bool fits = Intersect(previous, next, corner, point);
    double previousSweep = previous.sweep;
    double nextSweep = next.sweep;
    if (fits) {
        // Cut back, neither offset may turn round.
        if (previous.arc) {
            previousSweep += AngleBetween(previous.uncutEnd - previous.center, point - previous.center);
            fits = previousSweep * previous.sweep > 0.0;
        } else {
            fits = Dot(point - previous.start, previous.endDirection) >= 0.0;
        }
        if (next.arc) {
            nextSweep -= AngleBetween(next.start - next.center, point - next.center);
            fits = fits && nextSweep * next.sweep > 0.0;
        } else {
            fits = fits && Dot(next.uncutEnd - point, next.startDirection) >= 0.0;
        }
    }
    if (!fits) {
        Fail(CUT_ERROR_CORNER, next.programmed.endWord, next.programmed.line);
        return false;
    }
    hasWaiting = false;
    EmitElement(previous, point, previousSweep);
    EmitHeldZ(point);
    next.start = point;
    next.sweep = nextSweep;
    return !stopped;
}

// The point where the offsets of a and b meet that lies nearest the corner.
bool CCutWalk::Intersect(const Element& a, const Element& b, Vec2 corner, Vec2& point) const
{
    Vec2 found[2];
    int count = 0;
    if (!a.arc && !b.arc) {
        const double denominator = Cross(a.endDirection, b.startDirection);
        if (denominator == 0.0)
            return false;
        const double along = Cross(b.start - a.uncutEnd, b.startDirection) / denominator;
        found[count++] = a.uncutEnd + along * a.endDirection;
    } else if (!a.arc || !b.arc) {
        const Element& line = a.arc ? b : a;
        const Element& circle = a.arc ? a : b;
        const Vec2 base = a.arc ? b.start : a.uncutEnd;
        const Vec2 direction = line.startDirection;
        const Vec2 relative = base - circle.center;
        const double half = Dot(direction, relative);
        const double discriminant =
            half * half - (Dot(relative, relative) - circle.offsetRadius * circle.offsetRadius);
        if (discriminant < 0.0)
            return false;
        const double root = std::sqrt(discriminant);
        found[count++] = base + (-half - root) * direction;
        found[count++] = base + (-half + root) * direction;
    } else {
        const Vec2 between = b.center - a.center;
        const double distance = Length(between);
        if (!(distance > 0.0))
            return false;
        const double along = (distance * distance + a.offsetRadius * a.offsetRadius -
                               b.offsetRadius * b.offsetRadius) /
                              (2.0 * distance);
        const double heightSquared = a.offsetRadius * a.offsetRadius - along * along;
        if (heightSquared < 0.0)
            return false;
        const double height = std::sqrt(heightSquared);
        const Vec2 axis = (1.0 / distance) * between;
        const Vec2 foot = a.center + along * axis;
        found[count++] = foot + height * LeftNormal(axis);
        found[count++] = foot - height * LeftNormal(axis);
    }
    point = found[0];
    for (int index = 1; index < count; ++index) {
        if (Length(found[index] - corner) < Length(point - corner))
            point = found[index];
    }
    return std::isfinite(point.x) && std::isfinite(point.y);
}

// The block's R, Z and Q: kept for later holes; under G91 R counts from the
// initial level and Z from R.
bool CCutWalk::SetCycleWords(const CPathBlock& block)
{
    const bool relative = block.dimensioning == WK_RELATIVE;
    if (block.Has(BLOCK_R)) {
        retractPlane = relative ? initialLevel + block.Get(BLOCK_R) : block.Get(BLOCK_R);
        hasR = true;
    }
    if (block.Has(BLOCK_Z)) {
        const double base = hasR ? retractPlane : initialLevel;
        bottom = relative ? base + block.Get(BLOCK_Z) : block.Get(BLOCK_Z);
        hasZ = true;
    }
    if (blockHasQ) {
        peckDepth = blockQ;
        hasQ = true;
    }
    return true;
}

void CCutWalk::EmitCycleMove(MoveKind kind, const PathPoint& to, int peck, int peckCount,
                             std::array<bool, 3>& known)
{
    if (to == at)
        return;
    CPathMove move;
    move.endWord = blockEnd;
    move.blockFirstWord = blockFirst;
    move.line = blockLine;
    move.kind = kind;
    move.flags = MOVE_CYCLE;
    move.from = at;
    move.to = to;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        if (to[axis] != at[axis]) {
            if (!known[axis])
                move.flags = static_cast<MoveFlags>(move.flags | MOVE_ASSUMED);
            known[axis] = true;
        }
    }
    const CCutNote note{CCutNote::CUT_NOTE_CYCLE, static_cast<int>(cycleNumber), 0.0, peck, peckCount};
    Emit(move, &note);
}

IPathBlockHandler::BlockAction CCutWalk::DrillHole(const CPathBlock& block, PathPoint& tool,
                                                  std::array<bool, 3>& known)
{
    if (phase == COMPENSATION_DEPARTING)
        FlushWaiting();
    const bool pecks = cycleNumber == 83 || cycleNumber == 73;
    if (phase != COMPENSATION_OFF)
        Fail(CUT_ERROR_CYCLE_COMPENSATED, block.end, block.line);
    else if (!hasZ)
        Fail(CUT_ERROR_CYCLE_NO_Z, block.end, block.line);
    else if (bottom > (hasR ? retractPlane : initialLevel))
        Fail(CUT_ERROR_CYCLE_Z_ABOVE_R, block.end, block.line);
    else if (pecks && !(hasQ && peckDepth > 0.0))
        Fail(CUT_ERROR_CYCLE_NO_Q, block.end, block.line);
    if (stopped)
        return BLOCK_STOP;

    const bool relative = block.dimensioning == WK_RELATIVE;
    const double r = hasR ? retractPlane : initialLevel;
    const double retract = returnToR ? r : std::max(initialLevel, r);
    PathPoint hole = at;
    for (std::size_t axis = 0; axis < 2; ++axis) {
        const BlockAddress address = axis == 0 ? BLOCK_X : BLOCK_Y;
        if (block.Has(address))
            hole[axis] = relative ? at[axis] + block.Get(address) : block.Get(address);
    }
    if (at[2] < r)
        EmitCycleMove(MOVE_RAPID, {at[0], at[1], r}, 0, 0, known);
    EmitCycleMove(MOVE_RAPID, {hole[0], hole[1], at[2]}, 0, 0, known);
    EmitCycleMove(MOVE_RAPID, {hole[0], hole[1], r}, 0, 0, known);
    const PathPoint atBottom = {hole[0], hole[1], bottom};
    const PathPoint atR = {hole[0], hole[1], r};
    switch (cycleNumber) {
    case 85:
    case 89:
        EmitCycleMove(MOVE_LINEAR, atBottom, 0, 0, known);
        EmitCycleMove(MOVE_LINEAR, atR, 0, 0, known);
        if (!returnToR && initialLevel > r)
            EmitCycleMove(MOVE_RAPID, {hole[0], hole[1], initialLevel}, 0, 0, known);
        break;
    case 83:
    case 73: {
        // The depths first, to number the pecks.
        int peckCount = 0;
        for (double depth = r; depth > bottom;) {
            const double next = std::max(depth - peckDepth, bottom);
            depth = next < depth && peckCount + 1 < MAX_PECKS ? next : bottom;
            ++peckCount;
        }
        int peck = 0;
        for (double depth = r; depth > bottom;) {
            if (peck > 0) {
                const double above = std::min(depth + PECK_CLEARANCE, r);
                if (cycleNumber == 83)
                    EmitCycleMove(MOVE_RAPID, atR, 0, 0, known);
                EmitCycleMove(MOVE_RAPID, {hole[0], hole[1], above}, 0, 0, known);
            }
            const double next = std::max(depth - peckDepth, bottom);
            depth = next < depth && peck + 1 < MAX_PECKS ? next : bottom;
            ++peck;
            EmitCycleMove(MOVE_LINEAR, {hole[0], hole[1], depth}, peck, peckCount, known);
            if (stopped || (cancel != nullptr && cancel->load(std::memory_order_relaxed)))
                break;
        }
        EmitCycleMove(MOVE_RAPID, {hole[0], hole[1], retract}, 0, 0, known);
        break;
    }
    default:
        EmitCycleMove(MOVE_LINEAR, atBottom, 0, 0, known);
        EmitCycleMove(MOVE_RAPID, {hole[0], hole[1], retract}, 0, 0, known);
        break;
    }
    tool = at;
    // As the path takes the axes a moving block names as given.
    known[0] = known[0] || block.Has(BLOCK_X);
    known[1] = known[1] || block.Has(BLOCK_Y);
    return stopped ? BLOCK_STOP : BLOCK_HANDLED;
}

void CCutWalk::Finish()
{
    if (!stopped)
        FlushWaiting();
}

void CCutWalk::FillSummary(CCutSummary& summary) const
{
    summary.path.moves = moves;
    summary.path.arcs = arcs;
    bounds.Fill(summary.path);
    summary.path.cancelled = cancelled;
    summary.path.tooManyMoves = tooManyMoves;
    summary.hasError = hasError;
    summary.error = error;
}

} // namespace

const CCutNote* CCutNotes::Find(std::size_t move) const
{
    const auto after = std::upper_bound(runFirsts.begin(), runFirsts.end(), move);
    if (after == runFirsts.begin())
        return nullptr;
    const std::uint32_t note = runNotes[static_cast<std::size_t>(after - runFirsts.begin()) - 1];
    return note == 0 ? nullptr : &notes[note - 1];
}

void CCutNotes::Clear()
{
    std::vector<std::uint32_t>().swap(runFirsts);
    std::vector<std::uint32_t>().swap(runNotes);
    notes.clear();
    noteIndex.clear();
}

std::size_t CCutNotes::GetMemoryBytes() const
{
    return (runFirsts.capacity() + runNotes.capacity()) * sizeof(std::uint32_t) +
           notes.capacity() * sizeof(CCutNote) + noteIndex.size() * (sizeof(NoteKey) + 48);
}

void CCutNotes::Add(std::size_t move, const CCutNote* note)
{
    std::uint32_t index = 0;
    if (note != nullptr) {
        const NoteKey key = KeyOf(*note);
        auto found = noteIndex.find(key);
        if (found == noteIndex.end()) {
            notes.push_back(*note);
            found = noteIndex.emplace(key, static_cast<std::uint32_t>(notes.size())).first;
        }
        index = found->second;
    }
    if (runNotes.empty() ? index == 0 : runNotes.back() == index)
        return;
    runFirsts.push_back(static_cast<std::uint32_t>(move));
    runNotes.push_back(index);
}

CCutPathBuilder::CCutPathBuilder(const CWordList& words, std::int64_t headerLines, const CToolTable& tools)
    : words(words), headerLines(headerLines), tools(tools)
{
}

bool CCutPathBuilder::NeedsCut(const CWordList& words)
{
    const std::size_t count = words.GetCount();
    for (WordPosition word = 0; word < count; ++word) {
        if (words.GetKind(word) == WK_NONE && FindCutWord(GNumberOf(words, word)) != nullptr)
            return true;
    }
    return false;
}

CCutSummary CCutPathBuilder::Run(IPathSink& sink, const std::atomic<bool>* cancel, std::size_t maxMoves,
                                 CCutNotes* notes) const
{
    if (notes != nullptr)
        notes->Clear();
    CCutWalk walk(words, tools, sink, notes, cancel, maxMoves);
    const CPathSummary walked = CPathBuilder(words, headerLines).Walk(walk, cancel);
    CCutSummary summary;
    if (!walked.cancelled)
        walk.Finish();
    walk.FillSummary(summary);
    summary.path.cancelled = summary.path.cancelled || walked.cancelled;
    summary.path.lengthUnit = walked.lengthUnit;
    return summary;
}

CCutSummary CCutPathBuilder::Build(IPathSink& sink, const std::atomic<bool>* cancel, CCutNotes* notes) const
{
    if (!NeedsCut(words)) {
        if (notes != nullptr)
            notes->Clear();
        CCutSummary summary;
        summary.path = CPathBuilder(words, headerLines).Build(sink, cancel);
        return summary;
    }
    return Run(sink, cancel, SIZE_MAX, notes);
}

CCutSummary CCutPathBuilder::BuildTable(CMoveTable& table, const std::atomic<bool>* cancel, std::size_t maxMoves,
                                        CCutNotes* notes) const
{
    if (notes != nullptr)
        notes->Clear();
    if (!NeedsCut(words)) {
        CCutSummary summary;
        summary.path = CPathBuilder(words, headerLines).BuildTable(table, cancel, maxMoves);
        return summary;
    }
    table.Clear();
    const std::size_t blockEnds = CPathBuilder::CountBlockEnds(words);
    if (blockEnds > maxMoves) {
        CCutSummary refused;
        refused.path.tooManyMoves = true;
        return refused;
    }
    table.Reserve(blockEnds);
    CMoveTableSink sink(table);
    CCutSummary summary = Run(sink, cancel, maxMoves, notes);
    if (summary.path.cancelled || summary.path.tooManyMoves) {
        table.Clear();
        if (notes != nullptr)
            notes->Clear();
        return summary;
    }
    table.GiveBackRoom();
    if (summary.path.hasBounds)
        table.SetBounds({summary.path.min[0], summary.path.min[1], summary.path.min[2]},
                        {summary.path.max[0], summary.path.max[1], summary.path.max[2]});
    table.SetLengthUnit(summary.path.lengthUnit);
    return summary;
}
