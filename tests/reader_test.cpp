#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

struct Tokens {
    int headerResult = 0;
    std::string header;
    std::int32_t headerLines = 0;
    std::vector<std::string> words;
    std::string droppedAtEnd;
};

Tokens Tokenize(const std::string& bytes)
{
    CTempFile file(bytes);
    CFixedFileChooser chooser(file.GetPath());
    CMemorySettings settings;
    CCncProgram program(nullptr, chooser, settings);
    Tokens tokens;
    EXPECT_EQ(program.OpenFile(file.GetPath()), 1);
    std::string header;
    tokens.headerResult = program.ReadHeader(header);
    tokens.header = header;
    tokens.headerLines = program.GetLineCount();
    std::string word;
    while (program.ReadWord(word) == 1) {
        tokens.words.push_back(word);
        word.clear();
    }
    tokens.droppedAtEnd = word;
    program.CloseFile();
    return tokens;
}

using Words = std::vector<std::string>;

TEST(Reader, DemoPart)
{
    const Tokens tokens =
        Tokenize(CrLfLines({"Demo part", "%", "N10 G00 X0 Y0", "G01 X10 F100 (cut)", "N20 GOTO 10 ; loop", "M30"}));
    EXPECT_EQ(tokens.headerResult, 1);
    EXPECT_EQ(tokens.header, "Demo part\r\n");
    EXPECT_EQ(tokens.headerLines, 1);
    const Words expected = {"%",  "\r",   "N10",   "G00", "X0",  "Y0", "\r", "G01", "X10",
                            "F100", "(cut)", "\r", "N20", "GOTO 10 ; loop", "\r", "M30", "\r"};
    EXPECT_EQ(tokens.words, expected);
    EXPECT_EQ(tokens.droppedAtEnd, "");
}

TEST(Reader, Tokenizer)
{
    const struct {
        const char* name;
        std::string bytes;
        Words words;
    } cases[] = {
        {"no separators needed", "G01X10Y5\r", {"G01", "X10", "Y5", "\r"}},
        {"blanks inside a word are dropped", "X 10\r", {"X10", "\r"}},
        {"blank between digits joins them", "X10 20\r", {"X1020", "\r"}},
        {"L joins the word before", "N10 G01 L5\r", {"N10", "G01L5", "\r"}},
        {"E joins the word before", "X1 E2\r", {"X1E2", "\r"}},
        {"L at the start of a line is its own word", "G1\rL5\r", {"G1", "\r", "L5", "\r"}},
        {"Q joins the word before", "G83 X1 R1 Q2\r", {"G83", "X1", "R1Q2", "\r"}},
        {"Q at the start of a line is its own word", "Q2 G83 X10\r", {"Q2", "G83", "X10", "\r"}},
        {"Q right after a comment is its own word", "(a)Q2 G83\r", {"", "(a)", "Q2", "G83", "\r"}},
        {"P begins a word as the reader's table says", "G4 P2\r", {"G4", "P2", "\r"}},
        {"lower case kept", "g01 x10\r", {"g01", "x10", "\r"}},
        {"comment after a word", "G01 (cut)\r", {"G01", "(cut)", "\r"}},
        {"comment at line start has an empty word before it", "(only comment)\r\n", {"", "(only comment)", "\r"}},
        {"semicolon comment leaves the line end to its block",
         "; note\r\nN20 X1\r\n",
         {"", "; note", "\r", "N20", "X1", "\r"}},
        {"unclosed parenthesis comment ends at the line end", "(open\r\nX1\r\n", {"", "(open", "\r", "X1", "\r"}},
        {"comment after words keeps the block apart from the next line",
         "G1 Z5 F500 ; lift\r\nX10\r\n",
         {"G1", "Z5", "F500", "; lift", "\r", "X10", "\r"}},
        {"blanks before the line end are trimmed from the comment", "(a  \r", {"", "(a", "\r"}},
        {"byte 141 ends a comment and its block", "(a\x8dX1\r", {"", "(a", "\x8d", "X1", "\r"}},
        {"comment closed by the end of the file", "G1 ; end", {"G1", "; end", "\r"}},
        {"semicolon comment ends at a parenthesis", "; a) X1\r", {"", "; a)", "X1", "\r"}},
        {"O first in a word is ordinary", "O1234\r", {"O1234", "\r"}},
        {"empty lines give one end of block each", "\r\n\r\n", {"\r", "\r"}},
        {"tab skipped like a blank", "G\t01\tX1\r", {"G01", "X1", "\r"}},
        {"byte 141 ends a word", "X1\x8dY2\r", {"X1", "\x8d", "Y2", "\r"}},
        {"byte 141 inside a rest-of-line run", "GO\x8d X\r", {"GO\x8d X", "\r"}},
        {"byte 138 skipped", "X1\x8a" "2\r", {"X12", "\r"}},
        {"last line without line end still ends its block", "G1\rX5", {"G1", "\r", "X5", "\r"}},
        {"rest-of-line run closed by the end of the file", "GOTO 1", {"GOTO 1", "\r"}},
        {"last byte a line feed needs no closing line end", "X5\n", {"X5", "\r"}},
        {"last byte 138 needs no closing line end", "X5 Y6\x8a", {"X5"}},
        {"last byte 141 needs no closing line end", "X5\x8d", {"X5", "\x8d"}},
        {"bare line feed ends a line", "G1 X1\nG0\n", {"G1", "X1", "\r", "G0", "\r"}},
        {"bare line feed ends a semicolon comment", "; a\nX1\n", {"", "; a", "\r", "X1", "\r"}},
        {"bare line feed ends a rest-of-line run", "GOTO 1\nX1\n", {"GOTO 1", "\r", "X1", "\r"}},
        {"carriage return alone ends a line", "G1\rG2\r", {"G1", "\r", "G2", "\r"}},
        {"NUL is an ordinary byte", std::string("X1\0" "2\r", 5), {std::string("X1\0" "2", 4), "\r"}},
        {"empty file", "", {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Tokenize(row.bytes).words, row.words);
    }
}

TEST(Reader, LineFeedAfterCarriageReturnIsWhiteSpace)
{
    const Tokens tokens = Tokenize("A\r\n%\r\nX1\r\n");
    EXPECT_EQ(tokens.header, "A\r\n");
    EXPECT_EQ(tokens.headerLines, 1);
    EXPECT_EQ(tokens.words, (Words{"%", "\r", "X1", "\r"}));
}

TEST(Reader, BareLineFeedsInTheHeaderBecomeCarriageReturns)
{
    const Tokens tokens = Tokenize("one\ntwo\n%\nX1\n");
    EXPECT_EQ(tokens.header, "one\rtwo\r");
    EXPECT_EQ(tokens.headerLines, 2);
    EXPECT_EQ(tokens.words, (Words{"%", "\r", "X1", "\r"}));
}

TEST(Reader, HeaderLimit)
{
    const struct {
        const char* name;
        std::size_t headerBytes;
        bool headerKept;
    } cases[] = {
        {"1999 bytes before the mark", 1999, true},
        {"2000 bytes before the mark", 2000, false},
        {"2001 bytes before the mark", 2001, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const std::string header = "\r\n" + std::string(row.headerBytes - 2, 'A');
        const Tokens tokens = Tokenize(header + "%\rX1\r");
        EXPECT_EQ(tokens.headerResult, 1);
        if (row.headerKept) {
            EXPECT_EQ(tokens.header, header);
            EXPECT_EQ(tokens.headerLines, 1);
            EXPECT_EQ(tokens.words, (Words{"%", "\r", "X1", "\r"}));
        } else {
            EXPECT_EQ(tokens.header, "");
            EXPECT_EQ(tokens.headerLines, 0);
            // Read again from the first byte: the header's A's form one word.
            ASSERT_GE(tokens.words.size(), 3u);
            EXPECT_EQ(tokens.words[0], "\r");
            EXPECT_EQ(tokens.words[1], std::string(row.headerBytes - 2, 'A'));
            EXPECT_EQ(tokens.words[2], "%");
        }
    }
}

TEST(Reader, NoHeaderMark)
{
    const Tokens tokens = Tokenize("G1\rX2\r");
    EXPECT_EQ(tokens.headerResult, -4);
    EXPECT_EQ(tokens.header, "");
    EXPECT_EQ(tokens.headerLines, 0);
    EXPECT_EQ(tokens.words, (Words{"G1", "\r", "X2", "\r"}));

    const Tokens empty = Tokenize("");
    EXPECT_EQ(empty.headerResult, -4);
    EXPECT_TRUE(empty.words.empty());
}

} // namespace
