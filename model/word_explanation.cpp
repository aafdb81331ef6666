#include "word_explanation.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "cnc_bytes.h"

namespace {

// Addresses are first bytes 0 to 255, folded to upper case.
constexpr int ANY_ADDRESS = -1;
constexpr int NO_FIRST_BYTE = 256;
constexpr std::int32_t LOWEST_NUMBER = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t HIGHEST_NUMBER = std::numeric_limits<std::int32_t>::max();

// "{}" in a text stands for the value as the word wrote it.
constexpr std::string_view VALUE_MARK = "{}";

// What a row asks of the modes the word's block is applied with.
enum ModeCondition { ANY_MODES, UNDER_RELATIVE, UNDER_INCH };

struct ExplanationRow {
    WordKind kind;
    // The folded first byte, ANY_ADDRESS, or NO_FIRST_BYTE for an empty word.
    int address;
    // The G or M number range a row is for; the whole range otherwise.
    std::int32_t firstNumber;
    std::int32_t lastNumber;
    ModeCondition condition;
    const char* text;
};

constexpr ExplanationRow ForKind(WordKind kind, const char* text)
{
    return {kind, ANY_ADDRESS, LOWEST_NUMBER, HIGHEST_NUMBER, ANY_MODES, text};
}

constexpr ExplanationRow ForKindUnder(WordKind kind, ModeCondition condition, const char* text)
{
    return {kind, ANY_ADDRESS, LOWEST_NUMBER, HIGHEST_NUMBER, condition, text};
}

constexpr ExplanationRow ForNumbers(WordKind kind, int address, std::int32_t first, std::int32_t last,
                                    const char* text)
{
    return {kind, address, first, last, ANY_MODES, text};
}

constexpr ExplanationRow ForNumber(WordKind kind, int address, std::int32_t number, const char* text)
{
    return ForNumbers(kind, address, number, number, text);
}

// A letter that the classifier has no address for, first in a word (which
// then has no kind) or joined to one.
constexpr ExplanationRow ForLetter(int address, const char* text)
{
    return {WK_NONE, address, LOWEST_NUMBER, HIGHEST_NUMBER, ANY_MODES, text};
}

// The first matching row wins, so the rows for single G and M numbers and for
// letters come before the row of their kind. In code page 1252 "\xE4" is
// "a umlaut", "\xFC" "u umlaut" and "\xDF" "sharp s"; each escape closes its
// literal, since a hex digit after it would be read as part of it.
//
// G numbers without a kind of their own, M words, and the letters the
// classifier does not know reach the machine state as words of no group or
// not at all: their texts say that the controller does not evaluate them.
// Where this controller reads a number otherwise than DIN 66025 or most
// controls do, the text says both, so that a learner is not misled.
constexpr ExplanationRow explanations[] = {
    ForNumber(WK_NONE, 'G', 20,
              "unbekannt f\xFC" "r diese Steuerung - wird ignoriert (bei vielen Steuerungen Zoll; hier ist Zoll "
              "G22 oder G71)"),
    ForNumber(WK_NONE, 'G', 40, "Werkzeugradiuskorrektur aus - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 41, "Werkzeugradiuskorrektur links - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 42, "Werkzeugradiuskorrektur rechts - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 44, "Werkzeugl\xE4" "ngenkorrektur negativ - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 80, "Zyklus aus - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 81, "Bohrzyklus - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 82, "Bohrzyklus mit Verweilzeit - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 83, "Tieflochbohrzyklus - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 84, "Gewindebohrzyklus - wird von dieser Steuerung nicht ausgewertet"),
    ForNumbers(WK_NONE, 'G', 85, 89, "Ausdrehzyklus - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 94, "Vorschub pro Minute - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 95, "Vorschub pro Umdrehung - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 96, "konstante Schnittgeschwindigkeit - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_NONE, 'G', 97, "konstante Drehzahl - wird von dieser Steuerung nicht ausgewertet"),
    // The classifier makes G43 and G50 tool words, so "Werkzeugwechsel" stops there.
    ForNumber(WK_TOOL, 'G', 43,
              "Werkzeugl\xE4" "ngenkorrektur positiv - z\xE4" "hlt hier als Werkzeugwort (Halt bei "
              "\"Werkzeugwechsel\"), wird sonst nicht ausgewertet"),
    ForNumber(WK_TOOL, 'G', 50,
              "z\xE4" "hlt hier als Werkzeugwort (Halt bei \"Werkzeugwechsel\"), wird sonst nicht ausgewertet"),
    ForNumber(WK_UNIT_MM, 'G', 70,
              "L\xE4" "ngeneinheit Millimeter (bei dieser Steuerung; nach DIN 66025 bedeutet G70 Zoll)"),
    // Nor does the machine state convert coordinates to another unit.
    ForNumber(WK_UNIT_INCH, 'G', 71,
              "L\xE4" "ngeneinheit Zoll (bei dieser Steuerung; nach DIN 66025 bedeutet G71 Millimeter) - wird "
              "angezeigt, die Zahlen werden nicht umgerechnet"),
    ForNumber(WK_UNIT_INCH, 'G', 22,
              "L\xE4" "ngeneinheit Zoll (bei dieser Steuerung; bei vielen Steuerungen ist Zoll G20) - wird "
              "angezeigt, die Zahlen werden nicht umgerechnet"),

    ForNumber(WK_MISC, 'M', 0, "programmierter Halt - diese Steuerung h\xE4" "lt hier nicht an"),
    ForNumber(WK_MISC, 'M', 1, "wahlweiser Halt - diese Steuerung h\xE4" "lt hier nicht an"),
    ForNumber(WK_MISC, 'M', 2, "Programmende"),
    ForNumber(WK_MISC, 'M', 3, "Spindel ein, im Uhrzeigersinn - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_MISC, 'M', 4, "Spindel ein, gegen den Uhrzeigersinn - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_MISC, 'M', 5, "Spindel aus - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_MISC, 'M', 6, "Werkzeugwechsel (der Halt \"Werkzeugwechsel\" gilt dem T-Wort, nicht M6)"),
    ForNumber(WK_MISC, 'M', 7, "K\xFC" "hlmittel 2 ein (oft Nebelk\xFC" "hlung) - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_MISC, 'M', 8, "K\xFC" "hlmittel ein - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_MISC, 'M', 9, "K\xFC" "hlmittel aus - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_MISC, 'M', 30, "Programmende"),
    ForNumber(WK_MISC, 'M', 98, "Unterprogrammaufruf - wird von dieser Steuerung nicht ausgewertet"),
    ForNumber(WK_MISC, 'M', 99, "Unterprogrammende - wird von dieser Steuerung nicht ausgewertet"),

    // The reader gives an empty word before a comment that opens a line.
    ForLetter(NO_FIRST_BYTE, "wird ignoriert"),
    // A ";" comment is a word without a kind to the classifier, yet still a comment.
    ForLetter(';', "Kommentar"),
    ForLetter('%', "Anfangs- oder Endezeichen des Programms - wird ignoriert"),
    ForLetter('A', "Drehachse A - wird von dieser Steuerung ignoriert"),
    ForLetter('B', "Drehachse B - wird von dieser Steuerung ignoriert"),
    ForLetter('C', "Drehachse C - wird von dieser Steuerung ignoriert"),
    ForLetter('D', "Nummer der Werkzeugradiuskorrektur - wird von dieser Steuerung ignoriert"),
    ForLetter('H', "Nummer der Werkzeugl\xE4" "ngenkorrektur - wird von dieser Steuerung ignoriert"),
    // A joined L belongs to the word before it and is never an L word.
    ForLetter('L', "Wiederholungen oder Unterprogramm - wird von dieser Steuerung ignoriert"),
    ForLetter('O', "Programmnummer - wird von dieser Steuerung ignoriert"),
    ForLetter('P', "Parameter P (etwa Verweilzeit oder Unterprogramm) - wird von dieser Steuerung ignoriert"),
    ForLetter('Q', "Parameter Q - wird von dieser Steuerung ignoriert"),
    ForLetter('U', "Zusatzachse U (parallel zu X) - wird von dieser Steuerung ignoriert"),
    ForLetter('V', "Zusatzachse V (parallel zu Y) - wird von dieser Steuerung ignoriert"),
    ForLetter('W', "Zusatzachse W (parallel zu Z) - wird von dieser Steuerung ignoriert"),

    ForKind(WK_NONE, "unbekannt f\xFC" "r diese Steuerung - wird ignoriert"),
    ForKind(WK_RAPID, "Eilgang"),
    ForKind(WK_LINEAR, "Gerade im Vorschub"),
    ForKind(WK_CLOCKWISE, "Kreisbogen im Uhrzeigersinn"),
    ForKind(WK_COUNTER_CLOCKWISE, "Kreisbogen gegen den Uhrzeigersinn"),
    ForKind(WK_DWELL, "Verweilzeit"),
    ForKind(WK_PARABLE, "Parabel"),
    ForKind(WK_THREAD_LINEAR, "Gewindeschneiden mit konstanter Steigung"),
    ForKind(WK_THREAD_INCR, "Gewindeschneiden mit zunehmender Steigung"),
    ForKind(WK_THREAD_DECR, "Gewindeschneiden mit abnehmender Steigung"),
    ForKind(WK_PLANE_XY, "Arbeitsebene X/Y"),
    ForKind(WK_PLANE_YZ, "Arbeitsebene Y/Z"),
    ForKind(WK_PLANE_XZ, "Arbeitsebene X/Z"),
    // No word gets the compensation, cycle, feed-mode or spindle-mode codes;
    // they are explained for the modal values that carry them.
    ForKind(WK_COMP_OFF, "Werkzeugkorrektur aus"),
    ForKind(WK_COMP_LEFT, "Werkzeugradiuskorrektur links"),
    ForKind(WK_COMP_RIGHT, "Werkzeugradiuskorrektur rechts"),
    ForKind(WK_COMP_POSITIVE, "Werkzeugkorrektur positiv"),
    ForKind(WK_COMP_NEGATIVE, "Werkzeugkorrektur negativ"),
    ForKind(WK_CYCLE_OFF, "Zyklus aus"),
    ForKind(WK_CYCLE_1, "Zyklus 1"),
    ForKind(WK_CYCLE_2, "Zyklus 2"),
    ForKind(WK_CYCLE_3, "Zyklus 3"),
    ForKind(WK_CYCLE_4, "Zyklus 4"),
    ForKind(WK_CYCLE_5, "Zyklus 5"),
    ForKind(WK_CYCLE_6, "Zyklus 6"),
    ForKind(WK_CYCLE_7, "Zyklus 7"),
    ForKind(WK_CYCLE_8, "Zyklus 8"),
    ForKind(WK_CYCLE_9, "Zyklus 9"),
    ForKind(WK_COORD_MACHINE, "Maschinenkoordinaten"),
    ForKind(WK_COORD_UCS_1, "Werkst\xFC" "cknullpunkt 1 (UCS 1)"),
    ForKind(WK_COORD_UCS_2, "Werkst\xFC" "cknullpunkt 2 (UCS 2)"),
    ForKind(WK_COORD_UCS_3, "Werkst\xFC" "cknullpunkt 3 (UCS 3)"),
    ForKind(WK_COORD_UCS_4, "Werkst\xFC" "cknullpunkt 4 (UCS 4)"),
    ForKind(WK_COORD_UCS_5, "Werkst\xFC" "cknullpunkt 5 (UCS 5)"),
    ForKind(WK_COORD_UCS_6, "Werkst\xFC" "cknullpunkt 6 (UCS 6)"),
    ForKind(WK_ABSOLUTE, "Absolutma\xDF"),
    // The read-outs show the coordinates as written, but the path goes on
    // from the last position: that is what a learner must take from G91.
    ForKind(WK_RELATIVE, "Kettenma\xDF (inkrementell): die folgenden Koordinaten z\xE4" "hlen ab der letzten Position"),
    ForKind(WK_FEED_PER_MIN, "Vorschub pro Minute"),
    ForKind(WK_FEED_REL, "Vorschub relativ"),
    ForKind(WK_SPINDLE_CUTTING_SPEED, "konstante Schnittgeschwindigkeit"),
    ForKind(WK_SPINDLE_RPM, "Drehzahl in Umdrehungen pro Minute"),
    ForKind(WK_UNIT_INCH, "L\xE4" "ngeneinheit Zoll - wird angezeigt, die Zahlen werden nicht umgerechnet"),
    ForKind(WK_UNIT_MM, "L\xE4" "ngeneinheit Millimeter"),
    ForKindUnder(WK_X, UNDER_RELATIVE, "{} in X weiter (Kettenma\xDF)"),
    ForKindUnder(WK_Y, UNDER_RELATIVE, "{} in Y weiter (Kettenma\xDF)"),
    ForKindUnder(WK_Z, UNDER_RELATIVE, "{} in Z weiter (Kettenma\xDF)"),
    ForKind(WK_X, "Ziel X = {}"),
    ForKind(WK_Y, "Ziel Y = {}"),
    ForKind(WK_Z, "Ziel Z = {}"),
    ForKind(WK_R, "Kreisradius {} (wird von dieser Steuerung nicht angezeigt)"),
    // The centre is measured from the arc's start under G90 as well.
    ForKind(WK_I, "Kreismittelpunkt in X-Richtung {} vom Kreisanfang aus (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_J, "Kreismittelpunkt in Y-Richtung {} vom Kreisanfang aus (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_K, "Kreismittelpunkt in Z-Richtung {} vom Kreisanfang aus (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_BLOCK_NUMBER, "Satznummer {}"),
    // The feed unit read-out is per minute in the length unit in force.
    ForKindUnder(WK_FEED_RATE, UNDER_INCH, "Vorschub {} Zoll/min (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_FEED_RATE, "Vorschub {} mm/min (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_SPINDLE_SPEED, "Spindeldrehzahl {} (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_L, "Wiederholungen oder Unterprogramm {} - wird von dieser Steuerung nicht ausgewertet"),
    ForKind(WK_TOOL, "Werkzeug {}"),
    ForKind(WK_MISC, "Zusatzfunktion {} - wird von dieser Steuerung nicht ausgewertet"),
    ForKind(WK_COMMENT, "Kommentar"),
    ForKind(WK_END_OF_BLOCK, "der Satz wird ausgef\xFC" "hrt"),
};

// For the codes no enumerator names: no word and no modal value has them.
constexpr const char* UNKNOWN_CODE = "ohne Bedeutung f\xFC" "r diese Steuerung";
constexpr const char* REJECTED_WORD = "ung\xFC" "ltiges Wort - hier bricht das Laden mit einem Syntaxfehler ab";
constexpr const char* END_OF_BLOCK_LABEL = "Satzende";
constexpr const char* EMPTY_WORD_LABEL = "leeres Wort";
// The reader puts an empty word before a comment that starts its line.
constexpr const char* COMMENT_LINE_EXPLANATION = "Kommentarzeile: die Zeile ist ein Kommentar - wird ignoriert";

bool Holds(ModeCondition condition, const CBlockModes& modes)
{
    switch (condition) {
    case UNDER_RELATIVE: return modes.dimensioning == WK_RELATIVE;
    case UNDER_INCH: return modes.lengthUnit == WK_UNIT_INCH;
    case ANY_MODES: break;
    }
    return true;
}

const char* FindExplanation(WordKind kind, std::int32_t number, int address, const CBlockModes& modes)
{
    for (const ExplanationRow& row : explanations) {
        if (row.kind == kind && (row.address == ANY_ADDRESS || row.address == address) &&
            number >= row.firstNumber && number <= row.lastNumber && Holds(row.condition, modes))
            return row.text;
    }
    return UNKNOWN_CODE;
}

std::string Label(std::string_view text, WordKind kind)
{
    if (kind == WK_END_OF_BLOCK)
        return END_OF_BLOCK_LABEL;
    if (text.empty())
        return EMPTY_WORD_LABEL;
    return std::string(text);
}

int AddressOf(std::string_view text)
{
    return text.empty() ? NO_FIRST_BYTE : FoldCase(static_cast<unsigned char>(text.front()));
}

// The value as written is everything after the address letter. Only R may
// stand alone, and then it reads as 0.
std::string FillValue(std::string_view explanation, std::string_view text)
{
    const std::size_t mark = explanation.find(VALUE_MARK);
    if (mark == std::string_view::npos)
        return std::string(explanation);
    const std::string_view written = text.size() > 1 ? text.substr(1) : std::string_view("0");
    std::string filled(explanation.substr(0, mark));
    filled += written;
    filled += explanation.substr(mark + VALUE_MARK.size());
    return filled;
}

// The letters the reader joins to the word before them, so that "H1 D1" is
// one word; each is explained as a word of its own.
bool IsJoinedLetter(char byte)
{
    const unsigned char folded = FoldCase(static_cast<unsigned char>(byte));
    return folded >= 'A' && folded <= 'Z' && !IsWordStart(folded) && folded != 'O';
}

std::size_t NextJoinedLetter(std::string_view text, std::size_t from)
{
    const auto next = std::find_if(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), IsJoinedLetter);
    return next == text.end() ? std::string_view::npos : static_cast<std::size_t>(next - text.begin());
}

// Where joined letters begin, if the word may hold any: not in a comment, a
// number (whose exponent E is its own), or a word whose O took the rest of
// its line.
std::size_t FirstJoinedLetter(std::string_view text, WordKind kind)
{
    if (text.empty() || kind == WK_COMMENT || kind == WK_END_OF_BLOCK || GroupOfKind(kind) == GROUP_POSITION ||
        text.front() == ';')
        return std::string_view::npos;
    if (std::any_of(text.begin() + 1, text.end(),
                    [](char byte) { return FoldCase(static_cast<unsigned char>(byte)) == 'O'; }))
        return std::string_view::npos;
    return NextJoinedLetter(text, 1);
}

} // namespace

std::string ExplainWord(std::string_view text, const CBlockModes& modes)
{
    // The classifier reads a NUL-terminated text.
    const std::string terminated(text);
    CCncValue value;
    if (value.Classify(terminated.c_str(), terminated.size()) == CCncValue::CLASSIFY_SYNTAX_ERROR)
        return Label(text, WK_NONE) + ": " + REJECTED_WORD;
    return ExplainWord(text, value, modes);
}

std::string ExplainWord(std::string_view text, const CCncValue& value, const CBlockModes& modes)
{
    std::size_t start = FirstJoinedLetter(text, value.kind);
    const std::string_view head = text.substr(0, start);
    std::string explanation = Label(text, value.kind) + ": " +
                              FillValue(FindExplanation(value.kind, value.intValue, AddressOf(head), modes), head);
    // The word's kind and value come from its head alone; the joined letters
    // are lost on this controller, and each says so.
    while (start != std::string_view::npos) {
        const std::size_t next = NextJoinedLetter(text, start + 1);
        const std::string_view letter = text.substr(start, next - start);
        explanation += "; ";
        explanation += letter;
        explanation += ": ";
        explanation += FindExplanation(WK_NONE, 0, AddressOf(letter), modes);
        start = next;
    }
    return explanation;
}

bool IsCommentWord(const CWordList& words, WordPosition position)
{
    const std::string_view text = words.GetText(position);
    return words.GetKind(position) == WK_COMMENT || (!text.empty() && text.front() == ';');
}

std::string ExplainWordAt(const CWordList& words, WordPosition position)
{
    const WordPosition next = words.GetNext(position);
    if (words.GetText(position).empty() && next != CWordList::NO_POSITION && IsCommentWord(words, next))
        return COMMENT_LINE_EXPLANATION;
    return ExplainWord(words.GetText(position), words.GetValue(position), words.GetModesAt(position));
}
