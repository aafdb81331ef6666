#include <clocale>
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
        int scrolledTo;
    } steps[] = {
        {"G1", "", "0.0000", "0.0000", "Bewegung: LINEAR       ", 0},
        {"X5", "", "0.0000", "0.0000", "Bewegung: LINEAR       ", 0},
        {"Z7", "", "5.0000", "0.0000", "Bewegung: LINEAR       ", 1},
        {"T2", "", "5.0000", "0.0000", "Bewegung: LINEAR       ", 1},
        {"\r", "Ende der Anweisungen", "5.0000", "7.0000", "Bewegung: LINEAR       ", 2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.selected);
        c.cursor.OnNextWord();
        EXPECT_EQ(c.Selected(), step.selected);
        EXPECT_EQ(c.Message(), *step.message ? std::string(step.message) : blank59);
        EXPECT_EQ(c.Text(IDC_POSITION_X), step.x);
        EXPECT_EQ(c.Text(IDC_POSITION_Z), step.z);
        EXPECT_EQ(c.Text(IDC_MOTION), step.motion);
        EXPECT_EQ(c.view.GetFirstVisibleLine(), step.scrolledTo);
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
        int scrolled;
    } cases[] = {
        {"block end stops before the next block's first word", RUNTO_BLOCK_END, examplePart, "N20", false, "0.0000", 1},
        {"tool change", RUNTO_TOOL_CHANGE, examplePart, "T2", false, "0.0000", 1},
        {"Z value stops before its block is applied", RUNTO_Z_VALUE, examplePart, "Z7", false, "0.0000", 1},
        {"end", RUNTO_END, examplePart, "\r", true, "7.0000", 2},
        {"Z value without Z words runs to the end", RUNTO_Z_VALUE, "N10 G1 X5\r", "\r", true, "0.0000", 1},
        {"block end at the program's last word", RUNTO_BLOCK_END, "G1 X5\r", "\r", true, "0.0000", 1},
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
        EXPECT_EQ(c.view.GetFirstVisibleLine(), row.scrolled);
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
