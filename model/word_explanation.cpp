#include "word_explanation.h"

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

struct ExplanationRow {
    WordKind kind;
    // The folded first byte, ANY_ADDRESS, or NO_FIRST_BYTE for an empty word.
    int address;
    // The G or M number range a row is for; the whole range otherwise.
    std::int32_t firstNumber;
    std::int32_t lastNumber;
    const char* text;
};

constexpr ExplanationRow ForKind(WordKind kind, const char* text)
{
    return {kind, ANY_ADDRESS, LOWEST_NUMBER, HIGHEST_NUMBER, text};
}

constexpr ExplanationRow ForNumbers(WordKind kind, int address, std::int32_t first, std::int32_t last,
                                    const char* text)
{
    return {kind, address, first, last, text};
}

constexpr ExplanationRow ForNumber(WordKind kind, int address, std::int32_t number, const char* text)
{
    return ForNumbers(kind, address, number, number, text);
}

// A first byte that the classifier has no address for: the word has no kind.
constexpr ExplanationRow ForLetter(int address, const char* text)
{
    return {WK_NONE, address, LOWEST_NUMBER, HIGHEST_NUMBER, text};
}

// The first matching row wins, so the rows for single G and M numbers and for
// letters come before the row of their kind. In code page 1252 "\xE4" is
// "a umlaut", "\xFC" "u umlaut" and "\xDF" "sharp s"; each escape closes its
// literal, since a hex digit after it would be read as part of it.
//
// G numbers without a kind of their own, M words, and the letters the
// classifier does not know reach the machine state as words of no group or
// not at all: their texts say that the controller does not evaluate them.
constexpr ExplanationRow explanations[] = {
    ForNumber(WK_NONE, 'G', 20, "unbekannt f\xFC" "r diese Steuerung (Zoll ist G22 oder G71)"),
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

    ForNumber(WK_MISC, 'M', 0, "programmierter Halt - diese Steuerung h\xE4" "lt hier nicht an"),
    ForNumber(WK_MISC, 'M', 1, "wahlweiser Halt - diese Steuerung h\xE4" "lt hier nicht an"),
    ForNumber(WK_MISC, 'M', 2, "Programmende"),
    ForNumber(WK_MISC, 'M', 3, "Spindel ein, im Uhrzeigersinn"),
    ForNumber(WK_MISC, 'M', 4, "Spindel ein, gegen den Uhrzeigersinn"),
    ForNumber(WK_MISC, 'M', 5, "Spindel aus"),
    ForNumber(WK_MISC, 'M', 6, "Werkzeugwechsel (der Halt \"Werkzeugwechsel\" gilt dem T-Wort, nicht M6)"),
    ForNumber(WK_MISC, 'M', 7, "Nebelk\xFC" "hlung ein"),
    ForNumber(WK_MISC, 'M', 8, "K\xFC" "hlmittel ein"),
    ForNumber(WK_MISC, 'M', 9, "K\xFC" "hlmittel aus"),
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
    ForLetter('O', "Programmnummer - wird von dieser Steuerung ignoriert"),
    ForLetter('P', "Parameter P (etwa Verweilzeit oder Unterprogramm) - wird von dieser Steuerung ignoriert"),
    ForLetter('Q', "Parameter Q - wird von dieser Steuerung ignoriert"),
    ForLetter('U', "Zusatzachse U - wird von dieser Steuerung ignoriert"),
    ForLetter('V', "Zusatzachse V - wird von dieser Steuerung ignoriert"),
    ForLetter('W', "Zusatzachse W - wird von dieser Steuerung ignoriert"),

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
    // The machine state shows REL but always replaces a coordinate, never adds to it.
    ForKind(WK_RELATIVE, "Kettenma\xDF (relativ) - wird angezeigt, die Koordinaten gelten aber weiter absolut"),
    ForKind(WK_FEED_PER_MIN, "Vorschub pro Minute"),
    ForKind(WK_FEED_REL, "Vorschub relativ"),
    ForKind(WK_SPINDLE_CUTTING_SPEED, "konstante Schnittgeschwindigkeit"),
    ForKind(WK_SPINDLE_RPM, "Drehzahl in Umdrehungen pro Minute"),
    // Nor does the machine state convert coordinates to another unit.
    ForKind(WK_UNIT_INCH, "L\xE4" "ngeneinheit Zoll - wird angezeigt, die Zahlen werden nicht umgerechnet"),
    ForKind(WK_UNIT_MM, "L\xE4" "ngeneinheit Millimeter"),
    ForKind(WK_X, "Ziel X = {}"),
    ForKind(WK_Y, "Ziel Y = {}"),
    ForKind(WK_Z, "Ziel Z = {}"),
    ForKind(WK_R, "Kreisradius {} (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_I, "Kreismittelpunkt in X-Richtung {} (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_J, "Kreismittelpunkt in Y-Richtung {} (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_K, "Kreismittelpunkt in Z-Richtung {} (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_BLOCK_NUMBER, "Satznummer {}"),
    ForKind(WK_FEED_RATE, "Vorschub {} (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_SPINDLE_SPEED, "Spindeldrehzahl {} (wird von dieser Steuerung nicht angezeigt)"),
    ForKind(WK_L, "Wiederholungen oder Unterprogramm {} - wird von dieser Steuerung nicht ausgewertet"),
    ForKind(WK_TOOL, "Werkzeug {}"),
    ForKind(WK_MISC, "Zusatzfunktion {}"),
    ForKind(WK_COMMENT, "Kommentar"),
    ForKind(WK_END_OF_BLOCK, "der Satz wird ausgef\xFC" "hrt"),
};

// For the codes no enumerator names: no word and no modal value has them.
constexpr const char* UNKNOWN_CODE = "ohne Bedeutung f\xFC" "r diese Steuerung";
constexpr const char* REJECTED_WORD = "ung\xFC" "ltiges Wort - hier bricht das Laden mit einem Syntaxfehler ab";
constexpr const char* END_OF_BLOCK_LABEL = "Satzende";
constexpr const char* EMPTY_WORD_LABEL = "leeres Wort";

const char* FindExplanation(const CCncValue& value, int address)
{
    for (const ExplanationRow& row : explanations) {
        if (row.kind == value.kind &&
            (row.address == ANY_ADDRESS || row.address == address) &&
            value.intValue >= row.firstNumber && value.intValue <= row.lastNumber)
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

} // namespace

std::string ExplainWord(std::string_view text)
{
    // The classifier reads a NUL-terminated text.
    const std::string terminated(text);
    CCncValue value;
    if (value.Classify(terminated.c_str(), terminated.size()) == CCncValue::CLASSIFY_SYNTAX_ERROR)
        return Label(text, WK_NONE) + ": " + REJECTED_WORD;
    return ExplainWord(text, value);
}

std::string ExplainWord(std::string_view text, const CCncValue& value)
{
    return Label(text, value.kind) + ": " + FillValue(FindExplanation(value, AddressOf(text)), text);
}
