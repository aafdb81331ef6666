#include "path.h"

#include "headless_panel.h"
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

void AppendPoint(std::string& out, const PathPoint& point)
{
    out += '[';
    for (std::size_t axis = 0; axis < point.size(); ++axis) {
        if (axis > 0)
            out += ',';
        AppendReal(out, point[axis]);
    }
    out += ']';
}

void AppendString(std::string& out, const char* text)
{
    out += '"';
    out += text;
    out += '"';
}

class CPathWriter : public IPathSink {
public:
    explicit CPathWriter(std::FILE* out) : out(out) {}
    ~CPathWriter() override { Flush(); }
    CPathWriter(const CPathWriter&) = delete;
    CPathWriter& operator=(const CPathWriter&) = delete;

    void WriteLoad(int result, const CCncProgram& loader);
    void AddMove(const CPathMove& move) override;
    void WritePath(const CPathSummary& summary);

private:
    void EndRecord();
    void Flush();

    std::FILE* out;
    std::string line;
};

void CPathWriter::EndRecord()
{
    line += "}\n";
    if (line.size() >= (1u << 20))
        Flush();
}

void CPathWriter::Flush()
{
    if (!line.empty())
        std::fwrite(line.data(), 1, line.size(), out);
    line.clear();
}

void CPathWriter::WriteLoad(int result, const CCncProgram& loader)
{
    line += "{\"event\":\"load\"";
    AppendKey(line, "result");
    AppendNumber(line, result);
    AppendKey(line, "error");
    AppendJsonBytes(line, loader.GetErrorText());
    AppendKey(line, "wordCount");
    AppendNumber(line, loader.GetWordCount());
    AppendKey(line, "lineCount");
    AppendNumber(line, loader.GetLineCount());
    EndRecord();
}

void CPathWriter::AddMove(const CPathMove& move)
{
    line += "{\"event\":\"move\"";
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
    EndRecord();
}

void CPathWriter::WritePath(const CPathSummary& summary)
{
    line += "{\"event\":\"path\"";
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
    EndRecord();
}

} // namespace

int RunPath(const std::string& file, std::FILE* out)
{
    CHeadlessPanel headless(file);
    const int result = headless.loader.Load(std::string());
    CPathWriter writer(out);
    writer.WriteLoad(result, headless.loader);
    // After a failed load the list holds the words read before the error.
    const CPathBuilder builder(headless.loader.GetWordList(),
                               CPathBuilder::CountHeaderLines(headless.loader.GetHeader()));
    writer.WritePath(builder.Build(writer));
    return EXIT_ALL_LOADED;
}
