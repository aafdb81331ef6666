#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli_panel.h"
#include "machine_state.h"
#include "state_texts.h"
#include "test_support.h"

namespace {

// Counts the writes of the X line.
class CCountingPanel : public CCliPanel {
public:
    bool SetControlText(int controlId, const std::string& text) override
    {
        if (controlId == IDC_POSITION_X)
            ++refreshes;
        return CCliPanel::SetControlText(controlId, text);
    }
    int refreshes = 0;
};

std::vector<CCncWord> Words(std::initializer_list<const char*> texts)
{
    std::vector<CCncWord> words;
    for (const char* text : texts) {
        words.emplace_back();
        words.back().SetTextAndClassify(text);
    }
    return words;
}

void Execute(CMachineState& state, const std::vector<CCncWord>& words)
{
    for (const CCncWord& word : words)
        state.ExecuteWord(&word);
}

TEST(MachineState, Blocks)
{
    const struct {
        const char* name;
        std::vector<const char*> before;
        std::vector<const char*> block;
        std::vector<std::pair<int, const char*>> texts;
    } cases[] = {
        {"G91 replaces, never adds", {"X5", "\r"}, {"G91", "X10", "\r"},
         {{IDC_POSITION_X, "10.0000"}, {IDC_DIMENSIONING, "Koordinaten: REL"}}},
        {"later word of a group wins", {}, {"G0", "G1", "\r"}, {{IDC_MOTION, "Bewegung: LINEAR       "}}},
        {"end of block alone changes nothing", {}, {"\r"}, {{IDC_POSITION_X, "0.0000"}}},
        {"comments and unknown words are not buffered", {}, {"G2", "(c)", "H5", "\r"},
         {{IDC_MOTION, "Bewegung: CLOCKWISE    "}}},
        {"R I J K change no coordinate", {}, {"X1", "Y2", "Z3", "R4", "I5", "J6", "K7", "\r"},
         {{IDC_POSITION_X, "1.0000"}, {IDC_POSITION_Y, "2.0000"}, {IDC_POSITION_Z, "3.0000"}}},
        {"T S F M N change no field", {}, {"T5", "S1000", "F200", "M3", "N10", "\r"},
         {{IDC_MOTION, "Bewegung: LINEAR       "}, {IDC_POSITION_X, "0.0000"}}},
        {"G71 keeps the numbers and changes the units", {}, {"G71", "X-3", "\r"},
         {{IDC_POSITION_X, "-3.0000"}, {IDC_LENGTH_UNIT, "L\xE4ngeninheit: INCH"}, {IDC_FEED_UNIT, "inch/min"},
          {IDC_SPINDLE_UNIT, "1/min"}}},
        {"planes follow their codes", {}, {"G18", "\r"}, {{IDC_PLANE, "Arbeitsebene: X/Z"}}},
        {"coordinate systems", {}, {"G55", "\r"}, {{IDC_COORD_SYSTEM, "Koord Sys: UCS 2"}}},
        {"rounding to four decimals", {}, {"X1234.56789", "Y-0.00001", "\r"},
         {{IDC_POSITION_X, "1234.5679"}, {IDC_POSITION_Y, "-0.0000"}}},
        {"a value that changes back is shown again", {"X5", "\r", "X7", "\r"}, {"X5", "\r"},
         {{IDC_POSITION_X, "5.0000"}}},
        {"units follow the length unit back", {"G71", "\r"}, {"G70", "\r"},
         {{IDC_FEED_UNIT, "mm/min"}, {IDC_LENGTH_UNIT, "L\xE4ngeninheit: MM"}}},
        {"not-a-number stays shown", {"Xnan", "\r"}, {"Y1", "\r"}, {{IDC_POSITION_X, " nan"}}},
        {"infinities padded as printf pads them", {}, {"Xinf", "Y-inf", "Z-nan", "\r"},
         {{IDC_POSITION_X, " inf"}, {IDC_POSITION_Y, "-inf"}, {IDC_POSITION_Z, "-nan"}}},
        {"minus zero after zero", {}, {"X-0", "\r"}, {{IDC_POSITION_X, "-0.0000"}}},
        {"a huge coordinate is shown whole", {}, {"X1e20", "\r"},
         {{IDC_POSITION_X, "100000000000000000000.0000"}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CCountingPanel panel;
        CMachineState state(&panel);
        std::vector<CCncWord> before;
        for (const char* text : row.before) {
            before.emplace_back();
            before.back().SetTextAndClassify(text);
        }
        Execute(state, before);
        std::vector<CCncWord> block;
        for (const char* text : row.block) {
            block.emplace_back();
            block.back().SetTextAndClassify(text);
        }
        Execute(state, block);
        for (const auto& [id, text] : row.texts)
            EXPECT_EQ(panel.GetControlText(id), text) << "control " << id;
    }
}

TEST(MachineState, NothingVisibleBeforeTheBlockEnds)
{
    CCountingPanel panel;
    CMachineState state(&panel);
    const auto words = Words({"G0", "X9"});
    Execute(state, words);
    EXPECT_EQ(panel.refreshes, 0);
    EXPECT_EQ(state.GetMotion(), WK_LINEAR);
    EXPECT_EQ(state.GetPosition().GetX(), 0.0);
    EXPECT_EQ(state.ExecuteWord(nullptr), 0);
    EXPECT_EQ(state.ApplyPositionWord(nullptr), 0);
}

TEST(MachineState, InitialTexts)
{
    CCliPanel panel;
    CMachineState state(&panel);
    state.UpdateDisplay();
    const std::vector<std::pair<int, std::string>> expected = {
        {IDC_POSITION_X, "0.0000"},
        {IDC_POSITION_Y, "0.0000"},
        {IDC_POSITION_Z, "0.0000"},
        {IDC_MOTION, "Bewegung: LINEAR       "},
        {IDC_COMPENSATION, "Kompensation:  OFF"},
        {IDC_PLANE, "Arbeitsebene: X/Y"},
        {IDC_CYCLE, "Zyklus:  OFF"},
        {IDC_COORD_SYSTEM, "Koord Sys: MACHINE"},
        {IDC_DIMENSIONING, "Koordinaten: ABS"},
        {IDC_LENGTH_UNIT, "L\xE4ngeninheit: MM"},
        {IDC_FEED_UNIT, "mm/min"},
        {IDC_SPINDLE_UNIT, "1/min"},
    };
    for (const auto& [id, text] : expected)
        EXPECT_EQ(panel.GetControlText(id), text) << "control " << id;
}

TEST(MachineState, TextsInACommaDecimalLocale)
{
    const CGermanLocale german(LC_ALL);
    ASSERT_TRUE(german.Valid()) << "the de_DE.UTF-8 locale is missing; the test command generates it";
    CCliPanel panel;
    CMachineState state(&panel);
    const auto words = Words({"X12.5", "Y-3.25", "\r"});
    Execute(state, words);
    EXPECT_EQ(panel.GetControlText(IDC_POSITION_X), "12.5000");
    EXPECT_EQ(panel.GetControlText(IDC_POSITION_Y), "-3.2500");
}

TEST(StateTexts, CompensationAndCycleWordsChangeNothing)
{
    CCliPanel panel;
    CMachineState state(&panel);
    // G40 and G80 are accepted as WK_NONE: no word reaches the compensation
    // or the cycle, which keep their initial " OFF".
    const auto words = Words({"G40", "G80", "\r"});
    Execute(state, words);
    EXPECT_EQ(panel.GetControlText(IDC_COMPENSATION), "Kompensation:  OFF");
    EXPECT_EQ(panel.GetControlText(IDC_CYCLE), "Zyklus:  OFF");
}

TEST(WordGroups, ExactCodeSets)
{
    const struct {
        std::int32_t kind;
        WordGroup group;
    } cases[] = {
        {0, GROUP_NONE},          {1, GROUP_MOTION},       {9, GROUP_MOTION},         {10, GROUP_PLANE},
        {12, GROUP_PLANE},        {13, GROUP_COMPENSATION}, {14, GROUP_NONE},         {18, GROUP_COMPENSATION},
        {19, GROUP_CYCLE},        {25, GROUP_CYCLE},       {26, GROUP_NONE},          {27, GROUP_NONE},
        {28, GROUP_CYCLE},        {30, GROUP_CYCLE},       {31, GROUP_COORD_SYSTEM},  {37, GROUP_COORD_SYSTEM},
        {38, GROUP_DIMENSIONING}, {41, GROUP_FEED_MODE},   {42, GROUP_SPINDLE_MODE},  {45, GROUP_LENGTH_UNIT},
        {46, GROUP_POSITION},     {49, GROUP_POSITION},    {60, GROUP_POSITION},      {61, GROUP_NONE},
        {65, GROUP_NONE},         {69, GROUP_NONE},        {-1, GROUP_NONE},          {70, GROUP_NONE},
    };
    for (const auto& row : cases)
        EXPECT_EQ(GroupOfKind(row.kind), row.group) << "kind " << row.kind;
}

} // namespace

namespace {

// A command defers the texts to its end: the lines then show what writing
// them after every word would have shown, and a command that applies no
// block writes nothing.
TEST(MachineState, DeferredDisplayWritesTheSameTextsOnce)
{
    const auto program = Words({"G0", "X1", "\r", "G91", "X2", "Y-3.25", "\r", "G71", "Z7", "\r"});
    CCountingPanel eachWord;
    CMachineState immediate(&eachWord);
    immediate.UpdateDisplay();
    Execute(immediate, program);

    CCountingPanel deferredPanel;
    CMachineState deferred(&deferredPanel);
    deferred.UpdateDisplay();
    const int before = deferredPanel.refreshes;
    deferred.DeferDisplay();
    Execute(deferred, program);
    EXPECT_EQ(deferredPanel.refreshes, before);
    EXPECT_EQ(deferredPanel.GetControlText(IDC_POSITION_X), "0.0000");
    deferred.EndDeferredDisplay();
    EXPECT_EQ(deferredPanel.refreshes, before + 1);
    for (std::size_t line = 0; line < STATE_LINE_COUNT; ++line) {
        const int id = StateLineControlId(line);
        EXPECT_EQ(deferredPanel.GetControlText(id), eachWord.GetControlText(id)) << "control " << id;
    }

    deferred.DeferDisplay();
    deferred.ExecuteWord(nullptr);
    deferred.EndDeferredDisplay();
    EXPECT_EQ(deferredPanel.refreshes, before + 1);
}

} // namespace

namespace {

// Executing the words of a list by position keeps the same block and gives
// the same state as executing the words themselves.
TEST(MachineState, WordsByPositionActAsTheWords)
{
    CTempFile file(CrLfLines({"%", "N10 G0 X1.5 Y-2 Z0.125 (move)", "N20 G91 I3 J-4 R5 F100 X1e2", "G18 X1E400 Y0.30000000000000004 T3",
                              "N30 G71 X-0 Z9007199254740993", "H1 P5 X7"}));
    CLoaderRig rig(file.GetPath());
    ASSERT_EQ(rig.loader.Load(std::string()), 1);
    const CWordList& words = rig.loader.GetWordList();
    CMachineState byPosition(nullptr);
    CMachineState byWord(nullptr);
    for (WordPosition p = words.GetFirst(); p != CWordList::NO_POSITION; p = words.GetNext(p)) {
        byPosition.ExecuteWord(words, p);
        const CCncWord word = words.GetAt(p);
        byWord.ExecuteWord(&word);
        ASSERT_EQ(byPosition.GetBlockSize(), byWord.GetBlockSize()) << "word " << p;
        const CToolPosition& a = byPosition.GetPosition();
        const CToolPosition& b = byWord.GetPosition();
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "word " << p;
        const CMachineModes& m = byPosition.GetModes();
        const CMachineModes& n = byWord.GetModes();
        ASSERT_TRUE(m.motion == n.motion && m.plane == n.plane && m.compensation == n.compensation &&
                    m.cycle == n.cycle && m.dimensioning == n.dimensioning && m.coordSystem == n.coordSystem &&
                    m.feedMode == n.feedMode && m.spindleMode == n.spindleMode && m.lengthUnit == n.lengthUnit)
            << "word " << p;
    }
    EXPECT_EQ(byPosition.GetBlockSize(), 0u);
    EXPECT_EQ(byPosition.GetPosition().GetX(), 7.0);
    EXPECT_EQ(byPosition.GetPosition().GetY(), 0.30000000000000004);
    EXPECT_EQ(byPosition.GetPosition().GetZ(), 9007199254740992.0);
    EXPECT_EQ(byPosition.GetLengthUnit(), WK_UNIT_INCH);
}

} // namespace

namespace {

struct CRunOutcome {
    CMachineModes modes;
    std::vector<CCncValue> block;
    std::vector<std::string> texts;
    int textWrites = 0;
};

bool SameModes(const CMachineModes& m, const CMachineModes& n)
{
    const CToolPosition& a = m.position;
    const CToolPosition& b = n.position;
    return std::memcmp(&a, &b, sizeof a) == 0 && m.motion == n.motion && m.plane == n.plane &&
           m.compensation == n.compensation && m.cycle == n.cycle && m.dimensioning == n.dimensioning &&
           m.coordSystem == n.coordSystem && m.feedMode == n.feedMode && m.spindleMode == n.spindleMode &&
           m.lengthUnit == n.lengthUnit;
}

bool SameBlock(const std::vector<CCncValue>& a, const std::vector<CCncValue>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t index = 0; index < a.size(); ++index) {
        if (a[index].kind != b[index].kind || a[index].intValue != b[index].intValue ||
            std::memcmp(&a[index].realValue, &b[index].realValue, sizeof(double)) != 0)
            return false;
    }
    return true;
}

// Gathers the words before first one by one, then runs first to last either
// word by word or at once, as a command does (deferred texts, kept for a
// step back); then takes the command back when asked.
CRunOutcome RunRange(const CWordList& words, WordPosition first, WordPosition last, bool atOnce, bool stepBack)
{
    CCountingPanel panel;
    CMachineState state(&panel);
    state.UpdateDisplay();
    for (WordPosition position = 0; position < first; ++position)
        state.ExecuteWord(words, position);
    const int writesBefore = panel.refreshes;
    state.BeginUndo();
    state.DeferDisplay();
    if (atOnce) {
        state.ExecuteWords(words, first, last);
    } else {
        for (WordPosition position = first; position <= last; ++position)
            state.ExecuteWord(words, position);
    }
    state.EndDeferredDisplay();
    CMachineUndo undo = state.EndUndo();
    if (stepBack)
        state.Undo(std::move(undo));
    CRunOutcome outcome;
    outcome.modes = state.GetModes();
    outcome.block = state.GetBlock();
    outcome.textWrites = panel.refreshes - writesBefore;
    for (std::size_t line = 0; line < STATE_LINE_COUNT; ++line)
        outcome.texts.push_back(panel.GetControlText(StateLineControlId(line)));
    return outcome;
}

// A run of many words at once leaves the machine, its texts and its step
// back exactly as the words one by one would, wherever it starts and ends.
TEST(MachineState, RunOfWordsActsAsEachWordInTurn)
{
    const struct {
        const char* name;
        std::string program;
    } programs[] = {
        {"every group set, some twice in a block",
         CrLfLines({"N10 G0 G17 G40 G80 G54 G90 G94 G97 G71 X1 Y2 Z3", "N20 G1 G2 X4.5 X5.5 Z-1", "G18 G41 G81 G55 G91",
                    "G95 G96 G70 Y-0.125 (comment) I3 J4 R5", "N30 G3 X1e400 T2 M6", "Z0.30000000000000004"})},
        {"a group set only in the block gathered before the run",
         CrLfLines({"G1 X1", "G19 G42 Y9 Z8 F100", "X2", "X3", "X4 Y5"})},
        {"no block end after the first words", "G0 X1 Y2 Z3 G91 G70 F100 S200 T1 M3"},
        {"block ends only", CrLfLines({"", "", "", ""})},
        {"comments and empty words between the blocks",
         CrLfLines({"(start)", "N10 G2 X1 ; rest", "( open comment", "N20 G3 Y2 (a) (b) Z3", "(end)"})},
    };
    for (const auto& program : programs) {
        CTempFile file(program.program);
        CLoaderRig rig(file.GetPath());
        ASSERT_EQ(rig.loader.Load(std::string()), 1) << program.name;
        const CWordList& words = rig.loader.GetWordList();
        const WordPosition count = words.GetCount();
        for (WordPosition first = 0; first < count; ++first) {
            for (WordPosition last = first; last < count; ++last) {
                for (const bool stepBack : {false, true}) {
                    SCOPED_TRACE(std::string(program.name) + ", words " + std::to_string(first) + " to " +
                                 std::to_string(last) + (stepBack ? ", stepped back" : ""));
                    const CRunOutcome oneByOne = RunRange(words, first, last, false, stepBack);
                    const CRunOutcome atOnce = RunRange(words, first, last, true, stepBack);
                    EXPECT_TRUE(SameModes(atOnce.modes, oneByOne.modes));
                    EXPECT_TRUE(SameBlock(atOnce.block, oneByOne.block));
                    EXPECT_EQ(atOnce.texts, oneByOne.texts);
                    EXPECT_EQ(atOnce.textWrites, oneByOne.textWrites);
                }
            }
        }
    }
}

} // namespace
