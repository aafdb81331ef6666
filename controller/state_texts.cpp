#include "state_texts.h"

#include <cstring>

#include "classic_number.h"
#include "panel_interfaces.h"

const char* const MESSAGE_BLANK_LOAD = "                                             ";
const char* const MESSAGE_BLANK_COMMAND = "                                                           ";
const char* const MESSAGE_END_OF_PROGRAM = "Ende der Anweisungen";

namespace {

struct Keyword {
    std::int32_t code;
    const char* text;
};

const char* const NO_KEYWORD = " -";

constexpr Keyword motionKeywords[] = {
    {WK_RAPID, "RAPIDE       "},        {WK_LINEAR, "LINEAR       "},
    {WK_CLOCKWISE, "CLOCKWISE    "},    {WK_COUNTER_CLOCKWISE, "COUNTER CLCKW"},
    {WK_DWELL, "DWELL        "},        {WK_PARABLE, "PARABLE      "},
    {WK_THREAD_LINEAR, "THREAD LINEAR"}, {WK_THREAD_INCR, "THREAD INCR. "},
    {WK_THREAD_DECR, "THREAD DECR. "},
};

constexpr Keyword compensationKeywords[] = {
    {WK_COMP_OFF, " OFF"},           {WK_COMP_LEFT, " LEFT"},         {WK_COMP_RIGHT, " RIGHT"},
    {WK_COMP_POSITIVE, " POSITIVE"}, {WK_COMP_NEGATIVE, " NEGATIVE"},
};

constexpr Keyword planeKeywords[] = {
    {WK_PLANE_XY, "X/Y"}, {WK_PLANE_YZ, "Y/Z"}, {WK_PLANE_XZ, "X/Z"},
};

constexpr Keyword cycleKeywords[] = {
    {WK_CYCLE_OFF, " OFF"},   {WK_CYCLE_1, " CYCLE 1"}, {WK_CYCLE_2, " CYCLE 2"}, {WK_CYCLE_3, " CYCLE 3"},
    {WK_CYCLE_4, " CYCLE 4"}, {WK_CYCLE_5, " CYCLE 5"}, {WK_CYCLE_6, " CYCLE 6"}, {WK_CYCLE_7, " CYCLE 7"},
    {WK_CYCLE_8, " CYCLE 8"}, {WK_CYCLE_9, " CYCLE 9"},
};

constexpr Keyword coordSystemKeywords[] = {
    {WK_COORD_MACHINE, " MACHINE"}, {WK_COORD_UCS_1, " UCS 1"}, {WK_COORD_UCS_2, " UCS 2"},
    {WK_COORD_UCS_3, " UCS 3"},     {WK_COORD_UCS_4, " UCS 4"}, {WK_COORD_UCS_5, " UCS 5"},
    {WK_COORD_UCS_6, " UCS 6"},
};

constexpr Keyword dimensioningKeywords[] = {{WK_ABSOLUTE, " ABS"}, {WK_RELATIVE, " REL"}};

constexpr Keyword lengthUnitKeywords[] = {{WK_UNIT_INCH, " INCH"}, {WK_UNIT_MM, " MM"}};

template <std::size_t N>
const char* KeywordOf(const Keyword (&table)[N], std::int32_t code)
{
    for (const Keyword& keyword : table) {
        if (keyword.code == code)
            return keyword.text;
    }
    return NO_KEYWORD;
}

// Feed and spindle speed given per length share one unit text.
const char* LengthPerMinute(std::int32_t lengthUnit) { return lengthUnit == WK_UNIT_MM ? "mm/min" : "inch/min"; }

const char* FeedUnitText(std::int32_t feedMode, std::int32_t lengthUnit)
{
    switch (feedMode) {
    case WK_FEED_PER_MIN: return LengthPerMinute(lengthUnit);
    case WK_FEED_REL: return " REL";
    default: return NO_KEYWORD;
    }
}

const char* SpindleUnitText(std::int32_t spindleMode, std::int32_t lengthUnit)
{
    switch (spindleMode) {
    case WK_SPINDLE_CUTTING_SPEED: return LengthPerMinute(lengthUnit);
    case WK_SPINDLE_RPM: return "1/min";
    default: return NO_KEYWORD;
    }
}

std::string Prefixed(const char* prefix, const char* keyword) { return std::string(prefix) + keyword; }

constexpr std::uint32_t Field(DisplayField field) { return 1u << field; }

struct StateLineRow {
    int controlId;
    std::string (*text)(const CMachineModes&);
    std::uint32_t fields;
};

// "\xE4" is the "ä" of code page 1252.
const StateLineRow stateLines[STATE_LINE_COUNT] = {
    {IDC_POSITION_X, [](const CMachineModes& s) { return FormatClassicFixed4(s.position.GetX()); }, Field(FIELD_X)},
    {IDC_POSITION_Y, [](const CMachineModes& s) { return FormatClassicFixed4(s.position.GetY()); }, Field(FIELD_Y)},
    {IDC_POSITION_Z, [](const CMachineModes& s) { return FormatClassicFixed4(s.position.GetZ()); }, Field(FIELD_Z)},
    {IDC_MOTION, [](const CMachineModes& s) { return Prefixed("Bewegung: ", KeywordOf(motionKeywords, s.motion)); },
     Field(FIELD_MOTION)},
    {IDC_COMPENSATION,
     [](const CMachineModes& s) { return Prefixed("Kompensation: ", KeywordOf(compensationKeywords, s.compensation)); },
     Field(FIELD_COMPENSATION)},
    {IDC_PLANE, [](const CMachineModes& s) { return Prefixed("Arbeitsebene: ", KeywordOf(planeKeywords, s.plane)); },
     Field(FIELD_PLANE)},
    {IDC_CYCLE, [](const CMachineModes& s) { return Prefixed("Zyklus: ", KeywordOf(cycleKeywords, s.cycle)); },
     Field(FIELD_CYCLE)},
    {IDC_COORD_SYSTEM,
     [](const CMachineModes& s) { return Prefixed("Koord Sys:", KeywordOf(coordSystemKeywords, s.coordSystem)); },
     Field(FIELD_COORD_SYSTEM)},
    {IDC_DIMENSIONING,
     [](const CMachineModes& s) { return Prefixed("Koordinaten:", KeywordOf(dimensioningKeywords, s.dimensioning)); },
     Field(FIELD_DIMENSIONING)},
    {IDC_LENGTH_UNIT,
     [](const CMachineModes& s) { return Prefixed("L\xE4ngeninheit:", KeywordOf(lengthUnitKeywords, s.lengthUnit)); },
     Field(FIELD_LENGTH_UNIT)},
    {IDC_FEED_UNIT, [](const CMachineModes& s) { return std::string(FeedUnitText(s.feedMode, s.lengthUnit)); },
     Field(FIELD_FEED_MODE) | Field(FIELD_LENGTH_UNIT)},
    {IDC_SPINDLE_UNIT,
     [](const CMachineModes& s) { return std::string(SpindleUnitText(s.spindleMode, s.lengthUnit)); },
     Field(FIELD_SPINDLE_MODE) | Field(FIELD_LENGTH_UNIT)},
};

} // namespace

int StateLineControlId(std::size_t line) { return stateLines[line].controlId; }

std::string StateLineText(std::size_t line, const CMachineModes& modes) { return stateLines[line].text(modes); }

std::uint32_t StateLineFields(std::size_t line) { return stateLines[line].fields; }

StateSnapshot TakeStateSnapshot(const CMachineModes& modes)
{
    // The bits, so that a NaN compares equal to itself and -0 differs from 0.
    const auto bits = [](double value) {
        std::uint64_t word = 0;
        std::memcpy(&word, &value, sizeof word);
        return word;
    };
    const auto code = [](std::int32_t value) { return static_cast<std::uint64_t>(static_cast<std::uint32_t>(value)); };
    const CToolPosition& position = modes.position;
    StateSnapshot snapshot{};
    snapshot[FIELD_X] = bits(position.GetX());
    snapshot[FIELD_Y] = bits(position.GetY());
    snapshot[FIELD_Z] = bits(position.GetZ());
    snapshot[FIELD_MOTION] = code(modes.motion);
    snapshot[FIELD_COMPENSATION] = code(modes.compensation);
    snapshot[FIELD_PLANE] = code(modes.plane);
    snapshot[FIELD_CYCLE] = code(modes.cycle);
    snapshot[FIELD_COORD_SYSTEM] = code(modes.coordSystem);
    snapshot[FIELD_DIMENSIONING] = code(modes.dimensioning);
    snapshot[FIELD_LENGTH_UNIT] = code(modes.lengthUnit);
    snapshot[FIELD_FEED_MODE] = code(modes.feedMode);
    snapshot[FIELD_SPINDLE_MODE] = code(modes.spindleMode);
    return snapshot;
}
