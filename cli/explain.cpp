#include "explain.h"

#include "headless_panel.h"
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

} // namespace

int RunExplain(const std::string& file, std::FILE* out)
{
    CHeadlessPanel headless(file);
    const int result = headless.loader.Load(std::string());
    // After a failed load the list holds the words read before the error.
    const CWordList& words = headless.loader.GetWordList();
    std::string lines;
    for (WordPosition position = words.GetFirst(); position != CWordList::NO_POSITION;
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
