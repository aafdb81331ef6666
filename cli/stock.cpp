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
#include "tool_options.h"
#include "trace.h"
#include "workpiece.h"

namespace {

const char* const BOX_MESSAGE = "tornavel-cli: the stock box is empty or inverted\n";

// A whole argument as one number in the classic locale.
bool ParseReal(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    const char* end = nullptr;
    value = ParseClassicReal(text.c_str(), &end);
    return end == text.c_str() + text.size() && text.find_first_of(" \t\n\r\f\v") == std::string::npos;
}

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

void WriteStock(CJsonLinesWriter& writer, const CWorkpiece& workpiece, const CCutSummary& cutPath)
{
    const CHeightGrid& grid = workpiece.GetGrid();
    const CStockBox& box = grid.GetBox();
    std::string& line = writer.BeginRecord("stock");
    AppendKey(line, "min");
    AppendTriple(line, box.x0, box.y0, box.z0);
    AppendKey(line, "max");
    AppendTriple(line, box.x1, box.y1, box.z1);
    AppendKey(line, "cell");
    AppendReal(line, grid.GetCell());
    AppendKey(line, "columns");
    AppendNumber(line, static_cast<long long>(grid.GetColumns()));
    AppendKey(line, "rows");
    AppendNumber(line, static_cast<long long>(grid.GetRows()));
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

int SweepAndWrite(const CStockOptions& options, std::FILE* out, std::FILE* errors)
{
    CSweepInput input(options.file);
    LoadSweepInput(input, options.tools);
    if (input.loadResult == CCncProgram::RESULT_OPEN_FAILED) {
        CJsonLinesWriter writer(out);
        WriteLoadRecord(writer, input.loadResult, input.headless.loader);
        writer.Flush();
        std::fprintf(errors, "tornavel-cli: %s\n", input.headless.loader.GetErrorText().c_str());
        return EXIT_SOME_FAILED;
    }
    const CWordList& words = input.headless.loader.GetWordList();
    const CMoveTable& table = input.table;

    CWorkpiece::CSettings settings;
    settings.box = options.hasBox ? options.box : CStockBox::FitToPath(table, words, input.tools);
    if (!settings.box.IsValid()) {
        std::fputs(BOX_MESSAGE, errors);
        return EXIT_SOME_FAILED;
    }
    settings.cell = options.hasCell ? options.cell : CHeightGrid::DefaultCell(settings.box);
    std::size_t columns = 0;
    std::size_t rows = 0;
    if (!CHeightGrid::CountCells(settings.box, settings.cell, columns, rows)) {
        std::fprintf(errors, "tornavel-cli: the cell size must be positive and give at most %zu cells\n",
                     CHeightGrid::MAX_CELLS);
        return EXIT_SOME_FAILED;
    }

    CWorkpiece workpiece(table, words, input.headerLines, input.tools, settings);
    if (options.trail.empty()) {
        workpiece.BringTo(options.hasMoves ? options.moves : table.GetCount());
    } else {
        for (const std::size_t count : options.trail)
            workpiece.BringTo(count);
    }

    CJsonLinesWriter writer(out);
    WriteLoadRecord(writer, input.loadResult, input.headless.loader);
    WriteStock(writer, workpiece, input.cut);
    return EXIT_ALL_LOADED;
}

} // namespace

int ParseStockOptions(const std::vector<std::string>& arguments, CStockOptions& options, std::string& message)
{
    std::size_t next = 0;
    int toolResult = 0;
    while (next + 1 < arguments.size()) {
        const std::string& name = arguments[next];
        const std::string& value = arguments[next + 1];
        next += 2;
        if (name == "--stock" && !options.hasBox) {
            const std::vector<std::string> items = SplitCommas(value);
            double numbers[6] = {};
            if (items.size() != 6)
                return EXIT_BAD_USAGE;
            for (std::size_t item = 0; item < items.size(); ++item) {
                if (!ParseReal(items[item], numbers[item]))
                    return EXIT_BAD_USAGE;
            }
            options.box = CStockBox{numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]};
            options.hasBox = true;
        } else if (name == "--cell" && !options.hasCell) {
            if (!ParseReal(value, options.cell))
                return EXIT_BAD_USAGE;
            options.hasCell = true;
        } else if (ParseToolOption(name, value, options.tools, toolResult)) {
            if (toolResult == EXIT_BAD_USAGE)
                return EXIT_BAD_USAGE;        } else if (name == "--moves" && !options.hasMoves && options.trail.empty()) {
            if (!ParseCount(value, options.moves))
                return EXIT_BAD_USAGE;
            options.hasMoves = true;
        } else if (name == "--trail" && !options.hasMoves && options.trail.empty()) {
            for (const std::string& item : SplitCommas(value)) {
                std::size_t count = 0;
                if (!ParseCount(item, count))
                    return EXIT_BAD_USAGE;
                options.trail.push_back(count);
            }
        } else {
            return EXIT_BAD_USAGE;
        }
    }
    if (next + 1 != arguments.size() || arguments[next].rfind("--", 0) == 0)
        return EXIT_BAD_USAGE;
    options.file = arguments[next];
    if (toolResult != 0)
        message = TOOL_DIAMETER_MESSAGE;
    return toolResult;
}

int RunStock(const CStockOptions& options, std::FILE* out, std::FILE* errors)
{
    try {
        return SweepAndWrite(options, out, errors);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
        // A reserve beyond what a vector can hold fails the same way.
    }
    std::fprintf(errors, "tornavel-cli: %s\n", TEXT_NOT_ENOUGH_MEMORY);
    return EXIT_SOME_FAILED;
}
