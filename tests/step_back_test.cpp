#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "headless_panel.h"
#include "state_texts.h"
#include "test_support.h"

namespace {

// Everything a user sees and the machine holds, to compare before a command
// and after it was taken back.
struct CSeen {
    WordPosition cursor = CWordList::NO_POSITION;
    std::vector<std::string> texts;
    CProgramViewState view;
    CMachineModes modes;
    std::vector<std::pair<WordKind, double>> block;

    bool operator==(const CSeen& other) const
    {
        const auto sameView = [](const CProgramViewState& a, const CProgramViewState& b) {
            return a.hasSelection == b.hasSelection && a.anchor == b.anchor && a.caret == b.caret &&
                   a.rememberedStart == b.rememberedStart && a.rememberedEnd == b.rememberedEnd &&
                   a.firstVisibleLine == b.firstVisibleLine;
        };
        return cursor == other.cursor && texts == other.texts && sameView(view, other.view) &&
               TakeStateSnapshot(modes) == TakeStateSnapshot(other.modes) && block == other.block;
    }
};

std::string Describe(const CSeen& seen)
{
    std::string text = "cursor " + std::to_string(static_cast<long long>(seen.cursor)) + ", view " +
                       std::to_string(seen.view.anchor) + "-" + std::to_string(seen.view.caret) + " line " +
                       std::to_string(seen.view.firstVisibleLine) + ", block of " + std::to_string(seen.block.size());
    for (const std::string& line : seen.texts)
        text += " [" + line + "]";
    return text;
}

CSeen See(CHeadlessPanel& headless)
{
    CSeen seen;
    seen.cursor = headless.cursor.GetCursor();
    for (std::size_t line = 0; line < STATE_LINE_COUNT; ++line)
        seen.texts.push_back(headless.panel.GetControlText(StateLineControlId(line)));
    seen.texts.push_back(headless.panel.GetControlText(IDC_MESSAGE_LINE));
    seen.texts.push_back(headless.panel.GetControlText(IDC_LINE_INDICATOR));
    seen.view = headless.view.SaveViewState();
    seen.modes = headless.machineState.GetModes();
    for (const CCncValue& value : headless.machineState.GetBlock())
        seen.block.emplace_back(value.kind, value.realValue);
    return seen;
}

using Command = void (CProgramCursor::*)();

// A random walk of commands and steps back, with modes changed in between:
// every step back must bring back exactly what stood before the command it
// takes back, however many commands deep.
void WalkAndStepBack(const std::string& path, unsigned seed, int steps)
{
    CHeadlessPanel headless(path);
    headless.cursor.OnLoad();
    std::mt19937 random(seed);
    std::vector<CSeen> before;
    const Command commands[] = {&CProgramCursor::OnNextWord, &CProgramCursor::OnNextWord, &CProgramCursor::OnRunTo,
                                &CProgramCursor::OnJumpToActual, &CProgramCursor::OnReset};
    for (int step = 0; step < steps; ++step) {
        const unsigned roll = random() % 10;
        if (roll < 3 && !before.empty()) {
            headless.cursor.OnStepBack();
            const CSeen expected = before.back();
            before.pop_back();
            const CSeen now = See(headless);
            ASSERT_TRUE(now == expected) << "step " << step << "\nwanted " << Describe(expected) << "\ngot    "
                                         << Describe(now);
        } else if (roll == 3) {
            headless.panel.SetRunToSelection(static_cast<int>(random() % 4));
            headless.cursor.OnRunToModeChanged();
        } else if (roll == 4) {
            // A click on a line: browsing, which a step back also takes back.
            before.push_back(See(headless));
            headless.cursor.OnBrowse();
            headless.view.ClickAt(static_cast<int>(random() % (headless.view.GetListing().size() + 1)));
        } else {
            before.push_back(See(headless));
            (headless.cursor.*commands[random() % 5])();
        }
    }
    // With the history used up, a step back changes nothing.
    while (!before.empty()) {
        headless.cursor.OnStepBack();
        before.pop_back();
    }
    const CSeen emptied = See(headless);
    headless.cursor.OnStepBack();
    ASSERT_TRUE(See(headless) == emptied);
}

TEST(StepBack, RandomWalksOverTheCorpus)
{
    std::vector<std::filesystem::path> programs;
    for (const char* folder : {TORNAVEL_EXAMPLES_DIR, TORNAVEL_CORPUS_DIR}) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            if (entry.is_regular_file() && entry.path().filename() != "SOURCES.md")
                programs.push_back(entry.path());
        }
    }
    std::sort(programs.begin(), programs.end());
    ASSERT_FALSE(programs.empty());
    unsigned seed = 1;
    for (const auto& program : programs) {
        SCOPED_TRACE(program.string());
        WalkAndStepBack(program.string(), seed++, 300);
    }
}

TEST(StepBack, RunToTheEndAndBackKeepsTheBlockBeingGathered)
{
    CTempFile file(CrLfLines({"N10 G0 X5 Y6", "N20 G1 Z-1 F100", "N30 G2 X7 I1 J0", "N40 M30"}));
    CHeadlessPanel headless(file.GetPath());
    headless.cursor.OnLoad();
    headless.cursor.OnNextWord();
    headless.cursor.OnNextWord();
    // N10, G0 and X5 are gathered; the block is not applied yet.
    const CSeen halfBlock = See(headless);
    ASSERT_EQ(halfBlock.block.size(), 3u);
    headless.panel.SetRunToSelection(RUNTO_END);
    headless.cursor.OnRunToModeChanged();
    headless.cursor.OnRunTo();
    EXPECT_EQ(headless.panel.GetControlText(IDC_MESSAGE_LINE), "Ende der Anweisungen");
    EXPECT_EQ(headless.panel.GetControlText(IDC_POSITION_X), "7.0000");
    headless.cursor.OnStepBack();
    EXPECT_TRUE(See(headless) == halfBlock) << Describe(See(headless));
    // The gathered words are applied with the rest of their block.
    headless.cursor.OnNextWord();
    headless.cursor.OnNextWord();
    EXPECT_EQ(headless.panel.GetControlText(IDC_POSITION_Y), "6.0000");
}

TEST(StepBack, HistoryStartsAfreshWithEachLoad)
{
    CTempFile file(CrLfLines({"G1 X1", "X2"}));
    CHeadlessPanel headless(file.GetPath());
    headless.cursor.OnLoad();
    headless.cursor.OnNextWord();
    ASSERT_TRUE(headless.cursor.CanStepBack());
    headless.cursor.OnLoad();
    EXPECT_FALSE(headless.cursor.CanStepBack());
    // A cancelled file dialog is no load: the history stays.
    headless.cursor.OnNextWord();
    headless.chooser.SetCancels(true);
    headless.cursor.OnLoad();
    EXPECT_TRUE(headless.cursor.CanStepBack());
}

TEST(StepBack, HistoryKeepsItsBudget)
{
    const auto record = [](int command) {
        CStepRecord made;
        made.cursor = static_cast<WordPosition>(command);
        made.message = std::string(59, ' ');
        return made;
    };
    CStepHistory measure;
    measure.Push(record(0));
    const std::size_t recordBytes = measure.GetBytes();
    const struct {
        const char* name;
        std::size_t budget;
        int commands;
        std::size_t kept;
    } cases[] = {
        {"100,000 commands fit the default budget", CStepHistory::DEFAULT_BUDGET, 100000, 100000},
        {"a small budget keeps the newest", recordBytes * 10, 25, 10},
        {"a record larger than the budget empties the history", recordBytes - 1, 3, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CStepHistory history(row.budget);
        for (int command = 0; command < row.commands; ++command)
            history.Push(record(command));
        EXPECT_EQ(history.GetCount(), row.kept);
        EXPECT_LE(history.GetBytes(), row.budget);
        // The newest is taken back first.
        if (row.kept > 0) {
            EXPECT_EQ(history.Pop().cursor, static_cast<WordPosition>(row.commands - 1));
        }
    }
}

} // namespace
