#include "stock.h"

#include <charconv>
#include <limits>
#include <new>
#include <stdexcept>
#include <string_view>

#include "classic_number.h"
#include "json_lines.h"
#include "json_text.h"
#include "path.h"
#include "sweep_input.h"
#include "terminal_text.h"
#include "tool_options.h"
#include "trace.h"
#include "workpiece.h"

namespace {

const char* const BOX_MESSAGE = "tornavel-cli: the stock box is empty or inverted\n";

// What is wrong with an option: the option and the value are filled in.
const char* const NOT_A_NUMBER = "%s: '%s' ist keine Zahl";
const char* const NOT_A_BOX = "%s: '%s' sind nicht sechs Zahlen X0,Y0,Z0,X1,Y1,Z1";
const char* const NOT_A_COUNT = "%s: '%s' ist keine Anzahl (0, 1, 2, ...)";
const char* const MOVES_AND_TRAIL = "%s: '%s' geht nicht zusammen mit --moves oder --trail";
const char* const UNKNOWN_OPTION = "'%s' ist keine Option von stock";
const char* const NO_FILE = "stock: keine Datei angegeben";
const char* const SECOND_FILE = "stock: nur eine Datei, nicht auch '%s'";

// Decimal digits only; a count beyond the machine's range means all moves.
bool ParseCount(const std::string& text, std::size_t& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        value = std::numeric_limits<std::size_t>::max();
    return true;
}

// Items separated by commas, none empty.
std::vector<std::string> SplitCommas(const std::string& text)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return items;
        start = comma + 1;
    }
}

bool ParseBox(const std::string& text, CStockBox& box)
{
    const std::vector<std::string> items = SplitCommas(text);
    double numbers[6] = {};
    if (items.size() != 6)
        return false;
    for (std::size_t item = 0; item < items.size(); ++item) {
        if (!ParseClassicDecimal(items[item], numbers[item]))
            return false;
    }
    box = CStockBox{numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]};
    return true;
}

void WriteStock(CJsonLinesWriter& writer, const CWorkpiece& workpiece, const CCutSummary& cutPath)
{
    const CHeightGrid& grid = workpiece.GetGrid();
    std::string& line = writer.BeginRecord("stock");
    AppendGridKeys(line, grid);
    AppendKey(line, "moves");
    AppendNumber(line, static_cast<long long>(workpiece.GetDoneCount()));
    writer.EndRecord();
    if (cutPath.hasError)
        WriteCutErrorRecord(writer, cutPath.error);
    for (const CRapidCut& cut : workpiece.GetRapidCuts()) {
        writer.BeginRecord("rapid-cut");
        AppendKey(line, "move");
        AppendNumber(line, static_cast<long long>(cut.move));
        AppendKey(line, "line");
        AppendNumber(line, cut.line);
        AppendKey(line, "depth");
        AppendReal(line, cut.depth);
        writer.EndRecord();
    }
    for (std::size_t row = 0; row < grid.GetRows(); ++row) {
        writer.BeginRecord("row");
        AppendKey(line, "j");
        AppendNumber(line, static_cast<long long>(row));
        AppendKey(line, "z");
        line += '[';
        const double* heights = grid.GetRow(row);
        for (std::size_t column = 0; column < grid.GetColumns(); ++column) {
            if (column > 0)
                line += ',';
            AppendReal(line, heights[column]);
        }
        line += ']';
        writer.EndRecord();
    }
}

// Up to three decimals, without trailing zeros: "12.5", "-3", "0.125".
std::string FormatShort(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    if (result.ec != std::errc())
        return FormatClassicFixed4(value);
    std::string text(buffer, result.ptr);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

const char* const BOX_SOURCE_TEXTS[] = {"aus --stock", "aus dem Programm", "automatisch"};

// A few lines for a person: the box, the deepest point, what was cut away
// and the rapid moves that cut.
void WriteSummary(std::FILE* out, int result, const CCncProgram& loader, const CCutSummary& cutPath,
                  const CWorkpiece& workpiece, StockBoxSource source, WordKind unit)
{
    const CHeightGrid& grid = workpiece.GetGrid();
    const CStockBox& box = grid.GetBox();
    const char* const unitName = unit == WK_UNIT_INCH ? "in" : "mm";
    std::string text;
    if (result != CCncProgram::RESULT_OK)
        text += "Ladefehler: " + Cp1252ToTerminalUtf8(loader.GetErrorText()) + " (geschnitten bis dahin)\n";
    if (cutPath.hasError) {
        text += "Schnittfehler in Zeile " + std::to_string(cutPath.error.line) + ": " + cutPath.error.message +
                " (geschnitten bis dahin)\n";
    }
    text += "Rohteil: X" + FormatShort(box.x0) + " Y" + FormatShort(box.y0) + " Z" + FormatShort(box.z0) + " bis X" +
            FormatShort(box.x1) + " Y" + FormatShort(box.y1) + " Z" + FormatShort(box.z1) + " (" +
            BOX_SOURCE_TEXTS[source] + "), Zelle " + FormatShort(grid.GetCell()) + "\n";
    text += "Bewegungen: " + std::to_string(workpiece.GetDoneCount()) + "\n";
    std::size_t deepest = 0;
    double removed = 0.0;
    const std::vector<double>& heights = grid.GetHeights();
    for (std::size_t cell = 0; cell < heights.size(); ++cell) {
        removed += box.z1 - heights[cell];
        if (heights[cell] < heights[deepest])
            deepest = cell;
    }
    if (heights.empty() || heights[deepest] >= box.z1) {
        text += "Tiefster Punkt: nichts abgetragen\n";
    } else {
        text += "Tiefster Punkt: Z" + FormatShort(heights[deepest]) + " bei X" +
                FormatShort(grid.GetCenterX(deepest % grid.GetColumns())) + " Y" +
                FormatShort(grid.GetCenterY(deepest / grid.GetColumns())) + "\n";
    }
    text += "Abgetragen: " + FormatShort(removed * grid.GetCell() * grid.GetCell()) + " " + unitName +
            "\xC2\xB3\n";
    const std::vector<CRapidCut> cuts = workpiece.GetRapidCuts();
    if (cuts.empty()) {
        text += "Eilgang im Material: keiner\n";
    } else {
        text += "Eilgang im Material: " + std::to_string(cuts.size()) + "-mal, in Zeile";
        for (std::size_t cut = 0; cut < cuts.size(); ++cut) {
            text += (cut == 0 ? " " : ", ") + std::to_string(cuts[cut].line) + " (" + FormatShort(cuts[cut].depth) +
                    " " + unitName + " tief)";
        }
        text += "\n";
    }
    std::fwrite(text.data(), 1, text.size(), out);
}

int SweepAndWrite(const CStockOptions& options, std::FILE* out, std::FILE* errors)
{
    CSweepInput input(options.file);
    const CStockChoice choice = MakeStockChoice(options);
    LoadSweepInput(input, choice);
    const int result = input.loadResult;
    const CCncProgram& loader = input.headless.loader;
    if (result == CCncProgram::RESULT_OPEN_FAILED) {
        if (!options.summary) {
            CJsonLinesWriter writer(out);
            WriteLoadRecord(writer, result, loader);
        }
        std::fprintf(errors, "tornavel-cli: %s: %s\n", options.file.c_str(), loader.GetErrorText().c_str());
        return EXIT_SOME_FAILED;
    }
    const CWordList& words = loader.GetWordList();
    const CMoveTable& table = input.table;
    const CToolTable& tools = input.tools;

    CWorkpiece::CSettings settings;
    StockBoxSource source = STOCK_BOX_GIVEN;
    settings.box = ChooseStockBox(choice, input.program, table, words, tools, &source);
    if (!ChooseCell(options, settings, errors))
        return EXIT_SOME_FAILED;

    CWorkpiece workpiece(table, words, input.headerLines, tools, settings);
    if (options.trail.empty()) {
        workpiece.BringTo(options.hasMoves ? options.moves : table.GetCount());
    } else {
        for (const std::size_t count : options.trail)
            workpiece.BringTo(count);
    }

    if (options.summary) {
        WriteSummary(out, result, loader, input.cut, workpiece, source, table.GetLengthUnit());
        return EXIT_ALL_LOADED;
    }
    CJsonLinesWriter writer(out);
    WriteLoadRecord(writer, result, loader);
    WriteStock(writer, workpiece, input.cut);
    return EXIT_ALL_LOADED;
}

} // namespace

CStockChoice MakeStockChoice(const CStockOptions& options)
{
    CStockChoice choice;
    choice.hasBox = options.hasBox;
    choice.box = options.box;
    choice.tools = options.tools;
    choice.fixedTools = options.givenTools;
    return choice;
}

OptionRead ReadStockOption(const std::string& name, const std::string& value, CStockOptions& options,
                           bool& toolCannotCut, std::string& message)
{
    const char* problem = nullptr;
    if (name == "--stock") {
        if (options.hasBox)
            problem = OPTION_GIVEN_TWICE;
        else if (!ParseBox(value, options.box))
            problem = NOT_A_BOX;
        options.hasBox = true;
    } else if (name == "--cell") {
        if (options.hasCell)
            problem = OPTION_GIVEN_TWICE;
        else if (!ParseClassicDecimal(value, options.cell))
            problem = NOT_A_NUMBER;
        options.hasCell = true;
    } else if (name == "--tool" || name == "--default-tool") {
        int status = 0;
        ParseToolOption(name, value, options.tools, status, &options.givenTools, &message);
        if (status == EXIT_BAD_USAGE)
            return OPTION_BAD;
        toolCannotCut = toolCannotCut || status == EXIT_SOME_FAILED;
    } else {
        return OPTION_UNKNOWN;
    }
    if (problem != nullptr) {
        message = OptionMessage(problem, name, value);
        return OPTION_BAD;
    }
    return OPTION_TAKEN;
}

bool IsStockOption(const std::string& name)
{
    return name == "--stock" || name == "--cell" || name == "--tool" || name == "--default-tool" || name == "--moves";
}

bool ChooseCell(const CStockOptions& options, CWorkpiece::CSettings& settings, std::FILE* errors)
{
    if (!settings.box.IsValid()) {
        std::fputs(BOX_MESSAGE, errors);
        return false;
    }
    settings.cell = options.hasCell ? options.cell : CHeightGrid::DefaultCell(settings.box);
    std::size_t columns = 0;
    std::size_t rows = 0;
    if (!CHeightGrid::CountCells(settings.box, settings.cell, columns, rows)) {
        std::fprintf(errors, "tornavel-cli: the cell size must be positive and give at most %zu cells\n",
                     CHeightGrid::MAX_CELLS);
        return false;
    }
    return true;
}

int ParseStockOptions(const std::vector<std::string>& arguments, CStockOptions& options, std::string& message)
{
    bool hasFile = false;
    bool toolCannotCut = false;
    for (std::size_t next = 0; next < arguments.size(); ++next) {
        const std::string& name = arguments[next];
        if (name == "--summary") {
            options.summary = true;
            continue;
        }
        if (name.rfind("--", 0) != 0) {
            if (hasFile) {
                message = OptionMessage(SECOND_FILE, name);
                return EXIT_BAD_USAGE;
            }
            options.file = name;
            hasFile = true;
            continue;
        }
        if (!IsStockOption(name) && name != "--trail") {
            message = OptionMessage(UNKNOWN_OPTION, name);
            return EXIT_BAD_USAGE;
        }
        if (next + 1 >= arguments.size()) {
            message = OptionMessage(OPTION_WITHOUT_VALUE, name);
            return EXIT_BAD_USAGE;
        }
        const std::string& value = arguments[++next];
        const char* problem = nullptr;
        const OptionRead read = ReadStockOption(name, value, options, toolCannotCut, message);
        if (read == OPTION_BAD)
            return EXIT_BAD_USAGE;
        if (read == OPTION_TAKEN) {
            continue;
        } else if (options.hasMoves || !options.trail.empty()) {
            problem = MOVES_AND_TRAIL;
        } else if (name == "--moves") {
            if (!ParseCount(value, options.moves))
                problem = NOT_A_COUNT;
            options.hasMoves = true;
        } else {
            for (const std::string& item : SplitCommas(value)) {
                std::size_t count = 0;
                if (!ParseCount(item, count))
                    problem = NOT_A_COUNT;
                options.trail.push_back(count);
            }
        }
        if (problem != nullptr) {
            message = OptionMessage(problem, name, value);
            return EXIT_BAD_USAGE;
        }
    }
    if (!hasFile) {
        message = OptionMessage(NO_FILE, std::string());
        return EXIT_BAD_USAGE;
    }
    if (toolCannotCut) {
        message = TOOL_DIAMETER_MESSAGE;
        return EXIT_SOME_FAILED;
    }
    return 0;
}

int RunStock(const CStockOptions& options, std::FILE* out, std::FILE* errors)
{
    return RunWithinMemory(errors, [&]() { return SweepAndWrite(options, out, errors); });
}
