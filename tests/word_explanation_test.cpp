#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "path_builder.h"
#include "test_support.h"
#include "word_explanation.h"

namespace {

// Every enumerator, the modal-only codes included.
constexpr WordKind allKinds[] = {
    WK_NONE,          WK_RAPID,         WK_LINEAR,        WK_CLOCKWISE,
    WK_COUNTER_CLOCKWISE, WK_DWELL,     WK_PARABLE,       WK_THREAD_LINEAR,
    WK_THREAD_INCR,   WK_THREAD_DECR,   WK_PLANE_XY,      WK_PLANE_YZ,
    WK_PLANE_XZ,      WK_COMP_OFF,      WK_COMP_LEFT,     WK_COMP_RIGHT,
    WK_COMP_POSITIVE, WK_COMP_NEGATIVE, WK_CYCLE_OFF,     WK_CYCLE_1,
    WK_CYCLE_2,       WK_CYCLE_3,       WK_CYCLE_4,       WK_CYCLE_5,
    WK_CYCLE_6,       WK_CYCLE_7,       WK_CYCLE_8,       WK_CYCLE_9,
    WK_COORD_MACHINE, WK_COORD_UCS_1,   WK_COORD_UCS_2,   WK_COORD_UCS_3,
    WK_COORD_UCS_4,   WK_COORD_UCS_5,   WK_COORD_UCS_6,   WK_ABSOLUTE,
    WK_RELATIVE,      WK_FEED_PER_MIN,  WK_FEED_REL,      WK_SPINDLE_CUTTING_SPEED,
    WK_SPINDLE_RPM,   WK_UNIT_INCH,     WK_UNIT_MM,       WK_X,
    WK_Y,             WK_Z,             WK_R,             WK_I,
    WK_J,             WK_K,             WK_BLOCK_NUMBER,  WK_FEED_RATE,
    WK_SPINDLE_SPEED, WK_L,             WK_TOOL,          WK_MISC,
    WK_COMMENT,       WK_END_OF_BLOCK,
};

const std::string UNKNOWN_CODE = "ohne Bedeutung f\xFC" "r diese Steuerung";

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

TEST(WordExplanation, EveryKindHasItsOwnExplanation)
{
    // The codes 0 to 69 that no enumerator names.
    ASSERT_EQ(std::size(allKinds), 70u - 12u);
    for (const WordKind kind : allKinds) {
        SCOPED_TRACE(kind);
        CCncValue value;
        value.kind = kind;
        const std::string text = kind == WK_END_OF_BLOCK ? "\r" : "Q7";
        const std::string label = kind == WK_END_OF_BLOCK ? "Satzende: " : "Q7: ";
        const std::string explanation = ExplainWord(text, value);
        ASSERT_TRUE(StartsWith(explanation, label)) << explanation;
        EXPECT_GT(explanation.size(), label.size());
        EXPECT_EQ(explanation.find(UNKNOWN_CODE), std::string::npos) << explanation;
    }
}

TEST(WordExplanation, UnnamedCodesHaveNoMeaning)
{
    for (const std::int32_t code : {14, 26, 27, 49, 53, 55, 57, 65, -1, 70}) {
        SCOPED_TRACE(code);
        CCncValue value;
        value.kind = static_cast<WordKind>(code);
        EXPECT_EQ(ExplainWord("X1", value), "X1: " + UNKNOWN_CODE);
    }
}

TEST(WordExplanation, EveryAddressTheClassifierKnows)
{
    const char* const words[] = {"(x)", "F100", "G1", "I1", "J1", "K1", "L1", "M3", "N10", "R5", "S1000",
                                 "T1", "X1", "Y1", "Z1", "f100", "g1", "i1", "j1", "k1", "l1", "m3",
                                 "n10", "r5", "s1000", "t1", "x1", "y1", "z1"};
    for (const std::string word : words) {
        SCOPED_TRACE(word);
        const std::string explanation = ExplainWord(word);
        ASSERT_TRUE(StartsWith(explanation, word + ": ")) << explanation;
        EXPECT_GT(explanation.size(), word.size() + 2);
        EXPECT_EQ(explanation.find("unbekannt"), std::string::npos) << explanation;
        EXPECT_EQ(explanation.find("ung\xFC" "ltig"), std::string::npos) << explanation;
    }
}

struct Expected {
    const char* name;
    std::string word;
    std::string explanation;
};

TEST(WordExplanation, ExactTexts)
{
    const Expected cases[] = {
        {"clockwise arc", "G02", "G02: Kreisbogen im Uhrzeigersinn"},
        {"counter-clockwise arc", "G3", "G3: Kreisbogen gegen den Uhrzeigersinn"},
        {"rapid", "G0", "G0: Eilgang"},
        {"lower-case linear", "g1", "g1: Gerade im Vorschub"},
        {"G without digits is rapid", "GOTO 10 ; loop", "GOTO 10 ; loop: Eilgang"},
        {"dwell", "G04", "G04: Verweilzeit"},
        {"thread", "G33", "G33: Gewindeschneiden mit konstanter Steigung"},
        {"G18 is the X/Z plane", "G18", "G18: Arbeitsebene X/Z"},
        {"G19 is the Y/Z plane", "G19", "G19: Arbeitsebene Y/Z"},
        {"G21 millimetres", "G21", "G21: L\xE4" "ngeneinheit Millimeter"},
        {"G70 millimetres here, inch in DIN 66025", "G70",
         "G70: L\xE4" "ngeneinheit Millimeter (bei dieser Steuerung; nach DIN 66025 bedeutet G70 Zoll)"},
        {"G71 inch here, millimetres in DIN 66025", "G71",
         "G71: L\xE4" "ngeneinheit Zoll (bei dieser Steuerung; nach DIN 66025 bedeutet G71 Millimeter) - wird "
         "angezeigt, die Zahlen werden nicht umgerechnet"},
        {"G22 inch here, G20 elsewhere", "G22",
         "G22: L\xE4" "ngeneinheit Zoll (bei dieser Steuerung; bei vielen Steuerungen ist Zoll G20) - wird "
         "angezeigt, die Zahlen werden nicht umgerechnet"},
        {"G20 is ignored and points to the inch words", "G20",
         "G20: unbekannt f\xFC" "r diese Steuerung - wird ignoriert (bei vielen Steuerungen Zoll; hier ist Zoll G22 "
         "oder G71)"},
        {"G87 is evaluated nowhere", "G87",
         "G87: Ausdrehzyklus - wird von dieser Steuerung nicht ausgewertet, auch nicht im Werkzeugweg"},
        {"G43 is a tool word", "G43",
         "G43: Werkzeugl\xE4" "ngenkorrektur positiv - z\xE4" "hlt hier als Werkzeugwort (Halt bei "
         "\"Werkzeugwechsel\"), wird sonst nicht ausgewertet"},
        {"G50 is a tool word", "G50",
         "G50: z\xE4" "hlt hier als Werkzeugwort (Halt bei \"Werkzeugwechsel\"), wird sonst nicht ausgewertet"},
        {"unknown G number", "G77", "G77: unbekannt f\xFC" "r diese Steuerung - wird ignoriert"},
        {"unknown G number above the cycles", "G100", "G100: unbekannt f\xFC" "r diese Steuerung - wird ignoriert"},
        {"negative G number", "G-1", "G-1: unbekannt f\xFC" "r diese Steuerung - wird ignoriert"},
        {"machine coordinates", "G53", "G53: Maschinenkoordinaten"},
        {"first work offset", "G54", "G54: Werkst\xFC" "cknullpunkt 1 (UCS 1)"},
        {"sixth work offset", "G59", "G59: Werkst\xFC" "cknullpunkt 6 (UCS 6)"},
        {"absolute", "G90", "G90: Absolutma\xDF"},
        {"relative", "G91",
         "G91: Kettenma\xDF (inkrementell): die folgenden Koordinaten z\xE4" "hlen ab der letzten Position"},
        {"X target", "X12.5", "X12.5: Ziel X = 12.5"},
        {"value as written", "x1e2", "x1e2: Ziel X = 1e2"},
        {"Y target", "Y-3", "Y-3: Ziel Y = -3"},
        {"Z target", "Z.5", "Z.5: Ziel Z = .5"},
        {"R alone reads 0", "R",
         "R: Kreisradius 0 oder im Bohrzyklus die R-Ebene, bis zu der im Eilgang gefahren wird - gilt f\xFC" "r "
         "Werkzeugweg und Werkst\xFC" "ck, die Felder des Panels zeigen es nicht"},
        {"arc centre from the start", "I5",
         "I5: Kreismittelpunkt in X-Richtung 5 vom Kreisanfang aus (wird von dieser Steuerung nicht angezeigt)"},
        {"feed in millimetres", "F1200", "F1200: Vorschub 1200 mm/min (wird von dieser Steuerung nicht angezeigt)"},
        {"spindle speed", "S1000", "S1000: Spindeldrehzahl 1000 (wird von dieser Steuerung nicht angezeigt)"},
        {"tool", "T3", "T3: Werkzeug 3"},
        {"tool with offset digits", "T0101", "T0101: Werkzeug 0101"},
        {"block number", "N10", "N10: Satznummer 10"},
        {"L word", "L5", "L5: Wiederholungen oder Unterprogramm 5 - wird von dieser Steuerung nicht ausgewertet"},
        {"program stop", "M0", "M0: programmierter Halt - diese Steuerung h\xE4" "lt hier nicht an"},
        {"optional stop", "M01", "M01: wahlweiser Halt - diese Steuerung h\xE4" "lt hier nicht an"},
        {"M2 program end", "M2", "M2: Programmende"},
        {"spindle clockwise", "M03", "M03: Spindel ein, im Uhrzeigersinn - wird von dieser Steuerung nicht ausgewertet"},
        {"spindle counter-clockwise", "M4",
         "M4: Spindel ein, gegen den Uhrzeigersinn - wird von dieser Steuerung nicht ausgewertet"},
        {"spindle off", "M5", "M5: Spindel aus - wird von dieser Steuerung nicht ausgewertet"},
        {"tool change", "M6", "M6: Werkzeugwechsel (der Halt \"Werkzeugwechsel\" gilt dem T-Wort, nicht M6)"},
        {"second coolant", "M7",
         "M7: K\xFC" "hlmittel 2 ein (oft Nebelk\xFC" "hlung) - wird von dieser Steuerung nicht ausgewertet"},
        {"coolant on", "M8", "M8: K\xFC" "hlmittel ein - wird von dieser Steuerung nicht ausgewertet"},
        {"coolant off", "M9", "M9: K\xFC" "hlmittel aus - wird von dieser Steuerung nicht ausgewertet"},
        {"program end", "M30", "M30: Programmende"},
        {"unnamed M number", "M77", "M77: Zusatzfunktion 77 - wird von dieser Steuerung nicht ausgewertet"},
        {"end of block", "\r", "Satzende: der Satz wird ausgef\xFC" "hrt"},
        {"end of block with top bit", "\x8D", "Satzende: der Satz wird ausgef\xFC" "hrt"},
        {"comment", "(Tasche 40 x 20)", "(Tasche 40 x 20): Kommentar"},
        {"semicolon comment", "; Notiz", "; Notiz: Kommentar"},
        {"empty word", "", "leeres Wort: wird ignoriert"},
        {"program number", "O100", "O100: Programmnummer - wird von dieser Steuerung ignoriert"},
        {"length offset number", "h1",
         "h1: Nummer der Werkzeugl\xE4" "ngenkorrektur - wird von dieser Steuerung ignoriert"},
        {"rotary axis", "A90", "A90: Drehachse A - wird von dieser Steuerung ignoriert"},
        {"H1 D1 is one word of two letters", "H1D1",
         "H1D1: Nummer der Werkzeugl\xE4" "ngenkorrektur - wird von dieser Steuerung ignoriert; D1: Nummer der "
         "Werkzeugradiuskorrektur - wird von dieser Steuerung ignoriert"},
        {"D after a tool keeps the tool's number", "t2d1",
         "t2d1: Werkzeug 2; d1: Nummer der Werkzeugradiuskorrektur - wird von dieser Steuerung ignoriert"},
        {"L joined to a G word is no L word", "G01L5",
         "G01L5: Gerade im Vorschub; L5: Wiederholungen oder Unterprogramm - wird von dieser Steuerung ignoriert"},
        {"an exponent is part of the number", "X1E2", "X1E2: Ziel X = 1E2"},
        {"percent", "%", "%: Anfangs- oder Endezeichen des Programms - wird ignoriert"},
        {"digit first", "5", "5: unbekannt f\xFC" "r diese Steuerung - wird ignoriert"},
        {"byte above 127 first", "\xE4" "x", "\xE4" "x: unbekannt f\xFC" "r diese Steuerung - wird ignoriert"},
    };
    for (const Expected& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExplainWord(row.word), row.explanation);
    }
}

// The words that the cut path carries out and the panel leaves as they are:
// each says what the machine does and that the panel's fields do not show it.
TEST(WordExplanation, CutPathWords)
{
    const std::string note = " - gilt f\xFC" "r Werkzeugweg und Werkst\xFC" "ck, die Felder des Panels zeigen es nicht";
    const Expected cases[] = {
        {"G40 departs to the contour", "G40",
         "G40: Werkzeugradiuskorrektur aus: die n\xE4" "chste Gerade in X/Y f\xE4" "hrt vom Versatz zur\xFC" "ck auf "
         "die programmierte Kontur (Wegfahren)" + note},
        {"G41 is the left side", "G41",
         "G41: Werkzeugradiuskorrektur links: der Fr\xE4" "ser f\xE4" "hrt um seinen Radius links neben der Kontur "
         "(in Fahrtrichtung gesehen); Anfahren mit einer Geraden, nur in G17" + note},
        {"G42 is the right side", "g42",
         "g42: Werkzeugradiuskorrektur rechts: der Fr\xE4" "ser f\xE4" "hrt um seinen Radius rechts neben der "
         "Kontur (in Fahrtrichtung gesehen); Anfahren mit einer Geraden, nur in G17" + note},
        {"G73 breaks the chip", "G73",
         "G73: Tieflochbohrzyklus mit Spanbruch: bohrt in Zustellungen Q und hebt nach jeder nur 0.25 ab" + note},
        {"G80 ends the cycle", "G80",
         "G80: Bohrzyklus aus (ebenso G0 bis G3): Z, R und Q des Zyklus gelten nicht mehr" + note},
        {"G81 drills at every later X or Y", "G81",
         "G81: Bohrzyklus: im Eilgang auf R, im Vorschub auf Z, im Eilgang zur\xFC" "ck; jeder folgende Satz mit X "
         "oder Y bohrt ein weiteres Loch" + note},
        {"G82 dwells", "G82", "G82: Bohrzyklus mit Verweilzeit P am Lochgrund, Weg wie G81" + note},
        {"G83 pecks back to R", "G083",
         "G083: Tieflochbohrzyklus: bohrt in Zustellungen Q und f\xE4" "hrt nach jeder zum Entspanen auf R "
         "zur\xFC" "ck" + note},
        {"G84 is evaluated nowhere", "G84",
         "G84: Gewindebohrzyklus - wird von dieser Steuerung nicht ausgewertet, auch nicht im Werkzeugweg"},
        {"G85 feeds back", "G85", "G85: Reibzyklus: im Vorschub auf Z und im Vorschub zur\xFC" "ck auf R" + note},
        {"G86 runs as G81", "G86", "G86: Ausdrehzyklus mit Spindelhalt am Lochgrund, Weg wie G81" + note},
        {"G88 is evaluated nowhere", "G88",
         "G88: Ausdrehzyklus - wird von dieser Steuerung nicht ausgewertet, auch nicht im Werkzeugweg"},
        {"G89 runs as G85", "G89", "G89: Ausdrehzyklus mit Verweilzeit P am Lochgrund, Weg wie G85" + note},
        {"G98 returns to the initial level", "G98",
         "G98: Bohrzyklus: nach jedem Loch zur\xFC" "ck auf die Ausgangsebene (die h\xF6" "here von "
         "Anfangsh\xF6" "he und R)" + note},
        {"G99 returns to R", "G99", "G99: Bohrzyklus: nach jedem Loch zur\xFC" "ck auf die R-Ebene" + note},
        {"R is a radius or the retract plane", "R2.5",
         "R2.5: Kreisradius 2.5 oder im Bohrzyklus die R-Ebene, bis zu der im Eilgang gefahren wird" + note},
        {"Q of its own is the peck", "Q2", "Q2: Zustellung 2 je Schritt im Tieflochbohrzyklus G83 oder G73" + note},
        {"P is a dwell", "p500",
         "p500: Verweilzeit 500 (G4, im Bohrzyklus G82 und G89), l\xE4" "sst den Weg unver\xE4" "ndert" + note},
        {"Q joined to G83 is lost", "G83Q2",
         "G83Q2: Tieflochbohrzyklus: bohrt in Zustellungen Q und f\xE4" "hrt nach jeder zum Entspanen auf R "
         "zur\xFC" "ck" + note + "; Q2: Parameter Q - h\xE4" "ngt am Wort davor und wird ignoriert; als eigenes Wort "
         "nur am Zeilenanfang oder nach einem Kommentar"},
    };
    for (const Expected& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExplainWord(row.word), row.explanation);
    }
}

// The tooltip reads the loaded word list: a Q or P is a word of its own only
// where the reader starts one.
TEST(WordExplanation, CutPathWordsInAProgram)
{
    CLoaderRig rig;
    rig.LoadBytes(CrLfLines({"Q2 G83 X10 Z-8 R1", "G82 X1 Z-1 R1 (t)P2", "G83 Q3 X5", "G4P1"}));
    const CWordList& words = rig.loader.GetWordList();
    const struct {
        const char* name;
        WordPosition word;
        std::string start;
    } cases[] = {
        {"Q at the line start", 0, "Q2: Zustellung 2 "},
        {"R in a cycle block", 4, "R1: Kreisradius 1 oder im Bohrzyklus die R-Ebene"},
        {"P after a comment", 11, "P2: Verweilzeit 2 "},
        {"Q after a word joins it", 13, "G83Q3: Tieflochbohrzyklus: "},
        {"P after a word starts its own", 17, "P1: Verweilzeit 1 "},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        ASSERT_LT(row.word, words.GetCount());
        const std::string explanation = ExplainWordAt(words, row.word);
        EXPECT_TRUE(StartsWith(explanation, row.start)) << explanation;
    }
}

TEST(WordExplanation, RejectedWordsAreSyntaxErrors)
{
    const Expected cases[] = {
        {"letter alone", "X", "X: ung\xFC" "ltiges Wort - hier bricht das Laden mit einem Syntaxfehler ab"},
        {"comma is no decimal point", "X12,5",
         "X12,5: ung\xFC" "ltiges Wort - hier bricht das Laden mit einem Syntaxfehler ab"},
        {"M alone", "m", "m: ung\xFC" "ltiges Wort - hier bricht das Laden mit einem Syntaxfehler ab"},
    };
    for (const Expected& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExplainWord(row.word), row.explanation);
    }
}

struct ModesCase {
    const char* name;
    std::string program;
    WordPosition word;
    std::string explanation;
};

// A block is applied as a whole, so its last G90/G91 and unit word hold for
// all its coordinates, also for those written before them.
TEST(WordExplanation, CoordinatesFollowTheModesOfTheirBlock)
{
    const ModesCase cases[] = {
        {"G91 before X in the block", CrLfLines({"G91 X10"}), 1, "X10: 10 in X weiter (Kettenma\xDF)"},
        {"G91 after X in the block", CrLfLines({"X10 G91"}), 0, "X10: 10 in X weiter (Kettenma\xDF)"},
        {"G91 of an earlier block", CrLfLines({"G91", "Y-2.5"}), 2, "Y-2.5: -2.5 in Y weiter (Kettenma\xDF)"},
        {"a later G90 in the block wins", CrLfLines({"G91", "G91 Z3 G90"}), 3, "Z3: Ziel Z = 3"},
        {"the next block's G90 does not reach back", CrLfLines({"G91 X1", "G90 X2"}), 1,
         "X1: 1 in X weiter (Kettenma\xDF)"},
        {"before the first G91", CrLfLines({"X4", "G91"}), 0, "X4: Ziel X = 4"},
        {"an unfinished last block", "X7 G91 Y1", 0, "X7: 7 in X weiter (Kettenma\xDF)"},
        {"the words before a syntax error", CrLfLines({"G91", "X1", "X"}), 2, "X1: 1 in X weiter (Kettenma\xDF)"},
        {"feed before a G71 in the block", CrLfLines({"G70", "F100 G71"}), 2,
         "F100: Vorschub 100 Zoll/min (wird von dieser Steuerung nicht angezeigt)"},
    };
    for (const ModesCase& row : cases) {
        SCOPED_TRACE(row.name);
        CLoaderRig rig;
        rig.LoadBytes(row.program);
        const CWordList& words = rig.loader.GetWordList();
        ASSERT_LT(row.word, words.GetCount());
        EXPECT_EQ(ExplainWordAt(words, row.word), row.explanation);
    }
}

// What the explanation says of each X word is what the path does with it.
TEST(WordExplanation, AgreesWithThePath)
{
    CLoaderRig rig;
    rig.LoadBytes(CrLfLines({"G0 X100", "X1 G91", "G90 Y2 G91 G1 X3", "X4 (mm) G90 G91", "G90", "X5 G91 G90",
                             "G91 X6 G70"}));
    const CWordList& words = rig.loader.GetWordList();
    struct CSink : IPathSink {
        void AddMove(const CPathMove& move) override { moves.push_back(move); }
        std::vector<CPathMove> moves;
    } sink;
    CPathBuilder(words, 0).Build(sink);
    ASSERT_EQ(sink.moves.size(), 6u);
    for (const CPathMove& move : sink.moves) {
        for (WordPosition word = move.blockFirstWord; word <= move.endWord; ++word) {
            if (words.GetKind(word) != WK_X)
                continue;
            const double value = words.GetValue(word).realValue;
            const std::string explanation = ExplainWordAt(words, word);
            SCOPED_TRACE(explanation);
            const bool step = explanation.find(" in X weiter ") != std::string::npos;
            EXPECT_EQ(move.to[0], step ? move.from[0] + value : value);
        }
    }
}

TEST(WordExplanation, TheModeIndexKeepsChangesOnly)
{
    // Programs often repeat their modes in every block.
    CModeIndex index;
    for (std::size_t block = 0; block < 1000; ++block) {
        index.Take(3 * block, block < 10 ? WK_ABSOLUTE : WK_RELATIVE);
        index.Take(3 * block + 1, block < 500 ? WK_UNIT_MM : WK_UNIT_INCH);
        index.Take(3 * block + 2, WK_END_OF_BLOCK);
    }
    EXPECT_EQ(index.GetChangeCount(), 2u);
    EXPECT_EQ(index.GetAt(1499), (CBlockModes{WK_RELATIVE, WK_UNIT_MM}));
    EXPECT_EQ(index.GetAt(1500), (CBlockModes{WK_RELATIVE, WK_UNIT_INCH}));
}

// The index taken in batches of any size gives every word the last G90/G91
// and unit word up to its block's end, mode words at any place in a batch.
TEST(WordExplanation, TheModeIndexTakesBatchesAsSingleWords)
{
    // Mostly plain words and ends of blocks, a mode word now and then:
    // every 37th word, so that they fall at every place of a batch. G94
    // lies among the mode words' kinds without being one.
    std::vector<std::uint8_t> kinds;
    const WordKind modeWords[] = {WK_RELATIVE, WK_UNIT_INCH, WK_ABSOLUTE, WK_UNIT_MM};
    for (std::size_t word = 0; word < 3000; ++word) {
        if (word % 37 == 5)
            kinds.push_back(modeWords[(word / 37) % 4]);
        else if (word % 7 == 6 || (word > 2000 && word % 41 == 0))
            kinds.push_back(WK_END_OF_BLOCK);
        else
            kinds.push_back(word % 97 == 3 ? WK_FEED_PER_MIN : word % 2 == 0 ? WK_X : WK_FEED_RATE);
    }
    // The rule, block by block: the modes at each block's end.
    std::vector<CBlockModes> expected(kinds.size());
    CBlockModes modes;
    std::size_t blockFirst = 0;
    for (std::size_t word = 0; word < kinds.size(); ++word) {
        if (kinds[word] == WK_ABSOLUTE || kinds[word] == WK_RELATIVE)
            modes.dimensioning = kinds[word];
        if (kinds[word] == WK_UNIT_INCH || kinds[word] == WK_UNIT_MM)
            modes.lengthUnit = kinds[word];
        if (kinds[word] == WK_END_OF_BLOCK || word + 1 == kinds.size()) {
            std::fill(expected.begin() + static_cast<std::ptrdiff_t>(blockFirst),
                      expected.begin() + static_cast<std::ptrdiff_t>(word) + 1, modes);
            blockFirst = word + 1;
        }
    }
    for (const std::size_t batchSize : {std::size_t(1), std::size_t(7), std::size_t(16), std::size_t(33),
                                        std::size_t(256)}) {
        SCOPED_TRACE(batchSize);
        CModeIndex index;
        for (std::size_t first = 0; first < kinds.size(); first += batchSize)
            index.Take(first, kinds.data() + first, std::min(batchSize, kinds.size() - first));
        for (std::size_t word = 0; word < kinds.size(); ++word)
            ASSERT_EQ(index.GetAt(word), expected[word]) << "word " << word;
    }
}

} // namespace

namespace {

// The empty word the reader puts before a comment that starts a line reads
// as the comment line it begins; an empty word elsewhere stays one.
TEST(WordExplanation, CommentLinesAreExplainedAsComments)
{
    const std::string commentLine = "Kommentarzeile: die Zeile ist ein Kommentar - wird ignoriert";
    const struct {
        const char* name;
        const char* program;
        std::size_t position;
        std::string expected;
    } rows[] = {
        {"a line that is a parenthesis comment", "%\r\n(Tasche fraesen)\r\n", 2, commentLine},
        {"a line that is a semicolon comment", "%\r\n;Tasche fraesen\r\n", 2, commentLine},
        {"the comment itself", "%\r\n(Tasche fraesen)\r\n", 3, "(Tasche fraesen): Kommentar"},
        {"a comment after a word is no comment line", "%\r\nG1 (Tasche)\r\n", 3, "(Tasche): Kommentar"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CLoaderRig rig;
        ASSERT_EQ(rig.LoadBytes(row.program), 1);
        const CWordList& words = rig.loader.GetWordList();
        ASSERT_LT(row.position, words.GetCount());
        EXPECT_EQ(ExplainWordAt(words, row.position), row.expected);
    }
}

} // namespace
