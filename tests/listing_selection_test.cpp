#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "listing_selection.h"

namespace {

// lineCount lines "N<n>" ended by a bare CR, as the loader ends blocks; the
// text then has one more, empty line after the last break.
std::string Lines(int lineCount)
{
    std::string text;
    for (int line = 1; line <= lineCount; ++line)
        text += "N" + std::to_string(line) + "\r";
    return text;
}

struct CSelectionRig {
    explicit CSelectionRig(const std::string& text, int visibleLines = 6) : text(text)
    {
        lines.Build(this->text.data(), this->text.size());
        selection.Reset();
        selection.SetVisibleLineCount(visibleLines);
    }

    int LineStart(int line) const { return static_cast<int>(lines.GetLineStart(line)); }

    std::string text;
    CListingLines lines;
    CListingSelection selection{lines};
};

TEST(ListingSelection, SelectIsClampedToTheText)
{
    const struct {
        const char* name;
        long long start;
        long long end;
        int anchor;
        int caret;
        int selectionStart;
        int selectionEnd;
        int caretLine;
    } cases[] = {
        {"a word", 3, 5, 3, 5, 3, 5, 1},
        {"backwards, the caret before the anchor", 5, 3, 5, 3, 3, 5, 1},
        {"empty at a line start", 6, 6, 6, 6, 6, 6, 2},
        {"beyond the end", 4, 999, 4, 12, 4, 12, 4},
        {"before the start", -5, 2, 0, 2, 0, 2, 0},
        {"the largest range", LLONG_MIN, LLONG_MAX, 0, 12, 0, 12, 4},
        {"the caret on a line break belongs to its line", 0, 2, 0, 2, 0, 2, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CSelectionRig rig("N1\rN2\rN3\rN4\r");
        rig.selection.Select(row.start, row.end);
        EXPECT_EQ(rig.selection.GetAnchor(), row.anchor);
        EXPECT_EQ(rig.selection.GetCaret(), row.caret);
        EXPECT_EQ(rig.selection.GetSelectionStart(), row.selectionStart);
        EXPECT_EQ(rig.selection.GetSelectionEnd(), row.selectionEnd);
        EXPECT_EQ(rig.selection.IsEmpty(), row.anchor == row.caret);
        EXPECT_EQ(rig.selection.GetCaretLine(), row.caretLine);
    }
}

TEST(ListingSelection, MoveCaretDropsOrExtends)
{
    const struct {
        const char* name;
        CListingSelection::SelectionMode mode;
        long long position;
        int anchor;
        int caret;
    } cases[] = {
        {"drop", CListingSelection::SELECTION_DROP, 7, 7, 7},
        {"extend keeps the anchor", CListingSelection::SELECTION_EXTEND, 7, 3, 7},
        {"extend backwards", CListingSelection::SELECTION_EXTEND, 1, 3, 1},
        {"drop beyond the end", CListingSelection::SELECTION_DROP, 50, 12, 12},
        {"extend before the start", CListingSelection::SELECTION_EXTEND, -1, 3, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CSelectionRig rig("N1\rN2\rN3\rN4\r");
        rig.selection.Select(3, 4);
        rig.selection.MoveCaret(row.position, row.mode);
        EXPECT_EQ(rig.selection.GetAnchor(), row.anchor);
        EXPECT_EQ(rig.selection.GetCaret(), row.caret);
    }
}

TEST(ListingSelection, LineScrollStopsAtTheTopAndTheLastFirstLine)
{
    // Twenty lines and the empty one after the last break: 21 lines, six in
    // view, so the view scrolls no further than line 15.
    const struct {
        const char* name;
        std::vector<int> scrolls;
        int firstLine;
    } cases[] = {
        {"down three", {3}, 3},
        {"down and up again", {5, -2}, 3},
        {"up beyond the top", {2, -100}, 0},
        {"to the last first line", {15}, 15},
        {"beyond the last first line", {16}, 15},
        {"far beyond the bottom", {100000}, 15},
        {"the largest jump down", {5, INT_MAX}, 15},
        {"the largest jump up", {5, INT_MIN}, 0},
        {"up by the line count from the bottom", {15, -21}, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CSelectionRig rig(Lines(20));
        EXPECT_EQ(rig.selection.GetLastFirstLine(), 15);
        for (int scroll : row.scrolls)
            rig.selection.LineScroll(scroll);
        EXPECT_EQ(rig.selection.GetFirstVisibleLine(), row.firstLine);
    }
}

TEST(ListingSelection, LastFirstLine)
{
    const struct {
        const char* name;
        std::string text;
        int visibleLines;
        int lastFirstLine;
    } cases[] = {
        {"fewer lines than fit", Lines(3), 6, 0},
        {"exactly as many lines as fit", Lines(5), 6, 0},
        {"one line more than fits", Lines(6), 6, 1},
        {"an empty text", std::string(), 6, 0},
        {"one visible line", Lines(4), 1, 4},
        {"a count below one counts as one", Lines(4), 0, 4},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CSelectionRig rig(row.text, row.visibleLines);
        EXPECT_EQ(rig.selection.GetLastFirstLine(), row.lastFirstLine);
        rig.selection.LineScroll(INT_MAX);
        EXPECT_EQ(rig.selection.GetFirstVisibleLine(), row.lastFirstLine);
    }
}

TEST(ListingSelection, EnsureCaretVisibleScrollsAsLittleAsItCan)
{
    const struct {
        const char* name;
        int firstLine;
        int caretLine;
        bool scrolled;
        int newFirstLine;
    } cases[] = {
        {"caret on the first visible line", 4, 4, false, 4},
        {"caret on the last fully visible line", 4, 9, false, 4},
        {"caret one line below the view", 4, 10, true, 5},
        {"caret far below the view", 0, 17, true, 12},
        {"caret one line above the view", 4, 3, true, 3},
        {"caret at the top of the text", 9, 0, true, 0},
        {"caret on the last line", 0, 20, true, 15},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CSelectionRig rig(Lines(20));
        rig.selection.SetFirstVisibleLine(row.firstLine);
        rig.selection.Select(rig.LineStart(row.caretLine), rig.LineStart(row.caretLine));
        EXPECT_EQ(rig.selection.EnsureCaretVisible(), row.scrolled);
        EXPECT_EQ(rig.selection.GetFirstVisibleLine(), row.newFirstLine);
    }
}

TEST(ListingSelection, FewerVisibleLinesClampTheFirstLineAgain)
{
    CSelectionRig rig(Lines(20), 1);
    rig.selection.LineScroll(INT_MAX);
    EXPECT_EQ(rig.selection.GetFirstVisibleLine(), 20);
    rig.selection.SetVisibleLineCount(6);
    EXPECT_EQ(rig.selection.GetVisibleLineCount(), 6);
    EXPECT_EQ(rig.selection.GetFirstVisibleLine(), 15);
}

TEST(ListingSelection, ResetAfterANewListing)
{
    CSelectionRig rig(Lines(20));
    rig.selection.Select(10, 40);
    rig.selection.LineScroll(9);
    rig.text = Lines(2);
    rig.lines.Build(rig.text.data(), rig.text.size());
    rig.selection.Reset();
    EXPECT_EQ(rig.selection.GetAnchor(), 0);
    EXPECT_EQ(rig.selection.GetCaret(), 0);
    EXPECT_EQ(rig.selection.GetFirstVisibleLine(), 0);
    EXPECT_EQ(rig.selection.GetVisibleLineCount(), 6);
}

} // namespace

namespace {

// A line's length leaves out its break, one byte or the two of CR LF; a
// header keeps CR LF while the program part has bare carriage returns.
TEST(ListingLines, StartsAndLengthsOverEveryBreak)
{
    const struct {
        const char* name;
        std::string text;
        std::vector<std::pair<long long, long long>> lines;
    } cases[] = {
        {"empty text", "", {{0, 0}}},
        {"no break", "N10 X1", {{0, 6}}},
        {"CR LF then CR", "Kopf\r\n% \r", {{0, 4}, {6, 2}, {9, 0}}},
        {"bare line feeds", "a\nbc\n", {{0, 1}, {2, 2}, {5, 0}}},
        {"LF CR is two breaks", "a\n\rb", {{0, 1}, {2, 0}, {3, 1}}},
        {"CR LF LF", "a\r\n\nb", {{0, 1}, {3, 0}, {4, 1}}},
        {"byte 141 stays inside its line", "a\x8d" "b\r", {{0, 3}, {4, 0}}},
        {"empty lines", "\r\r\n\r", {{0, 0}, {1, 0}, {3, 0}, {4, 0}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CListingLines lines;
        lines.Build(row.text.data(), row.text.size());
        ASSERT_EQ(lines.GetLineCount(), static_cast<int>(row.lines.size()));
        for (std::size_t line = 0; line < row.lines.size(); ++line) {
            EXPECT_EQ(lines.GetLineStart(static_cast<int>(line)), row.lines[line].first) << "line " << line;
            EXPECT_EQ(lines.GetLineLength(static_cast<int>(line)), row.lines[line].second) << "line " << line;
            EXPECT_EQ(lines.LineFromChar(row.lines[line].first), static_cast<int>(line)) << "line " << line;
        }
        EXPECT_EQ(lines.GetTextLength(), static_cast<long long>(row.text.size()));
    }
}

} // namespace

namespace {

// Line starts as a plain byte walk finds them.
std::vector<long long> LineStartsByByte(const std::string& text)
{
    std::vector<long long> starts{0};
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] == '\r' && index + 1 < text.size() && text[index + 1] == '\n')
            ++index;
        if (text[index] == '\r' || text[index] == '\n')
            starts.push_back(static_cast<long long>(index) + 1);
    }
    return starts;
}

// The index is built 64 bytes at a time: a break on either side of a
// block's edge, a CR LF across it, and a short last block.
TEST(ListingLines, BreaksAroundTheEdgesOfTheBlocks)
{
    const auto at = [](std::size_t size, std::size_t position, const char* breakText) {
        std::string text(size, 'X');
        text.replace(position, std::strlen(breakText), breakText);
        return text;
    };
    // count lines of width bytes, the last of them the break.
    const auto lineRun = [](int count, std::size_t width) {
        std::string text;
        for (int line = 0; line < count; ++line)
            text += std::string(width - 1, 'X') + (line % 2 == 0 ? "\n" : "\r");
        return text;
    };
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"CR as a block's last byte", at(130, 63, "\r")},
        {"LF as a block's first byte", at(130, 64, "\n")},
        {"CR LF across a block's edge", at(130, 63, "\r\n")},
        {"LF CR across a block's edge", at(130, 63, "\n\r")},
        {"CR LF LF across a block's edge", at(130, 63, "\r\n\n")},
        {"CR LF ends the text", at(128, 126, "\r\n")},
        {"CR ends a text one byte into a block", at(65, 64, "\r")},
        {"breaks in a short last block", at(70, 66, "\r\n\r")},
        {"a break in every byte", std::string(200, '\n')},
        {"CR LF over and over, one byte off the blocks", "X" + [] {
             std::string pairs;
             for (int pair = 0; pair < 100; ++pair)
                 pairs += "\r\n";
             return pairs;
         }()},
        {"carriage returns, then line feeds", std::string(100, '\r') + std::string(100, '\n')},
        // Lines are indexed by groups of sixteen within 65535 bytes of the
        // group's first line; a group spread wider keeps whole starts.
        {"a group's last line 65535 bytes on", lineRun(16, 4369) + lineRun(3, 2)},
        {"a group's last line 65550 bytes on", lineRun(16, 4370) + lineRun(20, 3)},
        {"wide and narrow groups in turn", lineRun(40, 30) + lineRun(40, 2) + lineRun(40, 5000) + lineRun(40, 1)},
        {"CR LF lines across a 64-line word of breaks", [] {
             std::string text;
             for (int line = 0; line < 200; ++line)
                 text += line % 3 == 0 ? "N1\r\n" : "N2\r";
             return text;
         }()},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CListingLines lines;
        lines.Build(row.text.data(), row.text.size());
        const std::vector<long long> expected = LineStartsByByte(row.text);
        ASSERT_EQ(lines.GetLineCount(), static_cast<int>(expected.size()));
        for (std::size_t line = 0; line < expected.size(); ++line) {
            EXPECT_EQ(lines.GetLineStart(static_cast<int>(line)), expected[line]) << "line " << line;
            const long long end = line + 1 < expected.size() ? expected[line + 1] : static_cast<long long>(row.text.size());
            const long long breakLength = line + 1 == expected.size() ? 0 : end >= 2 && row.text.compare(end - 2, 2, "\r\n") == 0 ? 2 : 1;
            EXPECT_EQ(lines.GetLineLength(static_cast<int>(line)), end - breakLength - expected[line]) << "line " << line;
        }
        for (long long position = 0; position <= static_cast<long long>(row.text.size()); ++position) {
            const auto after = std::upper_bound(expected.begin(), expected.end(), position);
            ASSERT_EQ(lines.LineFromChar(position), static_cast<int>(after - expected.begin()) - 1) << "position " << position;
        }
    }
}

} // namespace
