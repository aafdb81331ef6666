#include "explain.h"

#include "headless_panel.h"
#include "path_builder.h"
#include "terminal_text.h"
#include "trace.h"
#include "word_explanation.h"

namespace {

// Programs of millions of words are written in pieces of this size.
constexpr std::size_t FLUSH_SIZE = 1u << 20;

void Write(std::string& lines, std::FILE* out)
{
    std::fwrite(lines.data(), 1, lines.size(), out);
    lines.clear();
}

const char* const HEADER_LINES = "Zeilen 1 bis %lld: Programmkopf vor dem ersten \"%%\" - wird nicht ausgef\xC3\xBChrt\n";
const char* const HEADER_LINE = "Zeile 1: Programmkopf vor dem ersten \"%\" - wird nicht ausgef\xC3\xBChrt\n";

// "Zeile N: " and the line's words as the program view lists them, then
// each word's explanation indented beneath; returns the position after the
// line's end.
WordPosition AppendLine(const CWordList& words, WordPosition first, std::int64_t line, std::string& lines)
{
    WordPosition end = first;
    while (end < words.GetCount() && !CPathBuilder::EndsLine(words, end))
        ++end;
    const WordPosition after = end < words.GetCount() ? end + 1 : end;
    std::string text;
    for (WordPosition position = first; position < end; ++position) {
        if (words.GetText(position).empty())
            continue;
        if (!text.empty())
            text += ' ';
        text += words.GetText(position);
    }
    lines += "Zeile " + std::to_string(line) + ": " + Cp1252ToTerminalUtf8(text) + '\n';
    for (WordPosition position = first; position < after; ++position) {
        lines += "    ";
        lines += Cp1252ToTerminalUtf8(ExplainWordAt(words, position));
        lines += '\n';
    }
    return after;
}

} // namespace

int RunExplain(const std::string& file, ExplainLayout layout, std::FILE* out)
{
    CHeadlessPanel headless(file);
    const int result = headless.loader.Load(std::string());
    // After a failed load the list holds the words read before the error.
    const CWordList& words = headless.loader.GetWordList();
    std::string lines;
    if (layout == EXPLAIN_BY_LINE) {
        const std::int64_t headerLines = CPathBuilder::CountHeaderLines(headless.loader.GetHeader());
        char heading[160];
        if (headerLines == 1)
            lines += HEADER_LINE;
        else if (headerLines > 1) {
            std::snprintf(heading, sizeof heading, HEADER_LINES, static_cast<long long>(headerLines));
            lines += heading;
        }
        std::int64_t line = headerLines + 1;
        for (WordPosition position = 0; position < words.GetCount(); ++line) {
            position = AppendLine(words, position, line, lines);
            if (lines.size() >= FLUSH_SIZE)
                Write(lines, out);
        }
    }
    for (WordPosition position = words.GetFirst(); layout == EXPLAIN_BY_WORD && position != CWordList::NO_POSITION;
         position = words.GetNext(position)) {
        lines += Cp1252ToTerminalUtf8(ExplainWordAt(words, position));
        lines += '\n';
        if (lines.size() >= FLUSH_SIZE)
            Write(lines, out);
    }
    if (result != CCncProgram::RESULT_OK) {
        lines += Cp1252ToTerminalUtf8(headless.loader.GetErrorText());
        lines += '\n';
    }
    Write(lines, out);
    return result == CCncProgram::RESULT_OK ? EXIT_ALL_LOADED : EXIT_SOME_FAILED;
}
