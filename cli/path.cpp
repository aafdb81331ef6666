#include "path.h"

#include "headless_panel.h"
#include "json_lines.h"
#include "json_text.h"
#include "path_builder.h"
#include "trace.h"

namespace {

// By MoveKind.
const char* const kindNames[] = {"rapid", "linear", "cw", "ccw", "parable", "thread"};

struct FlagName {
    MoveFlag flag;
    const char* name;
};

// In the order the records list them.
constexpr FlagName flagNames[] = {
    {MOVE_ASSUMED, "assumed"},
    {MOVE_APPROXIMATED, "approximated"},
    {MOVE_MISMATCH, "mismatch"},
    {MOVE_ERROR, "error"},
};

const char* PlaneName(ArcPlane plane)
{
    switch (plane) {
    case ARC_PLANE_XY: return "XY";
    case ARC_PLANE_XZ: return "XZ";
    case ARC_PLANE_YZ: return "YZ";
    }
    return "XY";
}

constexpr double PI = 3.14159265358979323846;

void AppendPoint(std::string& out, const PathPoint& point) { AppendTriple(out, point[0], point[1], point[2]); }

void AppendString(std::string& out, const char* text)
{
    out += '"';
    out += text;
    out += '"';
}

class CPathWriter : public IPathSink {
public:
    explicit CPathWriter(std::FILE* out) : writer(out), line(writer.Text()) {}

    void WriteLoad(int result, const CCncProgram& loader);
    void AddMove(const CPathMove& move) override;
    void WritePath(const CPathSummary& summary);

private:
    CJsonLinesWriter writer;
    std::string& line;
};

void CPathWriter::WriteLoad(int result, const CCncProgram& loader) { WriteLoadRecord(writer, result, loader); }

void CPathWriter::AddMove(const CPathMove& move)
{
    writer.BeginRecord("move");
    AppendKey(line, "index");
    AppendNumber(line, static_cast<long long>(move.index));
    AppendKey(line, "word");
    AppendNumber(line, static_cast<long long>(move.endWord));
    AppendKey(line, "line");
    AppendNumber(line, move.line);
    AppendKey(line, "kind");
    AppendString(line, kindNames[move.kind]);
    AppendKey(line, "from");
    AppendPoint(line, move.from);
    AppendKey(line, "to");
    AppendPoint(line, move.to);
    AppendKey(line, "flags");
    line += '[';
    bool first = true;
    for (const FlagName& flag : flagNames) {
        if ((move.flags & flag.flag) == 0)
            continue;
        if (!first)
            line += ',';
        first = false;
        AppendString(line, flag.name);
    }
    line += ']';
    if (move.isArc) {
        AppendKey(line, "plane");
        AppendString(line, PlaneName(move.plane));
        AppendKey(line, "center");
        AppendPoint(line, move.center);
        AppendKey(line, "sweep");
        // Dividing by PI first keeps quarter and whole turns exact.
        AppendReal(line, move.sweep / PI * 180.0);
    }
    writer.EndRecord();
}

void CPathWriter::WritePath(const CPathSummary& summary)
{
    writer.BeginRecord("path");
    AppendKey(line, "moves");
    AppendNumber(line, static_cast<long long>(summary.moves));
    AppendKey(line, "arcs");
    AppendNumber(line, static_cast<long long>(summary.arcs));
    AppendKey(line, "min");
    if (summary.hasBounds)
        AppendPoint(line, summary.min);
    else
        line += "null";
    AppendKey(line, "max");
    if (summary.hasBounds)
        AppendPoint(line, summary.max);
    else
        line += "null";
    writer.EndRecord();
}

PathPoint ToPathPoint(const CMovePoint& point) { return {point.x, point.y, point.z}; }

// The plane's (first, second, linear) axes, as the arc record names them.
struct PlaneAxes {
    std::size_t first;
    std::size_t second;
    std::size_t linear;
};

PlaneAxes AxesOf(ArcPlane plane)
{
    switch (plane) {
    case ARC_PLANE_XZ: return {2, 0, 1};
    case ARC_PLANE_YZ: return {1, 2, 0};
    case ARC_PLANE_XY: break;
    }
    return {0, 1, 2};
}

// The moves as the window holds them. Lines are not kept there (the window
// takes them from the program view): they are counted from the words as the
// builder counts them.
CPathSummary WriteTableMoves(const CWordList& words, std::int64_t headerLines, CPathWriter& writer)
{
    CMoveTable table;
    CPathBuilder(words, headerLines).BuildTable(table);
    std::int64_t lineEnds = 0;
    WordPosition counted = 0;
    CPathMove move;
    for (std::size_t index = 0; index < table.GetCount(); ++index) {
        move.index = index;
        move.endWord = table.GetEndWord(index);
        move.blockFirstWord = table.GetBlockFirstWord(index);
        for (; counted < move.endWord; ++counted) {
            if (CPathBuilder::EndsLine(words, counted))
                ++lineEnds;
        }
        move.line = headerLines + lineEnds + 1;
        move.kind = table.GetKind(index);
        move.flags = table.GetFlags(index);
        move.from = ToPathPoint(table.GetStart(index));
        move.to = ToPathPoint(table.GetEnd(index));
        const std::ptrdiff_t arc = table.FindArc(index);
        move.isArc = arc >= 0;
        if (move.isArc) {
            const CArcRecord& record = table.GetArcs()[static_cast<std::size_t>(arc)];
            const PlaneAxes axes = AxesOf(record.plane);
            move.plane = record.plane;
            move.center[axes.first] = record.centerFirst;
            move.center[axes.second] = record.centerSecond;
            move.center[axes.linear] = move.from[axes.linear];
            move.sweep = record.sweep;
        }
        writer.AddMove(move);
    }
    CPathSummary summary;
    summary.moves = table.GetCount();
    summary.arcs = table.GetArcs().size();
    CMovePoint min;
    CMovePoint max;
    summary.hasBounds = table.GetBounds(min, max);
    summary.min = ToPathPoint(min);
    summary.max = ToPathPoint(max);
    summary.lengthUnit = table.GetLengthUnit();
    return summary;
}

} // namespace

int RunPath(const std::string& file, PathSource source, std::FILE* out, std::FILE* errors)
{
    CHeadlessPanel headless(file);
    const int result = headless.loader.Load(std::string());
    CPathWriter writer(out);
    writer.WriteLoad(result, headless.loader);
    if (result == CCncProgram::RESULT_OPEN_FAILED) {
        std::fprintf(errors, "tornavel-cli: %s: %s\n", file.c_str(), headless.loader.GetErrorText().c_str());
        return EXIT_SOME_FAILED;
    }
    // After a failed load the list holds the words read before the error.
    const CWordList& words = headless.loader.GetWordList();
    const std::int64_t headerLines = CPathBuilder::CountHeaderLines(headless.loader.GetHeader());
    if (source == PATH_FROM_TABLE)
        writer.WritePath(WriteTableMoves(words, headerLines, writer));
    else
        writer.WritePath(CPathBuilder(words, headerLines).Build(writer));
    return EXIT_ALL_LOADED;
}
