#include "state_texts.h"

#include "classic_number.h"
#include "machine_state.h"

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

} // namespace

std::array<StateLine, STATE_LINE_COUNT> BuildStateLines(const CMachineState& state)
{
    const CToolPosition& position = state.GetPosition();
    return {{
        {IDC_POSITION_X, FormatClassicFixed4(position.GetX())},
        {IDC_POSITION_Y, FormatClassicFixed4(position.GetY())},
        {IDC_POSITION_Z, FormatClassicFixed4(position.GetZ())},
        {IDC_MOTION, Prefixed("Bewegung: ", KeywordOf(motionKeywords, state.GetMotion()))},
        {IDC_COMPENSATION, Prefixed("Kompensation: ", KeywordOf(compensationKeywords, state.GetCompensation()))},
        {IDC_PLANE, Prefixed("Arbeitsebene: ", KeywordOf(planeKeywords, state.GetPlane()))},
        {IDC_CYCLE, Prefixed("Zyklus: ", KeywordOf(cycleKeywords, state.GetCycle()))},
        {IDC_COORD_SYSTEM, Prefixed("Koord Sys:", KeywordOf(coordSystemKeywords, state.GetCoordSystem()))},
        {IDC_DIMENSIONING, Prefixed("Koordinaten:", KeywordOf(dimensioningKeywords, state.GetDimensioning()))},
        // "\xE4" is the "ä" of code page 1252.
        {IDC_LENGTH_UNIT, Prefixed("L\xE4ngeninheit:", KeywordOf(lengthUnitKeywords, state.GetLengthUnit()))},
        {IDC_FEED_UNIT, FeedUnitText(state.GetFeedMode(), state.GetLengthUnit())},
        {IDC_SPINDLE_UNIT, SpindleUnitText(state.GetSpindleMode(), state.GetLengthUnit())},
    }};
}
