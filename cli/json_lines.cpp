#include "json_lines.h"

#include "cnc_program.h"
#include "height_grid.h"
#include "json_text.h"

namespace {

// Big enough that a path of millions of moves costs few writes.
constexpr std::size_t FLUSH_BYTES = 1u << 20;

} // namespace

std::string& CJsonLinesWriter::BeginRecord(const char* event)
{
    line += "{\"event\":\"";
    line += event;
    line += '"';
    return line;
}

void CJsonLinesWriter::EndRecord()
{
    line += "}\n";
    if (line.size() >= FLUSH_BYTES)
        Flush();
}

void CJsonLinesWriter::AppendLongBytes(std::string_view bytes)
{
    constexpr std::size_t PIECE_BYTES = 64u << 10;
    line += '"';
    for (std::size_t from = 0; from < bytes.size(); from += PIECE_BYTES) {
        AppendJsonByteRun(line, bytes.substr(from, PIECE_BYTES));
        if (line.size() >= FLUSH_BYTES)
            Flush();
    }
    line += '"';
}

void CJsonLinesWriter::Flush()
{
    if (!line.empty())
        std::fwrite(line.data(), 1, line.size(), out);
    line.clear();
}

void WriteLoadRecord(CJsonLinesWriter& writer, int result, const CCncProgram& loader)
{
    std::string& line = writer.BeginRecord("load");
    AppendKey(line, "result");
    AppendNumber(line, result);
    AppendKey(line, "error");
    AppendJsonBytes(line, loader.GetErrorText());
    AppendKey(line, "wordCount");
    AppendNumber(line, loader.GetWordCount());
    AppendKey(line, "lineCount");
    AppendNumber(line, loader.GetLineCount());
    writer.EndRecord();
}

void AppendGridKeys(std::string& line, const CHeightGrid& grid)
{
    const CStockBox& box = grid.GetBox();
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
}
