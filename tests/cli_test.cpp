#include <cstdio>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "explain.h"
#include "terminal_text.h"
#include "test_support.h"

namespace {

struct Output {
    int exitCode;
    std::string text;
};

// What a subcommand writes, read back from a temporary file.
Output Capture(const std::function<int(std::FILE*)>& run)
{
    std::FILE* file = std::tmpfile();
    if (file == nullptr)
        return {-1, "no temporary file"};
    const int exitCode = run(file);
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, count);
    std::fclose(file);
    return {exitCode, text};
}

struct ExplainCase {
    const char* name;
    std::string program;
    std::string expected;
    int exitCode;
};

TEST(CliExplain, EveryLoadedWordWithItsMeaningInUtf8)
{
    const ExplainCase cases[] = {
        {"a loaded program",
         "%\r\nN10 G02 X12.5 (Bogen \xE4)\r\nM30\r\n",
         "%: Anfangs- oder Endezeichen des Programms - wird ignoriert\n"
         "Satzende: der Satz wird ausgef\xC3\xBChrt\n"
         "N10: Satznummer 10\n"
         "G02: Kreisbogen im Uhrzeigersinn\n"
         "X12.5: Ziel X = 12.5\n"
         "(Bogen \xC3\xA4): Kommentar\n"
         "Satzende: der Satz wird ausgef\xC3\xBChrt\n"
         "M30: Programmende\n"
         "Satzende: der Satz wird ausgef\xC3\xBChrt\n",
         0},
        {"the words before a syntax error, then the error",
         "N10 X1\r\nX\r\n",
         "N10: Satznummer 10\n"
         "X1: Ziel X = 1\n"
         "Satzende: der Satz wird ausgef\xC3\xBChrt\n"
         "Syntax error in line: 2\n",
         1},
        {"control bytes inside a word stay on its line",
         "(a\x01" "b) GO 1\t2\r\n",
         "leeres Wort: wird ignoriert\n"
         "(a\xE2\x90\x81" "b): Kommentar\n"
         "GO 1\xE2\x90\x89" "2: Eilgang\n"
         "Satzende: der Satz wird ausgef\xC3\xBChrt\n",
         0},
        {"an empty program", "", "", 0},
    };
    for (const ExplainCase& row : cases) {
        SCOPED_TRACE(row.name);
        CTempFile file(row.program);
        const Output output = Capture([&](std::FILE* out) { return RunExplain(file.GetPath(), out); });
        EXPECT_EQ(output.text, row.expected);
        EXPECT_EQ(output.exitCode, row.exitCode);
    }
}

TEST(CliExplain, MissingFileGivesTheLoaderText)
{
    const std::string missing = MakeTempDirectory() + "/none.nc";
    const Output output = Capture([&](std::FILE* out) { return RunExplain(missing, out); });
    EXPECT_EQ(output.text, "Can't open file.\n");
    EXPECT_EQ(output.exitCode, 1);
}

struct TerminalCase {
    const char* name;
    std::string bytes;
    std::string utf8;
};

TEST(TerminalText, Cp1252ToUtf8)
{
    const TerminalCase cases[] = {
        {"ASCII unchanged", "G01 X-1.5", "G01 X-1.5"},
        {"a umlaut", "\xE4", "\xC3\xA4"},
        {"u umlaut", "\xFC", "\xC3\xBC"},
        {"sharp s", "\xDF", "\xC3\x9F"},
        {"last byte", "\xFF", "\xC3\xBF"},
        {"no-break space", "\xA0", "\xC2\xA0"},
        {"euro sign", "\x80", "\xE2\x82\xAC"},
        {"S caron, a line feed to the reader", "\x8A", "\xC5\xA0"},
        {"Y diaeresis", "\x9F", "\xC5\xB8"},
        {"undefined 0x81", "\x81", "\xEF\xBF\xBD"},
        {"undefined 0x8D, a carriage return to the reader", "\x8D", "\xEF\xBF\xBD"},
        {"carriage return pictured", "\r", "\xE2\x90\x8D"},
        {"line feed pictured", "\n", "\xE2\x90\x8A"},
        {"NUL pictured", std::string(1, '\0'), "\xE2\x90\x80"},
        {"delete pictured", "\x7F", "\xE2\x90\xA1"},
        {"empty", "", ""},
    };
    for (const TerminalCase& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Cp1252ToTerminalUtf8(row.bytes), row.utf8);
    }
}

} // namespace
