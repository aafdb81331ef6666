#include "trace.h"

#include <cstring>

#include "headless_panel.h"
#include "json_lines.h"
#include "json_text.h"
#include "run_to_mode.h"
#include "state_texts.h"

namespace {

// The command letters; the run-to modes add their digits.
const char* const COMMAND_LETTERS = "nNrRaxlb";

class CTraceWriter {
public:
    CTraceWriter(CHeadlessPanel& headless, std::FILE* out) : headless(headless), writer(out), line(writer.Text()) {}

    void WriteLoad(int result);
    void WriteWords();
    void WriteDisplay();
    void WriteCommand(const char* name);

private:
    void AppendHighlight();
    void AppendCursor();
    void AppendTexts();

    CHeadlessPanel& headless;
    CJsonLinesWriter writer;
    std::string& line;
};

void CTraceWriter::AppendHighlight()
{
    AppendKey(line, "highlight");
    if (!headless.view.HasSelection()) {
        line += "null";
        return;
    }
    line += '[';
    AppendNumber(line, headless.view.GetSelectionStart());
    line += ',';
    AppendNumber(line, headless.view.GetSelectionEnd());
    line += ']';
}

void CTraceWriter::AppendCursor()
{
    AppendKey(line, "cursor");
    const WordPosition cursor = headless.cursor.GetCursor();
    if (cursor == CWordList::NO_POSITION)
        line += "null";
    else
        AppendNumber(line, static_cast<long long>(cursor));
}

void CTraceWriter::AppendTexts()
{
    AppendKey(line, "texts");
    line += '{';
    bool first = true;
    for (std::size_t stateLine = 0; stateLine < STATE_LINE_COUNT; ++stateLine) {
        const int id = StateLineControlId(stateLine);
        if (!first)
            line += ',';
        first = false;
        line += '"';
        AppendNumber(line, id);
        line += "\":";
        AppendJsonBytes(line, headless.panel.GetControlText(id));
    }
    line += '}';
}

void CTraceWriter::WriteLoad(int result)
{
    const CCncProgram& loader = headless.loader;
    writer.BeginRecord("load");
    AppendKey(line, "result");
    AppendNumber(line, result);
    AppendKey(line, "error");
    AppendJsonBytes(line, loader.GetErrorText());
    AppendKey(line, "header");
    AppendJsonBytes(line, loader.GetHeader());
    AppendKey(line, "wordCount");
    AppendNumber(line, loader.GetWordCount());
    AppendKey(line, "charCount");
    AppendNumber(line, loader.GetCharCount());
    AppendKey(line, "lineCount");
    AppendNumber(line, loader.GetLineCount());
    AppendKey(line, "listing");
    writer.AppendLongBytes(headless.view.GetListing());
    AppendKey(line, "message");
    AppendJsonBytes(line, headless.panel.GetControlText(IDC_MESSAGE_LINE));
    AppendHighlight();
    AppendCursor();
    writer.EndRecord();
}

void CTraceWriter::WriteWords()
{
    const CWordList& words = headless.loader.GetWordList();
    for (WordPosition position = words.GetFirst(); position != CWordList::NO_POSITION;
         position = words.GetNext(position)) {
        const CCncValue value = words.GetValue(position);
        std::int32_t start = 0;
        std::int32_t end = 0;
        words.GetSpan(position, start, end);
        writer.BeginRecord("word");
        AppendKey(line, "index");
        AppendNumber(line, static_cast<long long>(position));
        AppendKey(line, "text");
        AppendJsonBytes(line, words.GetText(position));
        AppendKey(line, "kind");
        AppendNumber(line, words.GetKind(position));
        AppendKey(line, "int");
        AppendNumber(line, value.intValue);
        AppendKey(line, "real");
        AppendReal(line, value.realValue);
        AppendKey(line, "span");
        line += '[';
        AppendNumber(line, start);
        line += ',';
        AppendNumber(line, end);
        line += ']';
        writer.EndRecord();
    }
}

void CTraceWriter::WriteDisplay()
{
    writer.BeginRecord("display");
    AppendTexts();
    writer.EndRecord();
}

void CTraceWriter::WriteCommand(const char* name)
{
    writer.BeginRecord("command");
    AppendKey(line, "name");
    line += '"';
    line += name;
    line += '"';
    AppendKey(line, "runToMode");
    AppendNumber(line, headless.cursor.GetRunToMode());
    AppendKey(line, "message");
    AppendJsonBytes(line, headless.panel.GetControlText(IDC_MESSAGE_LINE));
    AppendHighlight();
    AppendCursor();
    AppendTexts();
    writer.EndRecord();
}

// One command of the script; repeated letters run while the cursor stands on a word.
void RunLetter(char letter, CHeadlessPanel& headless, CTraceWriter& writer)
{
    CProgramCursor& cursor = headless.cursor;
    const auto repeat = [&](void (CProgramCursor::*command)(), const char* name) {
        do {
            (cursor.*command)();
            writer.WriteCommand(name);
        } while (cursor.GetCursor() != CWordList::NO_POSITION);
    };
    switch (letter) {
    case 'n': cursor.OnNextWord(); writer.WriteCommand("next"); break;
    case 'N': repeat(&CProgramCursor::OnNextWord, "next"); break;
    case 'r': cursor.OnRunTo(); writer.WriteCommand("runto"); break;
    case 'R': repeat(&CProgramCursor::OnRunTo, "runto"); break;
    case 'a': cursor.OnJumpToActual(); writer.WriteCommand("actual"); break;
    case 'x': cursor.OnReset(); writer.WriteCommand("reset"); break;
    case 'l': cursor.OnLoad(); writer.WriteCommand("load"); break;
    case 'b': cursor.OnStepBack(); writer.WriteCommand("back"); break;
    default:
        headless.panel.SetRunToSelection(FindRunToModeByDigit(letter)->mode);
        cursor.OnRunToModeChanged();
        writer.WriteCommand("mode");
        break;
    }
}

} // namespace

bool IsValidScript(const std::string& script)
{
    for (const char letter : script) {
        if (std::strchr(COMMAND_LETTERS, letter) == nullptr && FindRunToModeByDigit(letter) == nullptr)
            return false;
    }
    return true;
}

int RunTrace(const std::string& file, const std::string& script, std::FILE* out)
{
    CHeadlessPanel headless(file);
    CTraceWriter writer(headless, out);
    headless.cursor.OnLoad();
    writer.WriteLoad(headless.cursor.GetLastLoadResult());
    writer.WriteWords();
    writer.WriteDisplay();
    for (const char letter : script)
        RunLetter(letter, headless, writer);
    return EXIT_ALL_LOADED;
}
