#include <clocale>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "machine_state.h"
#include "program_cursor.h"
#include "state_texts.h"
#include "headless_panel.h"
#include "test_support.h"

namespace {

// The panel's objects with headless windows, as the CLI builds them, and
// programs written to temporary files.
struct CControllerRig : CHeadlessPanel {
    CControllerRig() : CHeadlessPanel(std::string()) {}

    void Load(const std::string& bytes)
    {
        file = std::make_unique<CTempFile>(bytes);
        chooser.SetPath(file->GetPath());
        cursor.OnLoad();
    }

    std::string Selected() const
    {
        const std::string& listing = view.GetListing();
        return listing.substr(view.GetSelectionStart(), view.GetSelectionEnd() - view.GetSelectionStart());
    }

    std::string Text(int id) const { return panel.GetControlText(id); }
    std::string Message() const { return Text(IDC_MESSAGE_LINE); }

    void SetMode(RunToMode mode)
    {
        panel.SetRunToSelection(mode);
        cursor.OnRunToModeChanged();
    }

    std::unique_ptr<CTempFile> file;
};

const std::string blank59(59, ' ');
const std::string examplePart = "N10 G1 X5\rN20 Z7 T2\r";

TEST(ProgramCursor, NextWordWalk)
{
    CControllerRig c;
    c.Load(examplePart);
    EXPECT_EQ(c.Message(), blank59);
    EXPECT_EQ(c.Selected(), "N10");

    const struct {
        const char* selected;
        const char* message;
        const char* x;
        const char* z;
        const char* motion;
    } steps[] = {
        {"G1", "", "0.0000", "0.0000", "Bewegung: LINEAR       "},
        {"X5", "", "0.0000", "0.0000", "Bewegung: LINEAR       "},
        {"Z7", "", "5.0000", "0.0000", "Bewegung: LINEAR       "},
        {"T2", "", "5.0000", "0.0000", "Bewegung: LINEAR       "},
        {"\r", "Ende der Anweisungen", "5.0000", "7.0000", "Bewegung: LINEAR       "},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.selected);
        c.cursor.OnNextWord();
        EXPECT_EQ(c.Selected(), step.selected);
        EXPECT_EQ(c.Message(), *step.message ? std::string(step.message) : blank59);
        EXPECT_EQ(c.Text(IDC_POSITION_X), step.x);
        EXPECT_EQ(c.Text(IDC_POSITION_Z), step.z);
        EXPECT_EQ(c.Text(IDC_MOTION), step.motion);
        // Three lines fit the view whole: the block ends scroll it no further.
        EXPECT_EQ(c.view.GetFirstVisibleLine(), 0);
    }
    EXPECT_EQ(c.cursor.GetCursor(), CWordList::NO_POSITION);

    // Finished: the commands only blank the message line.
    const int start = c.view.GetSelectionStart();
    for (void (CProgramCursor::*command)() :
         {&CProgramCursor::OnNextWord, &CProgramCursor::OnRunTo, &CProgramCursor::OnJumpToActual}) {
        (c.cursor.*command)();
        EXPECT_EQ(c.Message(), blank59);
        EXPECT_EQ(c.view.GetSelectionStart(), start);
    }
}

TEST(ProgramCursor, RunToModes)
{
    const struct {
        const char* name;
        RunToMode mode;
        std::string program;
        const char* selected;
        bool ended;
        const char* z;
    } cases[] = {
        {"block end stops before the next block's first word", RUNTO_BLOCK_END, examplePart, "N20", false, "0.0000"},
        {"tool change", RUNTO_TOOL_CHANGE, examplePart, "T2", false, "0.0000"},
        {"Z value stops before its block is applied", RUNTO_Z_VALUE, examplePart, "Z7", false, "0.0000"},
        {"end", RUNTO_END, examplePart, "\r", true, "7.0000"},
        {"Z value without Z words runs to the end", RUNTO_Z_VALUE, "N10 G1 X5\r", "\r", true, "0.0000"},
        {"block end at the program's last word", RUNTO_BLOCK_END, "G1 X5\r", "\r", true, "0.0000"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CControllerRig c;
        c.SetMode(row.mode);
        c.Load(row.program);
        c.cursor.OnRunTo();
        EXPECT_EQ(c.Selected(), row.selected);
        EXPECT_EQ(c.Message(), row.ended ? std::string("Ende der Anweisungen") : blank59);
        EXPECT_EQ(c.Text(IDC_POSITION_Z), row.z);
        // Two or three lines fit the view whole: the block ends scroll it no further.
        EXPECT_EQ(c.view.GetFirstVisibleLine(), 0);
    }
}

// Twelve blocks "N10 X1" to "N120 X12": with the empty line after the last
// break, 13 lines, of which the view shows 6 whole, so it scrolls no further
// than to line 7.
std::string TwelveBlocks()
{
    std::string text;
    for (int block = 1; block <= 12; ++block)
        text += "N" + std::to_string(block * 10) + " X" + std::to_string(block) + "\r";
    return text;
}

TEST(ProgramCursor, ViewScrollsAsThePanelsEditor)
{
    // Commands by letter: n next word, r run to, a actual word, 0 reset.
    const std::map<char, void (CProgramCursor::*)()> commands = {{'n', &CProgramCursor::OnNextWord},
                                                                 {'r', &CProgramCursor::OnRunTo},
                                                                 {'a', &CProgramCursor::OnJumpToActual},
                                                                 {'0', &CProgramCursor::OnReset}};
    const struct {
        const char* name;
        RunToMode mode;
        const char* script;
        const char* selected;
        int firstLine;
    } cases[] = {
        {"loading shows the first line", RUNTO_BLOCK_END, "", "N10", 0},
        {"a step inside the first block", RUNTO_BLOCK_END, "n", "X1", 0},
        {"each block end scrolls one line", RUNTO_BLOCK_END, "nnn", "X3", 2},
        {"a block-end stop scrolls one line", RUNTO_BLOCK_END, "r", "N20", 1},
        {"eight steps reach the last first line", RUNTO_BLOCK_END, "nnnnnnnn", "X8", 7},
        {"the ninth block end scrolls no further", RUNTO_BLOCK_END, "nnnnnnnnnn", "X10", 7},
        {"a run to the end stops at the last first line", RUNTO_END, "r", "\r", 7},
        {"the actual word with two lines above it", RUNTO_BLOCK_END, "nnnnna", "X5", 2},
        {"the actual word on the last line comes to the view's bottom", RUNTO_BLOCK_END, "nnnnnnnnnnnna", "X12", 6},
        {"a reset goes back to the top", RUNTO_END, "r0", "N10", 0},
        {"a run to the end from the middle stops at the last first line", RUNTO_END, "nnnnnnnnr", "\r", 7},
        {"a run to the end from the last first line scrolls no further", RUNTO_END, "nnnnnnnnnnnr", "\r", 7},
        {"a run to a tool change without one scrolls as the run to the end", RUNTO_TOOL_CHANGE, "nnr", "\r", 7},
        {"a block-end stop from the middle of a block scrolls one line", RUNTO_BLOCK_END, "nnnnr", "N50", 4},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CControllerRig c;
        c.SetMode(row.mode);
        c.Load(TwelveBlocks());
        for (const char* letter = row.script; *letter != '\0'; ++letter)
            (c.cursor.*commands.at(*letter))();
        EXPECT_EQ(c.Selected(), row.selected);
        EXPECT_EQ(c.view.GetFirstVisibleLine(), row.firstLine);
    }
}

// F10 presses first, then F9: the run takes the block gathered so far along,
// and Shift+F10 puts back what the presses left.
TEST(ProgramCursor, RunToFromTheMiddleOfABlock)
{
    const std::string program = CrLfLines({"N10 G0 X1 Y2 Z3", "N20 G1 G91 X4 (cut) Z-1 T2", "N30 G2 G18 X5 Y6 Z7",
                                           "N40 G70 T3 Y8", "N50 X9 ; last"});
    const struct {
        const char* name;
        RunToMode mode;
        int presses;
        const char* selected;
        bool ended;
        const char* x;
        const char* z;
        const char* dimensioning;
        std::size_t blockSize;
    } cases[] = {
        {"end from inside the first block", RUNTO_END, 2, "\r", true, "9.0000", "7.0000", "Koordinaten: REL", 0},
        {"end from inside the second block", RUNTO_END, 5, "\r", true, "9.0000", "7.0000", "Koordinaten: REL", 0},
        {"tool change from inside the second block", RUNTO_TOOL_CHANGE, 5, "T2", false, "1.0000", "3.0000",
         "Koordinaten: ABS", 6},
        {"the next tool change after a block end", RUNTO_TOOL_CHANGE, 9, "T3", false, "5.0000", "7.0000",
         "Koordinaten: REL", 3},
        {"Z value across a block end", RUNTO_Z_VALUE, 4, "Z-1", false, "1.0000", "3.0000", "Koordinaten: ABS", 5},
        {"block end from the block end itself", RUNTO_BLOCK_END, 4, "N20", false, "1.0000", "3.0000",
         "Koordinaten: ABS", 0},
        {"block end from inside the second block", RUNTO_BLOCK_END, 6, "N30", false, "4.0000", "-1.0000",
         "Koordinaten: REL", 0},
        {"block end in the last block ends the program", RUNTO_BLOCK_END, 18, "\r", true, "9.0000", "7.0000",
         "Koordinaten: REL", 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CControllerRig c;
        c.SetMode(row.mode);
        c.Load(program);
        for (int press = 0; press < row.presses; ++press)
            c.cursor.OnNextWord();
        const std::string selectedBefore = c.Selected();
        const std::string xBefore = c.Text(IDC_POSITION_X);
        const std::size_t blockBefore = c.machineState.GetBlockSize();
        const int firstLineBefore = c.view.GetFirstVisibleLine();
        c.cursor.OnRunTo();
        EXPECT_EQ(c.Selected(), row.selected);
        EXPECT_EQ(c.Message(), row.ended ? std::string("Ende der Anweisungen") : blank59);
        EXPECT_EQ(c.Text(IDC_POSITION_X), row.x);
        EXPECT_EQ(c.Text(IDC_POSITION_Z), row.z);
        EXPECT_EQ(c.Text(IDC_DIMENSIONING), row.dimensioning);
        EXPECT_EQ(c.machineState.GetBlockSize(), row.blockSize);
        EXPECT_EQ(c.cursor.GetCursor() == CWordList::NO_POSITION, row.ended);
        c.cursor.OnStepBack();
        EXPECT_EQ(c.Selected(), selectedBefore);
        EXPECT_EQ(c.Text(IDC_POSITION_X), xBefore);
        EXPECT_EQ(c.machineState.GetBlockSize(), blockBefore);
        EXPECT_EQ(c.view.GetFirstVisibleLine(), firstLineBefore);
    }
}

TEST(ProgramCursor, BlockEndStopLeavesTheNextWordForTheNextCommand)
{
    CControllerRig c;
    c.Load("G1 X5\rX7\rX9\r");
    c.cursor.OnRunTo();
    EXPECT_EQ(c.Selected(), "X7");
    EXPECT_EQ(c.Text(IDC_POSITION_X), "5.0000");
    c.cursor.OnRunTo();
    EXPECT_EQ(c.Selected(), "X9");
    EXPECT_EQ(c.Text(IDC_POSITION_X), "7.0000");
}

TEST(ProgramCursor, JumpToActual)
{
    CControllerRig c;
    c.Load(CrLfLines({"Header line", "%", "N10 G1 X5", "N20 Z7 T2"}));
    c.cursor.OnJumpToActual();
    EXPECT_EQ(c.Selected(), "%");
    c.cursor.OnNextWord();
    c.cursor.OnNextWord();
    EXPECT_EQ(c.Selected(), "X5");
    c.view.ClickAt(0);
    EXPECT_EQ(c.Selected(), "Header line");
    c.cursor.OnJumpToActual();
    EXPECT_EQ(c.Selected(), "X5");
    // The word's line is brought to the third visible line.
    EXPECT_EQ(c.view.GetFirstVisibleLine(), 0);
}

TEST(ProgramCursor, LastWordWithoutBlockEnd)
{
    CControllerRig c;
    c.Load("G1\rX5 Y6\r");
    c.cursor.OnNextWord();
    c.cursor.OnNextWord();
    c.cursor.OnNextWord();
    EXPECT_EQ(c.Selected(), "Y6");
    EXPECT_EQ(c.Message(), blank59);
    // The file's last line has a line end here, so the block is applied at the end.
    c.cursor.OnNextWord();
    EXPECT_EQ(c.Message(), "Ende der Anweisungen");

    // Without a line end after the last line, its block is applied all the same.
    CControllerRig open;
    open.Load("G1\rX5 Y6");
    open.cursor.OnNextWord();
    open.cursor.OnNextWord();
    EXPECT_EQ(open.Selected(), "X5");
    open.cursor.OnNextWord();
    EXPECT_EQ(open.Selected(), "Y6");
    EXPECT_EQ(open.Message(), blank59);
    open.cursor.OnNextWord();
    EXPECT_EQ(open.Message(), "Ende der Anweisungen");
    EXPECT_EQ(open.cursor.GetCursor(), CWordList::NO_POSITION);
    EXPECT_EQ(open.Text(IDC_POSITION_X), "5.0000");
    EXPECT_EQ(open.Text(IDC_POSITION_Y), "6.0000");
}

TEST(ProgramCursor, NothingLoaded)
{
    CControllerRig c;
    c.cursor.OnNextWord();
    c.cursor.OnRunTo();
    c.cursor.OnJumpToActual();
    EXPECT_FALSE(c.cursor.HasWordList());
    c.cursor.OnReset();
    EXPECT_TRUE(c.cursor.HasWordList());
    EXPECT_EQ(c.cursor.GetCursor(), CWordList::NO_POSITION);
    EXPECT_EQ(c.Message(), blank59);
    EXPECT_FALSE(c.view.HasSelection());
}

TEST(ProgramCursor, UnfinishedBlockCarriesOverAReset)
{
    CControllerRig c;
    c.Load("X1\rY7\r");
    c.cursor.OnNextWord();
    c.cursor.OnNextWord();
    EXPECT_EQ(c.Selected(), "Y7");
    EXPECT_EQ(c.machineState.GetBlockSize(), 1u);
    c.cursor.OnReset();
    c.cursor.OnNextWord();
    c.cursor.OnNextWord();
    // The first block after the reset applies the gathered Y7 with its own X1.
    EXPECT_EQ(c.Text(IDC_POSITION_X), "1.0000");
    EXPECT_EQ(c.Text(IDC_POSITION_Y), "7.0000");
}

TEST(ProgramCursor, LoadEmptiesAnUnfinishedBlockButKeepsTheState)
{
    CControllerRig c;
    c.Load("X7\rG91 X3 Y4");
    c.cursor.OnNextWord();
    c.cursor.OnNextWord();
    c.cursor.OnNextWord();
    EXPECT_EQ(c.machineState.GetBlockSize(), 2u);
    c.Load("Y1\r");
    EXPECT_EQ(c.machineState.GetBlockSize(), 0u);
    c.cursor.OnNextWord();
    c.cursor.OnNextWord();
    EXPECT_EQ(c.Text(IDC_POSITION_X), "7.0000");
    EXPECT_EQ(c.Text(IDC_POSITION_Y), "1.0000");
    EXPECT_EQ(c.Text(IDC_DIMENSIONING), "Koordinaten: ABS");
}

TEST(ProgramCursor, FailedLoadShowsTheErrorAfterTheReset)
{
    CControllerRig c;
    c.Load("G1\rX\r");
    EXPECT_EQ(c.Message(), "Syntax error in line: 2");
    EXPECT_EQ(c.Selected(), "G1");
    c.chooser.SetPath("/no/such/file");
    c.cursor.OnLoad();
    EXPECT_EQ(c.Message(), "Can't open file.");
    EXPECT_EQ(c.cursor.GetCursor(), CWordList::NO_POSITION);
    c.chooser.SetCancels(true);
    c.cursor.OnLoad();
    EXPECT_EQ(c.Message(), "Can't open file.");
}

TEST(ProgramCursor, ModeSelection)
{
    CControllerRig c;
    EXPECT_EQ(c.panel.GetRunToSelection(), 0);
    for (int index : {2, 7, -1}) {
        c.panel.SetRunToSelection(index);
        c.cursor.OnRunToModeChanged();
    }
    EXPECT_EQ(c.cursor.GetRunToMode(), RUNTO_Z_VALUE);
}

} // namespace
