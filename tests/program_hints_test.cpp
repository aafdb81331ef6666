#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cut_path.h"
#include "moves_outside_box.h"
#include "path_builder.h"
#include "program_hints.h"
#include "test_support.h"

namespace {

// The cut path as the window builds it: lines counted without the header.
CBuiltCutPath BuildAsTheWindowDoes(const CWordList& words, const CToolTable& tools)
{
    CBuiltCutPath built;
    auto table = std::make_shared<CMoveTable>();
    built.needsCut = CCutPathBuilder::NeedsCut(words);
    built.tools = tools;
    if (built.needsCut)
        built.summary = CCutPathBuilder(words, 0, tools).BuildTable(*table);
    else
        built.summary.path = CPathBuilder(words, 0).BuildTable(*table);
    built.table = std::move(table);
    return built;
}

// sharedTools: the hints are given a cut path built with these tools.
std::vector<CProgramHint> HintsOf(const std::string& bytes, const CStockChoice& choice = CStockChoice(),
                                  const CToolTable* sharedTools = nullptr, bool cancelled = false)
{
    CLoaderRig rig;
    const int result = rig.LoadBytes(bytes);
    const std::string errorText = rig.loader.GetErrorText();
    const std::string header = rig.loader.GetHeader();
    CHintInput input;
    input.loadResult = result;
    input.errorText = errorText;
    input.fileBytes = bytes;
    input.header = header;
    input.words = &rig.loader.GetWordList();
    input.choice = choice;
    CBuiltCutPath shared;
    if (sharedTools != nullptr) {
        shared = BuildAsTheWindowDoes(rig.loader.GetWordList(), *sharedTools);
        input.cutPath = &shared;
    }
    const std::atomic<bool> cancel{cancelled};
    return FindProgramHints(input, &cancel);
}

std::string Listed(const std::vector<CProgramHint>& hints)
{
    std::string text;
    for (const CProgramHint& hint : hints)
        text += std::to_string(hint.line) + ": " + hint.text + "\n";
    return text;
}

// Programs a teacher writes on purpose: none of these is a mistake.
TEST(ProgramHints, NoFindingWhereNothingIsWrong)
{
    CStockChoice givenBox;
    givenBox.hasBox = true;
    givenBox.box = CStockBox{0.0, 0.0, -5.0, 20.0, 20.0, 0.0};
    CStockChoice storedTools;
    storedTools.tools.SetTool(4, CTool{TOOL_FLAT, 8.0});
    const struct {
        const char* name;
        const char* program;
        CStockChoice choice;
    } rows[] = {
        {"a closed comment may hold words", "%\r\nG1 X5 (G1 X10 Y20)\r\n", {}},
        {"an unclosed comment of plain text", "%\r\nG1 X5 (Zustellung\r\n", {}},
        {"a header that is only a title", "Tasche 40x20\r\n(Kommentar)\r\n%\r\nG1 X5\r\n", {}},
        {"a comma inside a comment", "%\r\nG1 X5 (0,5 mm Aufmass)\r\n", {}},
        {"G21 is millimetres", "%\r\nG21 G1 X5\r\n", {}},
        {"rapids outside the automatic box", "%\r\nG0 X-50 Y-50 Z10\r\nG1 X5 Y5 Z-1\r\nX10\r\nG0 Z10\r\nX80\r\n", {}},
        {"a tool from the stored table", "%\r\nT4 G1 X5\r\n", storedTools},
        {"a tool the program states", "%\r\n(WERKZEUG T4 KUGELFRAESER D3)\r\nT4 G1 X5\r\n", {}},
        {"a rapid above the material", "%\r\nG0 X5 Y5 Z0.5\r\nG1 Z-1\r\n", {}},
        {"a feed over the given box's top from beside it", "%\r\nG0 X-10 Y5 Z5\r\nG1 X5 Z1\r\nZ-1\r\n", givenBox},
        {"an arc over the given box's top", "%\r\nG0 X2 Y2 Z1\r\nG3 X18 Y2 I8 J0 F100\r\nG1 Z-1\r\n", givenBox},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<CProgramHint> hints = HintsOf(row.program, row.choice);
        for (const CProgramHint& hint : hints)
            ADD_FAILURE() << "line " << hint.line << ": " << hint.text;
    }
}

// Findings in line order, each at its own line.
TEST(ProgramHints, FindingsAtTheirLines)
{
    CStockChoice givenBox;
    givenBox.hasBox = true;
    givenBox.box = CStockBox{0.0, 0.0, -5.0, 20.0, 20.0, 0.0};
    const struct {
        const char* name;
        const char* program;
        CStockChoice choice;
        std::vector<std::int64_t> lines;
        const char* firstStart;
    } rows[] = {
        {"a syntax error without a comma quotes its line", "%\r\nG1 X5\r\nG1 X?\r\n", {}, {3},
         "Syntaxfehler: hier bricht das Laden ab, der Rest fehlt (\xE2\x80\x9EG1 X?\xE2\x80\x9C)"},
        {"a comma after a comment on the line", "%\r\n(0,5 mm) G1 X3,5\r\n", {}, {2},
         "Komma statt Punkt? \xE2\x80\x9EX3,5\xE2\x80\x9C: Zahlen werden mit Punkt geschrieben (X3.5)"},
        {"a comma on a line after a lone line feed", "%\nG1 X1\nY2,25\n", {}, {3},
         "Komma statt Punkt? \xE2\x80\x9EY2,25\xE2\x80\x9C"},
        {"each T number once, at its first line", "%\r\nT1\r\nT2\r\nT1\r\n", {}, {2, 3}, "T1 hat keinen Durchmesser"},
        {"a cut below the given box's floor", "%\r\nG0 X5 Y5 Z1\r\nG1 Z-8\r\n", givenBox, {3},
         "Bahn au\xC3\x9F" "erhalb des Rohteils: X5 Y5 Z-8"},
        {"an arc that bulges out of the given box", "%\r\nG0 X2 Y2 Z1\r\nG1 Z-1\r\nG3 X18 Y2 I8 J0\r\n", givenBox,
         {4}, "Bahn au\xC3\x9F" "erhalb des Rohteils: X10 Y-6"},
        {"G20 on every line it stands", "%\r\nG20\r\nG1 X1\r\ng20\r\n", {}, {2, 4}, "G20 wird ignoriert"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<CProgramHint> hints = HintsOf(row.program, row.choice);
        std::vector<std::int64_t> lines;
        for (const CProgramHint& hint : hints)
            lines.push_back(hint.line);
        EXPECT_EQ(lines, row.lines);
        ASSERT_FALSE(hints.empty());
        EXPECT_EQ(hints[0].text.compare(0, std::string(row.firstStart).size(), row.firstStart), 0) << hints[0].text;
    }
}

// A cut path built already gives the hints found without it, where it is
// the path the hints would cut; one cut with other tools is not taken.
TEST(ProgramHints, SharedCutPathGivesTheSameHints)
{
    CToolTable chosenTools;
    CStockChoice chosen;
    CToolTable wideTools;
    wideTools.SetDefaultTool(CTool{TOOL_FLAT, 30.0});
    const char* const pocket = "%\r\nT1\r\nG0 X-10 Y-10 Z5\r\nG41 G1 X0 Y0\r\nZ-2\r\nX20\r\nY20\r\nX0\r\nY0\r\n"
                               "G40 X-10 Y-10\r\nG0 X10 Y10 Z-3\r\n";
    const struct {
        const char* name;
        std::string program;
        const CToolTable* sharedTools;
    } rows[] = {
        {"no compensation: the programmed path whatever its tools",
         "Titel\r\n%\r\nG0 X5 Y5 Z1\r\nG1 Z-2\r\nX15\r\nG0 X5 Z-3\r\n", &wideTools},
        {"a cut error's line counts the header's lines",
         "Titel\r\n(Rohteil)\r\n%\r\nG0 X0 Y0 Z5\r\nG1 Z-1\r\nG81 X1 R1\r\n", &chosenTools},
        {"compensation cut with the chosen tools", pocket, &chosenTools},
        {"compensation cut with other tools is cut again", pocket, &wideTools},
        {"the program's own tool beats the table the path was cut with",
         std::string("%\r\n(WERKZEUG T1 SCHAFTFRAESER D30)") + (pocket + 1), &chosenTools},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<CProgramHint> alone = HintsOf(row.program, chosen);
        ASSERT_FALSE(alone.empty());
        EXPECT_EQ(Listed(HintsOf(row.program, chosen, row.sharedTools)), Listed(alone));
    }
}

// Cancelled, the hints of the cut path and the sweep are left out, shared
// path or not; those of the words stay.
TEST(ProgramHints, CancelLeavesOutTheCutAndTheSweep)
{
    const CToolTable tools;
    const std::string program = "%\r\nG20\r\nG0 X0 Y0 Z5\r\nG1 Z-1\r\nG0 X5 Z-3\r\nG81 X1 R1\r\n";
    const struct {
        const char* name;
        const CToolTable* sharedTools;
    } rows[] = {{"built here", nullptr}, {"shared", &tools}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(HintsOf(program, CStockChoice(), row.sharedTools).size(), 3u);
        const std::vector<CProgramHint> cancelled = HintsOf(program, CStockChoice(), row.sharedTools, true);
        ASSERT_EQ(cancelled.size(), 1u) << Listed(cancelled);
        EXPECT_EQ(cancelled[0].line, 2);
    }
}

// The one rule of the hints and the picture's note: beside or below the
// box counts, over its top does not.
TEST(MovesOutsideBox, PointsBesideOrBelowOnly)
{
    const CStockBox box{0.0, 0.0, -5.0, 20.0, 20.0, 0.0};
    const struct {
        const char* name;
        SweepPoint point;
        bool outside;
    } rows[] = {
        {"inside the material", {10.0, 10.0, -2.0}, false},
        {"over the top, beside the box", {-10.0, 5.0, 3.0}, false},
        {"on the top's plane, beside the box", {25.0, 5.0, 0.0}, false},
        {"beside the box below its top", {25.0, 5.0, -1.0}, true},
        {"in front of the box below its top", {5.0, -0.5, -1.0}, true},
        {"under the floor", {10.0, 10.0, -5.5}, true},
        {"on the box's edge", {20.0, 0.0, -5.0}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsPointOutsideBox(row.point, box), row.outside);
    }
}

TEST(MovesOutsideBox, CountsTheCuttingMovesThatLeave)
{
    const CStockBox box{0.0, 0.0, -5.0, 20.0, 20.0, 0.0};
    CMoveTable table;
    table.Append({-10, 5, 5}, MOVE_RAPID, 0, 1, 0);
    table.Append({5, 5, 1}, MOVE_LINEAR, 1, 2, 0);
    table.Append({5, 5, -1}, MOVE_LINEAR, 2, 3, 0);
    table.Append({30, 5, -1}, MOVE_LINEAR, 3, 4, 0);
    table.Append({30, 5, 5}, MOVE_LINEAR, 4, 5, 0);
    table.Append({-30, 5, -1}, MOVE_RAPID, 5, 6, 0);
    const CMovesOutsideBox all = FindMovesOutsideBox(table, box);
    EXPECT_EQ(all.count, 2u);
    EXPECT_EQ(all.firstMove, 3u);
    EXPECT_EQ(all.firstPoint, (SweepPoint{30.0, 5.0, -1.0}));
    EXPECT_EQ(FindMovesOutsideBox(table, box, true).count, 1u);
}

// The two walks over the whole path that come before a workpiece stop once
// asked, so that a new load need not wait for them.
TEST(MovesOutsideBox, WalksOverThePathStopWhenCancelled)
{
    const CStockBox box{0.0, 0.0, -5.0, 20.0, 20.0, 0.0};
    CMoveTable table;
    for (std::size_t move = 0; move < 10000; ++move)
        table.Append({move == 1 ? 30.0 : 5.0, 5.0, -1.0}, MOVE_LINEAR, move, move + 1, 0);
    CLoaderRig rig;
    rig.LoadBytes("%\r\nG1 X5 Y5 Z-1\r\n");
    const CWordList& words = rig.loader.GetWordList();
    const CToolTable tools;
    std::atomic<bool> unset{false};
    std::atomic<bool> set{true};
    const struct {
        const char* name;
        const std::atomic<bool>* cancel;
        bool walked;
    } rows[] = {
        {"no flag", nullptr, true},
        {"a flag not set", &unset, true},
        {"a flag set", &set, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // Out to X30 and back in: two moves.
        EXPECT_EQ(FindMovesOutsideBox(table, box, false, row.cancel).count, row.walked ? 2u : 0u);
        EXPECT_EQ(CStockBox::FitToPath(table, words, tools, row.cancel).IsValid(), row.walked);
    }
}

} // namespace
