#include "program_stock.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "classic_number.h"

namespace {

const char* const BOX_WORD = "ROHTEIL";
const char* const TOOL_WORD = "WERKZEUG";

struct ShapeWord {
    const char* word;
    ToolShape shape;
};
constexpr ShapeWord SHAPE_WORDS[] = {{"SCHAFTFRAESER", TOOL_FLAT}, {"KUGELFRAESER", TOOL_BALL}};

// The letters between the parentheses, a to z in upper case, split at runs
// of spaces; false when the text is no comment or holds an empty item (a
// space just inside a parenthesis).
bool SplitComment(std::string_view comment, std::vector<std::string>& items)
{
    items.clear();
    if (comment.size() < 2 || comment.front() != '(' || comment.back() != ')')
        return false;
    const std::string_view inner = comment.substr(1, comment.size() - 2);
    std::string item;
    for (std::size_t index = 0; index <= inner.size(); ++index) {
        if (index == inner.size() || inner[index] == ' ') {
            if (item.empty())
                return false;
            items.push_back(item);
            item.clear();
            while (index + 1 < inner.size() && inner[index + 1] == ' ')
                ++index;
            continue;
        }
        const char byte = inner[index];
        item += byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : byte;
    }
    return true;
}

// LETTER followed by a number that strtod reads to the end of the item.
bool ReadLetterNumber(const std::string& item, char letter, double& value)
{
    if (item.size() < 2 || item[0] != letter)
        return false;
    const char first = item[1];
    if (first == ' ' || (first >= '\t' && first <= '\r'))
        return false;
    const char* end = nullptr;
    value = ParseClassicReal(item.c_str() + 1, &end);
    return end == item.c_str() + item.size();
}

bool ReadBox(const std::vector<std::string>& items, CStockBox& box)
{
    static const char LETTERS[] = "XYZXYZ";
    double values[6] = {};
    if (items.size() != 7 || items[0] != BOX_WORD)
        return false;
    for (std::size_t index = 0; index < 6; ++index) {
        if (!ReadLetterNumber(items[index + 1], LETTERS[index], values[index]))
            return false;
    }
    const CStockBox read{values[0], values[1], values[2], values[3], values[4], values[5]};
    if (!read.IsValid())
        return false;
    box = read;
    return true;
}

bool ReadTool(const std::vector<std::string>& items, std::int32_t& number, CTool& tool)
{
    if (items.size() != 4 || items[0] != TOOL_WORD)
        return false;
    double whole = 0.0;
    if (!ReadLetterNumber(items[1], 'T', whole) || whole != std::floor(whole) ||
        whole < std::numeric_limits<std::int32_t>::min() || whole > std::numeric_limits<std::int32_t>::max())
        return false;
    bool known = false;
    for (const ShapeWord& row : SHAPE_WORDS) {
        if (items[2] == row.word) {
            tool.shape = row.shape;
            known = true;
        }
    }
    if (!known || !ReadLetterNumber(items[3], 'D', tool.diameter) || !tool.IsValid())
        return false;
    number = static_cast<std::int32_t>(whole);
    return true;
}

} // namespace

bool ReadStockComment(std::string_view comment, CProgramStock& stock)
{
    std::vector<std::string> items;
    if (!SplitComment(comment, items))
        return false;
    CStockBox box;
    if (ReadBox(items, box)) {
        stock.box = box;
        stock.hasBox = true;
        return true;
    }
    std::int32_t number = 0;
    CTool tool;
    if (!ReadTool(items, number, tool))
        return false;
    stock.tools[number] = tool;
    return true;
}

CProgramStock ReadProgramStock(const CWordList& words, std::string_view header)
{
    CProgramStock stock;
    // A header comment runs to its ")" or, unclosed, to the end of its line.
    for (std::size_t start = header.find('('); start != std::string_view::npos;
         start = header.find('(', start + 1)) {
        const std::size_t stop = header.find_first_of(")\r\n", start + 1);
        if (stop == std::string_view::npos)
            break;
        if (header[stop] == ')') {
            ReadStockComment(header.substr(start, stop + 1 - start), stock);
            start = stop;
        }
    }
    for (WordPosition position = 0; position < words.GetCount(); ++position) {
        if (words.GetKind(position) == WK_COMMENT)
            ReadStockComment(words.GetText(position), stock);
    }
    return stock;
}

CToolTable ChooseStockTools(const CStockChoice& choice, const CProgramStock& program)
{
    CToolTable tools = choice.tools;
    for (const auto& entry : program.tools) {
        if (choice.fixedTools.count(entry.first) == 0)
            tools.SetTool(entry.first, entry.second);
    }
    return tools;
}

CStockBox ChooseStockBox(const CStockChoice& choice, const CProgramStock& program, const CMoveTable& table,
                         const CWordList& words, const CToolTable& tools, StockBoxSource* source,
                         const std::atomic<bool>* cancel)
{
    StockBoxSource chosen = STOCK_BOX_AUTOMATIC;
    CStockBox box;
    if (choice.hasBox) {
        chosen = STOCK_BOX_GIVEN;
        box = choice.box;
    } else if (program.hasBox) {
        chosen = STOCK_BOX_PROGRAM;
        box = program.box;
    } else {
        box = CStockBox::FitToPath(table, words, tools, cancel);
    }
    if (source != nullptr)
        *source = chosen;
    return box;
}
