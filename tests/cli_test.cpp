#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "check.h"
#include "compare.h"
#include "explain.h"
#include "hints.h"
#include "json_lines.h"
#include "json_text.h"
#include "path.h"
#include "stock.h"
#include "trace.h"
#include "terminal_text.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

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

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A folder removed with everything below it when the test ends.
class CTempTree {
public:
    CTempTree() : root(MakeTempDirectory()) {}
    ~CTempTree()
    {
        std::error_code error;
        fs::remove_all(root, error);
    }
    CTempTree(const CTempTree&) = delete;
    CTempTree& operator=(const CTempTree&) = delete;
    const fs::path& Root() const { return root; }
    std::string Path(const char* relative) const { return (root / relative).string(); }

private:
    fs::path root;
};

const std::string GOOD_PROGRAM = "G1 X1\r\n";
const std::string GOOD_OUTCOME = ": OK (3 words, 1 lines)\n";

// A class's folder: programs that load, one with a mistake on line 2, a
// sub-folder, a linked file and a linked folder, a link that leads back
// to the top, and two entries that cannot be opened.
void BuildClassFolder(const CTempTree& tree)
{
    const fs::path& root = tree.Root();
    WriteFile(root / "Z.nc", GOOD_PROGRAM);
    WriteFile(root / "a-x.nc", GOOD_PROGRAM);
    WriteFile(root / "bad.nc", "G1 X1\r\nX\r\n");
    fs::create_directory(root / "a");
    WriteFile(root / "a" / "b.nc", GOOD_PROGRAM);
    fs::create_directory_symlink("..", root / "a" / "loop");
    fs::create_directory_symlink("a", root / "c");
    fs::create_symlink("a/b.nc", root / "linked.nc");
    fs::create_symlink("missing.nc", root / "gone.nc");
    ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0644), 0);
}

TEST(CliCheck, FolderIsCheckedInSortedPathOrderWithACount)
{
    CTempTree tree;
    BuildClassFolder(tree);
    const Output output = Capture([&](std::FILE* out) { return RunCheck({tree.Root().string()}, out); });
    // Entries sort name by name, so the folder a comes before a-x.nc; the
    // link a/loop leads back to the top and is not entered again.
    const std::string expected = tree.Path("Z.nc") + GOOD_OUTCOME +                        //
                                 tree.Path("a/b.nc") + GOOD_OUTCOME +                      //
                                 tree.Path("a-x.nc") + GOOD_OUTCOME +                      //
                                 tree.Path("bad.nc") + ": Syntax error in line: 2\n" +     //
                                 tree.Path("c/b.nc") + GOOD_OUTCOME +                      //
                                 tree.Path("fifo") + ": Can't open file.\n" +              //
                                 tree.Path("gone.nc") + ": Can't open file.\n" +           //
                                 tree.Path("linked.nc") + GOOD_OUTCOME +                   //
                                 "8 files: 5 loaded, 3 failed\n";
    EXPECT_EQ(output.text, expected);
    EXPECT_EQ(output.exitCode, 1);
}

struct CheckCase {
    const char* name;
    std::vector<const char*> paths;
    std::vector<const char*> lines;
    int exitCode;
};

TEST(CliCheck, FilesAndFolders)
{
    CTempTree tree;
    WriteFile(tree.Root() / "one.nc", GOOD_PROGRAM);
    WriteFile(tree.Root() / "bad.nc", "X\r\n");
    fs::create_directory(tree.Root() / "good");
    WriteFile(tree.Root() / "good" / "two.nc", GOOD_PROGRAM);
    WriteFile(tree.Root() / "good" / "three.nc", GOOD_PROGRAM);
    fs::create_directory(tree.Root() / "empty");

    const CheckCase cases[] = {
        {"files alone get no count",
         {"one.nc", "bad.nc"},
         {"one.nc: OK (3 words, 1 lines)", "bad.nc: Syntax error in line: 1"},
         1},
        {"a missing file as before", {"none.nc"}, {"none.nc: Can't open file."}, 1},
        {"a good folder",
         {"good"},
         {"good/three.nc: OK (3 words, 1 lines)", "good/two.nc: OK (3 words, 1 lines)", "2 files: 2 loaded, 0 failed"},
         0},
        {"an empty folder", {"empty"}, {"0 files: 0 loaded, 0 failed"}, 0},
        {"files and folders counted together",
         {"bad.nc", "good"},
         {"bad.nc: Syntax error in line: 1", "good/three.nc: OK (3 words, 1 lines)",
          "good/two.nc: OK (3 words, 1 lines)", "3 files: 2 loaded, 1 failed"},
         1},
    };
    for (const CheckCase& row : cases) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> paths;
        for (const char* path : row.paths)
            paths.push_back(tree.Path(path));
        // Every line but the count names a file below the tree.
        std::string expected;
        for (const std::string line : row.lines)
            expected += (line.find(" files: ") == std::string::npos ? tree.Path("") : "") + line + '\n';
        const Output output = Capture([&](std::FILE* out) { return RunCheck(paths, out); });
        EXPECT_EQ(output.text, expected);
        EXPECT_EQ(output.exitCode, row.exitCode);
    }
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
         "Kommentarzeile: die Zeile ist ein Kommentar - wird ignoriert\n"
         "(a\xE2\x90\x81" "b): Kommentar\n"
         "GO 1\xE2\x90\x89" "2: Eilgang\n"
         "Satzende: der Satz wird ausgef\xC3\xBChrt\n",
         0},
        {"coordinates under G91, and the units of this controller",
         "G91 X10 G71\r\nG70 X-2\r\nG90 X12.5\r\n",
         "G91: Kettenma\xC3\x9F (inkrementell): die folgenden Koordinaten z\xC3\xA4hlen ab der letzten Position\n"
         "X10: 10 in X weiter (Kettenma\xC3\x9F)\n"
         "G71: L\xC3\xA4ngeneinheit Zoll (bei dieser Steuerung; nach DIN 66025 bedeutet G71 Millimeter) - wird "
         "angezeigt, die Zahlen werden nicht umgerechnet\n"
         "Satzende: der Satz wird ausgef\xC3\xBChrt\n"
         "G70: L\xC3\xA4ngeneinheit Millimeter (bei dieser Steuerung; nach DIN 66025 bedeutet G70 Zoll)\n"
         "X-2: -2 in X weiter (Kettenma\xC3\x9F)\n"
         "Satzende: der Satz wird ausgef\xC3\xBChrt\n"
         "G90: Absolutma\xC3\x9F\n"
         "X12.5: Ziel X = 12.5\n"
         "Satzende: der Satz wird ausgef\xC3\xBChrt\n",
         0},
        {"an empty program", "", "", 0},
    };
    for (const ExplainCase& row : cases) {
        SCOPED_TRACE(row.name);
        CTempFile file(row.program);
        const Output output = Capture([&](std::FILE* out) { return RunExplain(file.GetPath(), EXPLAIN_BY_WORD, out); });
        EXPECT_EQ(output.text, row.expected);
        EXPECT_EQ(output.exitCode, row.exitCode);
    }
}

TEST(CliExplain, MissingFileGivesTheLoaderText)
{
    CTempTree tree;
    const Output output = Capture([&](std::FILE* out) { return RunExplain(tree.Path("none.nc"), EXPLAIN_BY_WORD, out); });
    EXPECT_EQ(output.text, "Can't open file.\n");
    EXPECT_EQ(output.exitCode, 1);
}

// What the window holds is what the builder computed: path --table prints
// the same text as path, so every number rounds to the same four decimals.
TEST(CliPath, TableReadsBackTheExactPath)
{
    std::string tenths;
    for (int step = 0; step < 600; ++step)
        tenths += "G1 X" + std::to_string(10000000 + step / 10) + "." + std::to_string(step % 10) + " Y-" +
                  std::to_string(10000000 + step / 10) + "." + std::to_string(step % 10) + "\r\n";
    const struct {
        const char* name;
        std::string program;
    } cases[] = {
        {"four decimals", "G0 X1234.5678 Y12345.6789 Z999999.9999\r\nG2 X0 Y0 I-1234.5678 J-12345.6789\r\n"},
        {"1e7 in steps of a tenth", tenths},
        {"near 1e9", "G0 X999999999.9999 Y-999999999.9999\r\nG91 X-0.0001 Y0.0003 Z0.1\r\nX0.1 Z0.2\r\n"},
        {"a failed load", "G0 X1234.5678\r\nG1 X\r\n"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CTempFile file(row.program);
        const Output exact = Capture([&](std::FILE* out) { return RunPath(file.GetPath(), PATH_FROM_BUILDER, out, stderr); });
        const Output table = Capture([&](std::FILE* out) { return RunPath(file.GetPath(), PATH_FROM_TABLE, out, stderr); });
        ASSERT_NE(exact.text.find("\"event\":\"move\""), std::string::npos);
        EXPECT_EQ(table.text, exact.text);
        EXPECT_EQ(table.exitCode, 0);
    }
}

TEST(CliPath, CutPathWithoutItsWordsIsThePath)
{
    const CTempFile program(CrLfLines({"%", "T2 G0 X1 Y2 Z3", "G1 Z-1", "G2 X5 Y2 R2", "Q2 G84 X1", "M30"}));
    const Output exact = Capture([&](std::FILE* out) { return RunPath(program.GetPath(), PATH_FROM_BUILDER, out, stderr); });
    CStockChoice choice;
    choice.tools.SetTool(2, CTool{TOOL_BALL, 8.0});
    const Output cut = Capture([&](std::FILE* out) { return RunPath(program.GetPath(), PATH_CUT, out, stderr, choice); });
    ASSERT_NE(exact.text.find("\"event\":\"move\""), std::string::npos);
    EXPECT_EQ(cut.text, exact.text);
    EXPECT_EQ(cut.exitCode, EXIT_ALL_LOADED);
}

// The cut error comes after the stock record and before the rows, in UTF-8.
TEST(CliStock, CutErrorBeforeTheRows)
{
    const CTempFile program(CrLfLines({"%", "G0 X0 Y0 Z5", "G81 X5 Y5 Z-2 R1", "X10 Z3", "M30"}));
    CStockOptions options;
    std::string message;
    ASSERT_EQ(ParseStockOptions({"--cell", "1", program.GetPath()}, options, message), 0);
    const Output output = Capture([&](std::FILE* out) { return RunStock(options, out, stderr); });
    EXPECT_EQ(output.exitCode, EXIT_ALL_LOADED);
    const std::size_t stock = output.text.find("{\"event\":\"stock\"");
    const std::size_t error = output.text.find(
        "{\"event\":\"cut-error\",\"word\":15,\"line\":4,\"message\":\"Bohrzyklus: Z liegt \xC3\xBC" "ber R\"}");
    const std::size_t row = output.text.find("{\"event\":\"row\"");
    ASSERT_NE(error, std::string::npos);
    EXPECT_LT(stock, error);
    EXPECT_LT(error, row);
    // Only the moves before the error are swept: the first hole's five.
    EXPECT_NE(output.text.find("\"moves\":5}"), std::string::npos);
}

// A file that cannot be opened prints its load record only and exits 1.
TEST(CliPath, FileThatCannotBeOpened)
{
    const std::string missing = MakeTempDirectory() + "/missing.nc";
    std::FILE* nullErrors = std::tmpfile();
    ASSERT_NE(nullErrors, nullptr);
    const struct {
        const char* name;
        std::function<int(std::FILE*)> run;
    } rows[] = {
        {"path", [&](std::FILE* out) { return RunPath(missing, PATH_FROM_BUILDER, out, nullErrors); }},
        {"path --cut", [&](std::FILE* out) { return RunPath(missing, PATH_CUT, out, nullErrors); }},
        {"stock", [&](std::FILE* out) {
             CStockOptions options;
             options.file = missing;
             return RunStock(options, out, nullErrors);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Output output = Capture(row.run);
        EXPECT_EQ(output.exitCode, EXIT_SOME_FAILED);
        EXPECT_EQ(output.text, "{\"event\":\"load\",\"result\":-2,\"error\":\"Can't open file.\",\"wordCount\":0,"
                               "\"lineCount\":0}\n");
    }
    std::fclose(nullErrors);
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

// Every stock option that cannot be used: a message and its exit status,
// never a crash or a sweep that runs for ever.
TEST(CliStock, OptionsThatCannotBeUsed)
{
    struct OptionRow {
        const char* name;
        std::vector<std::string> options;
        int exitCode;
    };
    const OptionRow rows[] = {
        {"no file", {"--cell", "1"}, EXIT_BAD_USAGE},
        {"five box numbers", {"--stock", "0,0,-1,10,10"}, EXIT_BAD_USAGE},
        {"text in the box", {"--stock", "0,0,-1,ten,10,0"}, EXIT_BAD_USAGE},
        {"an empty item in a trail", {"--trail", "1,,2"}, EXIT_BAD_USAGE},
        {"a negative move count", {"--moves", "-1"}, EXIT_BAD_USAGE},
        {"moves and a trail", {"--moves", "2", "--trail", "1,2"}, EXIT_BAD_USAGE},
        {"an unknown shape", {"--tool", "1=cone:3"}, EXIT_BAD_USAGE},
        {"a tool without a number", {"--tool", "flat:3"}, EXIT_BAD_USAGE},
        {"text as a cell", {"--cell", "fine"}, EXIT_BAD_USAGE},
        {"an unknown option", {"--depth", "3"}, EXIT_BAD_USAGE},
        {"a box without height", {"--stock", "0,0,0,10,10,0"}, EXIT_SOME_FAILED},
        {"a box upside down", {"--stock", "10,0,-1,0,10,0"}, EXIT_SOME_FAILED},
        {"a cell of 0", {"--cell", "0"}, EXIT_SOME_FAILED},
        {"a negative cell", {"--cell", "-1"}, EXIT_SOME_FAILED},
        {"more than 4,000,000 cells", {"--stock", "0,0,-1,2000,2001,0", "--cell", "1"}, EXIT_SOME_FAILED},
        {"a vanishing cell", {"--cell", "1e-300"}, EXIT_SOME_FAILED},
        {"an endless cell", {"--cell", "inf"}, EXIT_SOME_FAILED},
        {"a diameter of 0", {"--tool", "1=flat:0"}, EXIT_SOME_FAILED},
        {"a negative default diameter", {"--default-tool", "ball:-2"}, EXIT_SOME_FAILED},
        {"the largest box that fits", {"--stock", "0,0,-1,2000,2000,0", "--cell", "1", "--moves", "0"},
         EXIT_ALL_LOADED},
        {"every option", {"--stock", "0,0,-3,20,10,0", "--cell", "0.5", "--tool", "1=ball:3", "--default-tool",
                          "flat:2", "--trail", "9,0,1"}, EXIT_ALL_LOADED},
    };
    const CTempFile program(CrLfLines({"%", "T1 G0 X5 Y5 Z1", "G1 Z-2", "G1 X15", "G0 Z-2.5"}));
    for (const OptionRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> arguments = row.options;
        if (std::string(row.name) != "no file")
            arguments.push_back(program.GetPath());
        CStockOptions options;
        std::string message;
        int exitCode = ParseStockOptions(arguments, options, message);
        std::string errors;
        if (exitCode == 0) {
            const Output output = Capture([&options, &errors](std::FILE* out) {
                std::FILE* errorFile = std::tmpfile();
                const int code = RunStock(options, out, errorFile);
                std::rewind(errorFile);
                char buffer[256];
                for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, errorFile)) > 0;)
                    errors.append(buffer, count);
                std::fclose(errorFile);
                return code;
            });
            exitCode = output.exitCode;
            if (exitCode == EXIT_ALL_LOADED) {
                EXPECT_NE(output.text.find("{\"event\":\"row\""), std::string::npos);
            }
        } else {
            errors = message;
        }
        EXPECT_EQ(exitCode, row.exitCode);
        if (row.exitCode == EXIT_SOME_FAILED) {
            EXPECT_EQ(errors.rfind("tornavel-cli: ", 0), 0u) << errors;
        }
    }
}

// A handout: each program line, then its words' explanations beneath.
TEST(CliExplain, ByLineGroupsTheWordsOfEachLine)
{
    const struct {
        const char* name;
        const char* program;
        const char* expected;
        int exitCode;
    } rows[] = {
        {"a header line, a comment line and a block",
         "Aufgabe 1\r\n%\r\n(Tasche)\r\nN10 G1 X5\r\n",
         "Zeile 1: Programmkopf vor dem ersten \"%\" - wird nicht ausgef\xC3\xBChrt\n"
         "Zeile 2: %\n"
         "    %: Anfangs- oder Endezeichen des Programms - wird ignoriert\n"
         "    Satzende: der Satz wird ausgef\xC3\xBChrt\n"
         "Zeile 3: (Tasche)\n"
         "    Kommentarzeile: die Zeile ist ein Kommentar - wird ignoriert\n"
         "    (Tasche): Kommentar\n"
         "    Satzende: der Satz wird ausgef\xC3\xBChrt\n"
         "Zeile 4: N10 G1 X5\n"
         "    N10: Satznummer 10\n"
         "    G1: Gerade im Vorschub\n"
         "    X5: Ziel X = 5\n"
         "    Satzende: der Satz wird ausgef\xC3\xBChrt\n",
         EXIT_ALL_LOADED},
        {"two header lines",
         "A\r\nB\r\n%\r\n",
         "Zeilen 1 bis 2: Programmkopf vor dem ersten \"%\" - wird nicht ausgef\xC3\xBChrt\n"
         "Zeile 3: %\n"
         "    %: Anfangs- oder Endezeichen des Programms - wird ignoriert\n"
         "    Satzende: der Satz wird ausgef\xC3\xBChrt\n",
         EXIT_ALL_LOADED},
        {"the last line without a line end, then the loader's error",
         "%\r\nG1 X?",
         "Zeile 1: %\n"
         "    %: Anfangs- oder Endezeichen des Programms - wird ignoriert\n"
         "    Satzende: der Satz wird ausgef\xC3\xBChrt\n"
         "Zeile 2: G1\n"
         "    G1: Gerade im Vorschub\n"
         "Syntax error in line: 2\n",
         EXIT_SOME_FAILED},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CTempFile file(row.program);
        const Output output =
            Capture([&](std::FILE* out) { return RunExplain(file.GetPath(), EXPLAIN_BY_LINE, out); });
        EXPECT_EQ(output.exitCode, row.exitCode);
        EXPECT_EQ(output.text, row.expected);
    }
}

// stock --summary: a few German lines instead of the rows. The slot's 20
// cells and the rapid's 5 are 1 deep each; the deepest cell first in row
// order is the rapid's lowest.
TEST(CliStock, SummaryInGerman)
{
    const struct {
        const char* name;
        std::vector<std::string> options;
        const char* program;
        const char* expected;
    } rows[] = {
        {"a slot in the program's box, a rapid that cuts",
         {"--cell", "1"},
         "%\r\n(ROHTEIL X0 Y0 Z-5 X10 Y10 Z0)\r\n(WERKZEUG T1 SCHAFTFRAESER D2)\r\nT1 G0 X2.5 Y5.5 Z1\r\nG1 Z-1\r\n"
         "G1 X7.5\r\nG0 Z-2\r\n",
         "Rohteil: X0 Y0 Z-5 bis X10 Y10 Z0 (aus dem Programm), Zelle 1\n"
         "Bewegungen: 4\n"
         "Tiefster Punkt: Z-2 bei X7.5 Y4.5\n"
         "Abgetragen: 25 mm\xC2\xB3\n"
         "Eilgang im Material: 1-mal, in Zeile 7 (1 mm tief)\n"},
        {"nothing cut in a given box",
         {"--stock", "0,0,-1,4,2,0", "--cell", "0.5"},
         "%\r\nG0 X1 Y1 Z5\r\n",
         "Rohteil: X0 Y0 Z-1 bis X4 Y2 Z0 (aus --stock), Zelle 0.5\n"
         "Bewegungen: 1\n"
         "Tiefster Punkt: nichts abgetragen\n"
         "Abgetragen: 0 mm\xC2\xB3\n"
         "Eilgang im Material: keiner\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const CTempFile program(row.program);
        std::vector<std::string> arguments = row.options;
        arguments.push_back("--summary");
        arguments.push_back(program.GetPath());
        CStockOptions options;
        std::string message;
        ASSERT_EQ(ParseStockOptions(arguments, options, message), 0) << message;
        const Output output = Capture([&options](std::FILE* out) { return RunStock(options, out, stderr); });
        EXPECT_EQ(output.exitCode, EXIT_ALL_LOADED);
        EXPECT_EQ(output.text, row.expected);
    }
}

// The folder of learner mistakes: each file has its one mistake, found with
// its line; the file without a mistake has none, and the notes are skipped.
TEST(CliHints, FindsEachLearnerMistakeWithItsLine)
{
    const struct {
        const char* file;
        int line;
        const char* start;
    } rows[] = {
        {"comment_hides_words.nc", 6, "Kommentar ohne \xE2\x80\x9E)\xE2\x80\x9C verdeckt den Rest der Zeile: "
                                      "\xE2\x80\x9EZustellung Y10\xE2\x80\x9C"},
        {"cut_error.nc", 6, "Radiuskorrektur: Anfahren nur mit einer Geraden"},
        {"decimal_comma.nc", 6, "Komma statt Punkt? \xE2\x80\x9EX36,5\xE2\x80\x9C"},
        {"inch_program.nc", 3, "G20 wird ignoriert"},
        {"path_outside_box.nc", 8, "Bahn au\xC3\x9F" "erhalb des Rohteils: X80 Y10 Z-2"},
        {"rapid_into_material.nc", 6, "Eilgang im Material: G0 f\xC3\xA4hrt 2 tief"},
        {"tool_without_diameter.nc", 8, "T3 hat keinen Durchmesser"},
        {"whole_program_as_header.nc", 3, "Alles vor dem ersten \xE2\x80\x9E%\xE2\x80\x9C ist Programmkopf"},
    };
    const std::string folder = TORNAVEL_MISTAKES_DIR;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = folder + "/" + row.file;
        const Output output = Capture([&path](std::FILE* out) { return RunHints({path}, out); });
        EXPECT_EQ(output.exitCode, EXIT_SOME_FAILED);
        const std::string prefix = path + ":" + std::to_string(row.line) + ": " + row.start;
        EXPECT_EQ(output.text.compare(0, prefix.size(), prefix), 0) << output.text;
        EXPECT_EQ(std::count(output.text.begin(), output.text.end(), '\n'), 1) << output.text;
    }
    const Output clean = Capture([&folder](std::FILE* out) { return RunHints({folder + "/no_mistake.nc"}, out); });
    EXPECT_EQ(clean.exitCode, EXIT_ALL_LOADED);
    EXPECT_EQ(clean.text, "");
    const Output all = Capture([&folder](std::FILE* out) { return RunHints({folder}, out); });
    EXPECT_EQ(all.exitCode, EXIT_SOME_FAILED);
    const std::string count = "9 Dateien gepr\xC3\xBC" "ft, 8 mit Hinweisen, 1 \xC3\xBC" "bersprungen (keine CNC-Programme)\n";
    ASSERT_GE(all.text.size(), count.size());
    EXPECT_EQ(all.text.substr(all.text.size() - count.size()), count);
}

TEST(CliHints, ProgramEndings)
{
    const struct {
        const char* name;
        bool program;
    } rows[] = {
        {"pocket.nc", true}, {"POCKET.NC", true}, {"a.ngc", true}, {"b.gcode", true}, {"c.tap", true},
        {"notes.txt", false}, {"picture.png", false}, {".nc", false}, {"nc", false}, {"O0004", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(HasProgramEnding(row.name), row.program);
    }
}

} // namespace

namespace {

// A long byte string written piece by piece reads as the same JSON string
// as one written whole, wherever a piece ends.
TEST(JsonLines, LongBytesWrittenInPiecesAreTheWholeString)
{
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte)
        everyByte += static_cast<char>(byte);
    std::string acrossPieces;
    while (acrossPieces.size() < (3u << 20))
        acrossPieces += "N10 G1 X1.5 \r\x8d\xe4\"\\ ";
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", std::string()},
        {"every byte value", everyByte},
        {"exactly one piece of plain bytes", std::string(64u << 10, 'X')},
        {"one byte past a piece, to be escaped", std::string(64u << 10, 'X') + "\r"},
        {"escapes at every piece's end, past the flush size", acrossPieces},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const Output pieces = Capture([&](std::FILE* out) {
            CJsonLinesWriter writer(out);
            writer.BeginRecord("load");
            writer.AppendLongBytes(row.bytes);
            writer.EndRecord();
            return 0;
        });
        std::string whole = "{\"event\":\"load\"";
        AppendJsonBytes(whole, row.bytes);
        whole += "}\n";
        EXPECT_TRUE(pieces.text == whole);
    }
}

} // namespace

// Learners spread over threads come out as one thread writes them: in name
// order, every digit the same, whichever thread finished first.
TEST(CliCompare, ThreadsChangeNothingOfTheOutput)
{
    CTempTree tree;
    const fs::path& root = tree.Root();
    const std::string reference = "%\r\n(ROHTEIL X0 Y0 Z-5 X30 Y20 Z0)\r\nG0 X5 Y5 Z1\r\nG1 Z-1 F100\r\nX25\r\nY15\r\n";
    WriteFile(root / "muster.nc", reference);
    fs::create_directory(root / "klasse");
    // Learners of different lengths, so that threads finish out of order.
    for (int learner = 0; learner < 7; ++learner) {
        std::string program = "%\r\nG0 X5 Y5 Z1\r\nG1 Z-" + std::to_string(1 + learner % 3) + " F100\r\n";
        for (int pass = 0; pass < (learner * 5) % 11; ++pass)
            program += pass % 2 == 0 ? "X25\r\nY" + std::to_string(5 + pass) + "\r\n" : "X5\r\n";
        if (learner == 4)
            program += "X\r\n";
        WriteFile(root / "klasse" / ("s" + std::to_string(learner) + ".nc"), program);
    }
    const struct {
        const char* name;
        bool csv;
    } rows[] = {{"JSON records", false}, {"the table for a spreadsheet", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> arguments;
        if (row.csv)
            arguments.push_back("--csv");
        arguments.push_back((root / "muster.nc").string());
        arguments.push_back((root / "klasse").string());
        CCompareOptions options;
        std::string message;
        ASSERT_EQ(ParseCompareOptions(arguments, options, message), 0);
        options.threads = 1;
        const Output alone = Capture([&](std::FILE* out) { return RunCompare(options, out, stderr); });
        ASSERT_EQ(alone.exitCode, 0);
        // One line for the header or the reference, one per learner.
        EXPECT_EQ(std::count(alone.text.begin(), alone.text.end(), '\n'), 8);
        for (const unsigned threads : {2u, 3u, 8u}) {
            SCOPED_TRACE(threads);
            options.threads = threads;
            const Output spread = Capture([&](std::FILE* out) { return RunCompare(options, out, stderr); });
            EXPECT_EQ(spread.exitCode, 0);
            EXPECT_EQ(spread.text, alone.text);
        }
    }
}
