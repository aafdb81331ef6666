#include "program_hints.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "classic_number.h"
#include "cnc_bytes.h"
#include "cnc_program.h"
#include "cut_path.h"
#include "height_grid.h"
#include "moves_outside_box.h"
#include "path_builder.h"
#include "workpiece.h"

namespace {

// The texts of the findings, UTF-8; "%1", "%2", ... are filled in.
const char* const HINT_DECIMAL_COMMA =
    "Komma statt Punkt? \xE2\x80\x9E%1\xE2\x80\x9C: Zahlen werden mit Punkt geschrieben (%2)";
const char* const HINT_SYNTAX_ERROR =
    "Syntaxfehler: hier bricht das Laden ab, der Rest fehlt (\xE2\x80\x9E%1\xE2\x80\x9C)";
// A quoted line is cut to this many bytes.
constexpr std::size_t QUOTE_LIMIT = 60;
const char* const HINT_RAPID_CUT = "Eilgang im Material: G0 f\xC3\xA4hrt %1 tief ins Werkst\xC3\xBC" "ck";
const char* const HINT_INCH_IGNORED =
    "G20 wird ignoriert: das Programm l\xC3\xA4uft in mm (Zoll ist hier G22 oder G71)";
const char* const HINT_WHOLE_HEADER =
    "Alles vor dem ersten \xE2\x80\x9E%\xE2\x80\x9C ist Programmkopf und wird nicht ausgef\xC3\xBChrt: "
    "hier stehen schon S\xC3\xA4tze (\xE2\x80\x9E%1\xE2\x80\x9C)";
const char* const HINT_OUTSIDE_BOX = "Bahn au\xC3\x9F" "erhalb des Rohteils: %1 (Rohteil %2), %3 Bewegung(en)";
const char* const HINT_NO_DIAMETER = "T%1 hat keinen Durchmesser: gerechnet wird mit dem Standardwerkzeug "
                                     "(D%2); im Programm z. B. (WERKZEUG T%1 SCHAFTFRAESER D6)";
const char* const HINT_HIDDEN_WORDS =
    "Kommentar ohne \xE2\x80\x9E)\xE2\x80\x9C verdeckt den Rest der Zeile: \xE2\x80\x9E%1\xE2\x80\x9C "
    "wird nicht ausgef\xC3\xBChrt";

// The hints' sweep runs forwards only: room for the log of a stretch at a
// time, none for snapshots.
constexpr std::size_t HINT_HISTORY_BYTES = std::size_t{8} << 20;

constexpr std::string_view SYNTAX_ERROR_PREFIX = "Syntax error in line: ";
// A header line that starts like this is a block, not a title.
constexpr std::string_view BLOCK_STARTS = "NGXYZMT";

std::string Fill(const char* pattern, std::initializer_list<std::string> values)
{
    std::string text(pattern);
    char mark[3] = {'%', '1', '\0'};
    for (const std::string& value : values) {
        for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
            text.replace(at, 2, value);
        ++mark[1];
    }
    return text;
}

// Up to three decimals, without trailing zeros.
std::string Short(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    if (result.ec != std::errc())
        return FormatClassicFixed4(value);
    std::string text(buffer, result.ptr);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text == "-0" ? "0" : text;
}

// Bytes from 128 up as the program's code page writes them, for a hint
// that quotes the program.
std::string QuoteProgram(std::string_view bytes)
{
    std::string text;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (value < 0x80) {
            text += byte;
        } else {
            // Latin-1 reading: close enough for a quote, and always UTF-8.
            text += static_cast<char>(0xC0 | (value >> 6));
            text += static_cast<char>(0x80 | (value & 0x3F));
        }
    }
    return text;
}

bool IsDigit(char byte) { return byte >= '0' && byte <= '9'; }

// The line of the file as the loader counts lines: a carriage return ends
// one, and a line feed that does not follow a carriage return.
std::string_view FileLine(std::string_view bytes, std::int64_t wanted)
{
    std::int64_t line = 1;
    std::size_t start = 0;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const bool afterReturn = at > 0 && IsCarriageReturn(static_cast<unsigned char>(bytes[at - 1]));
        if (IsLineFeed(byte) && afterReturn) {
            // The line feed of a carriage return and line feed pair.
            start = at + 1;
            continue;
        }
        if (!IsCarriageReturn(byte) && !IsLineFeed(byte))
            continue;
        if (line == wanted)
            return bytes.substr(start, at - start);
        ++line;
        start = at + 1;
    }
    return line == wanted ? bytes.substr(start) : std::string_view();
}

// A word written with a decimal comma ("X36,5"), outside comments; empty
// when the line has none.
std::string_view FindCommaWord(std::string_view line)
{
    bool inComment = false;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char byte = line[at];
        if (byte == ';')
            return std::string_view();
        if (byte == '(' || byte == ')') {
            inComment = byte == '(';
            continue;
        }
        if (inComment || byte != ',' || at == 0 || !IsDigit(line[at - 1]))
            continue;
        std::size_t first = at;
        while (first > 0 && (IsDigit(line[first - 1]) || line[first - 1] == '.' || line[first - 1] == '-' ||
                             line[first - 1] == '+'))
            --first;
        if (first > 0 && std::isalpha(static_cast<unsigned char>(line[first - 1])))
            --first;
        std::size_t last = at + 1;
        while (last < line.size() && IsDigit(line[last]))
            ++last;
        return line.substr(first, last - first);
    }
    return std::string_view();
}

void AddLoadHint(const CHintInput& input, std::vector<CProgramHint>& hints)
{
    if (input.loadResult != CCncProgram::RESULT_SYNTAX_ERROR)
        return;
    const std::string_view error = input.errorText;
    if (error.substr(0, SYNTAX_ERROR_PREFIX.size()) != SYNTAX_ERROR_PREFIX)
        return;
    const std::string number(error.substr(SYNTAX_ERROR_PREFIX.size()));
    const std::int64_t line = ParseClassicInt(number.c_str());
    const std::string_view text = FileLine(input.fileBytes, line);
    const std::string_view word = FindCommaWord(text);
    if (word.empty()) {
        const std::size_t first = std::min(text.find_first_not_of(" \t"), text.size());
        const std::string_view shown = text.substr(first, QUOTE_LIMIT);
        hints.push_back({line, Fill(HINT_SYNTAX_ERROR, {QuoteProgram(shown) + (shown.size() < text.size() - first ? "..." : "")})});
        return;
    }
    std::string corrected(word);
    std::replace(corrected.begin(), corrected.end(), ',', '.');
    hints.push_back({line, Fill(HINT_DECIMAL_COMMA, {QuoteProgram(word), corrected})});
}

// The first header line that reads like a block ("N10 G1 X5"), when the
// header holds one: then the program was meant to start before the "%".
void AddHeaderHint(std::string_view header, std::vector<CProgramHint>& hints)
{
    std::int64_t line = 1;
    std::size_t start = 0;
    while (start < header.size()) {
        std::size_t end = start;
        while (end < header.size() && !IsCarriageReturn(static_cast<unsigned char>(header[end])) &&
               !IsLineFeed(static_cast<unsigned char>(header[end])))
            ++end;
        const std::string_view text = header.substr(start, end - start);
        const std::size_t first = text.find_first_not_of(" \t");
        if (first != std::string_view::npos && first + 1 < text.size() &&
            BLOCK_STARTS.find(static_cast<char>(FoldCase(static_cast<unsigned char>(text[first])))) !=
                std::string_view::npos &&
            (IsDigit(text[first + 1]) || text[first + 1] == '-' || text[first + 1] == '.')) {
            hints.push_back({line, Fill(HINT_WHOLE_HEADER, {QuoteProgram(text.substr(first))})});
            return;
        }
        // A carriage return and its line feed end one line.
        if (end < header.size() && IsCarriageReturn(static_cast<unsigned char>(header[end])) &&
            end + 1 < header.size() && IsLineFeed(static_cast<unsigned char>(header[end + 1])))
            ++end;
        start = end + 1;
        ++line;
    }
}

bool LooksLikeWord(std::string_view text)
{
    for (std::size_t at = 0; at + 1 < text.size(); ++at) {
        const unsigned char letter = FoldCase(static_cast<unsigned char>(text[at]));
        if (IsWordStart(letter) && letter != '%' && (IsDigit(text[at + 1]) || text[at + 1] == '-'))
            return true;
    }
    return false;
}

// One pass over the words: G20, comments that hide words, and the first
// line of each T number that has no diameter.
void AddWordHints(const CWordList& words, std::int64_t headerLines, const CToolTable& tools,
                  std::vector<CProgramHint>& hints)
{
    std::int64_t line = headerLines + 1;
    std::map<std::int32_t, std::int64_t> toolLines;
    for (WordPosition position = 0; position < words.GetCount(); ++position) {
        const std::string_view text = words.GetText(position);
        const WordKind kind = words.GetKind(position);
        if (kind == WK_NONE && text.size() >= 2 && FoldCase(static_cast<unsigned char>(text[0])) == 'G' &&
            words.GetValue(position).intValue == 20)
            hints.push_back({line, HINT_INCH_IGNORED});
        if (kind == WK_COMMENT && text.back() != ')' && LooksLikeWord(text.substr(1)))
            hints.push_back({line, Fill(HINT_HIDDEN_WORDS, {QuoteProgram(text.substr(1))})});
        if ((kind == WK_TOOL || kind == WK_NONE) && !text.empty() && FoldCase(static_cast<unsigned char>(text[0])) == 'T')
            toolLines.emplace(words.GetValue(position).intValue, line);
        if (CPathBuilder::EndsLine(words, position))
            ++line;
    }
    const CTool& fallback = tools.GetDefaultTool();
    for (const auto& entry : toolLines) {
        if (tools.GetTools().count(entry.first) == 0) {
            hints.push_back({entry.second, Fill(HINT_NO_DIAMETER, {std::to_string(entry.first), Short(fallback.diameter)})});
        }
    }
}

// Cutting moves that leave the box: one finding at the first, with the
// count.
void AddOutsideHint(const CMoveTable& table, const CStockBox& box, const CWorkpiece& workpiece,
                    std::vector<CProgramHint>& hints, const std::atomic<bool>* cancel)
{
    const CMovesOutsideBox outside = FindMovesOutsideBox(table, box, false, cancel);
    if (outside.count == 0)
        return;
    const SweepPoint& point = outside.firstPoint;
    const std::string where = "X" + Short(point[0]) + " Y" + Short(point[1]) + " Z" + Short(point[2]);
    const std::string boxText = "X" + Short(box.x0) + ".." + Short(box.x1) + " Y" + Short(box.y0) + ".." +
                                Short(box.y1) + " Z" + Short(box.z0) + ".." + Short(box.z1);
    hints.push_back({workpiece.GetMoveLine(outside.firstMove),
                     Fill(HINT_OUTSIDE_BOX, {where, boxText, std::to_string(outside.count)})});
}

bool IsSameTools(const CToolTable& a, const CToolTable& b)
{
    return a.GetDefaultTool() == b.GetDefaultTool() && a.GetTools() == b.GetTools();
}

// The given cut path is the one the hints would build from words with tools.
bool IsSameCutPath(const CBuiltCutPath* given, const CWordList& words, const CToolTable& tools)
{
    if (given == nullptr || given->table == nullptr || given->summary.path.cancelled ||
        given->summary.path.tooManyMoves)
        return false;
    return given->needsCut ? IsSameTools(given->tools, tools) : !CCutPathBuilder::NeedsCut(words);
}

std::vector<CProgramHint> SortedByLine(std::vector<CProgramHint> hints)
{
    std::stable_sort(hints.begin(), hints.end(),
                     [](const CProgramHint& a, const CProgramHint& b) { return a.line < b.line; });
    return hints;
}

} // namespace

std::vector<CProgramHint> FindProgramHints(const CHintInput& input, const std::atomic<bool>* cancel)
{
    std::vector<CProgramHint> hints;
    AddLoadHint(input, hints);
    AddHeaderHint(input.header, hints);
    if (input.words == nullptr)
        return hints;
    const CWordList& words = *input.words;
    const std::int64_t headerLines = CPathBuilder::CountHeaderLines(input.header);
    const CProgramStock program = ReadProgramStock(words, input.header);
    const CToolTable tools = ChooseStockTools(input.choice, program);
    AddWordHints(words, headerLines, tools, hints);

    // The path as the machine cuts it, as stock sweeps it: the caller's,
    // where it is that path, else built here.
    std::shared_ptr<const CMoveTable> shared;
    CCutSummary cut;
    if (IsSameCutPath(input.cutPath, words, tools)) {
        shared = input.cutPath->table;
        cut = input.cutPath->summary;
        if (cut.hasError)
            cut.error.line += headerLines;
    } else {
        auto built = std::make_shared<CMoveTable>();
        cut = CCutPathBuilder(words, headerLines, tools).BuildTable(*built, cancel);
        shared = std::move(built);
    }
    if (cancel != nullptr && cancel->load())
        return SortedByLine(std::move(hints));
    const CMoveTable& table = *shared;
    if (cut.hasError)
        hints.push_back({cut.error.line, cut.error.message});
    StockBoxSource source = STOCK_BOX_AUTOMATIC;
    CWorkpiece::CSettings settings;
    settings.box = ChooseStockBox(input.choice, program, table, words, tools, &source, cancel);
    if (cancel != nullptr && cancel->load())
        return SortedByLine(std::move(hints));
    settings.cell = CHeightGrid::DefaultCell(settings.box);
    // The sweep is never stepped back: a log for a stretch at a time.
    settings.historyBytes = HINT_HISTORY_BYTES;
    settings.threads = input.sweepThreads;
    std::size_t columns = 0;
    std::size_t rows = 0;
    if (tools.IsValid() && settings.box.IsValid() &&
        CHeightGrid::CountCells(settings.box, settings.cell, columns, rows)) {
        CWorkpiece workpiece(table, words, headerLines, tools, settings);
        if (source != STOCK_BOX_AUTOMATIC)
            AddOutsideHint(table, settings.box, workpiece, hints, cancel);
        if (workpiece.BringTo(table.GetCount(), cancel)) {
            for (const CRapidCut& cut : workpiece.GetRapidCuts())
                hints.push_back({cut.line, Fill(HINT_RAPID_CUT, {Short(cut.depth)})});
        }
    }
    return SortedByLine(std::move(hints));
}
