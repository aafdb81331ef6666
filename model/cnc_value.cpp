#include "cnc_value.h"

#include "classic_number.h"

namespace {

enum LengthRule { LENGTH_ANY, LENGTH_AT_LEAST_2 };
enum ParseRule { PARSE_NONE, PARSE_INTEGER, PARSE_G_NUMBER, PARSE_REAL };

struct AddressRow {
    char address;
    LengthRule lengthRule;
    ParseRule parse;
    WordKind kind;
};

// R is the one real-valued address without the length rule: R alone is 0.0.
constexpr AddressRow addressTable[] = {
    {'(', LENGTH_ANY, PARSE_NONE, WK_COMMENT},
    {'F', LENGTH_AT_LEAST_2, PARSE_INTEGER, WK_FEED_RATE},
    {'G', LENGTH_AT_LEAST_2, PARSE_G_NUMBER, WK_NONE},
    {'I', LENGTH_AT_LEAST_2, PARSE_REAL, WK_I},
    {'J', LENGTH_AT_LEAST_2, PARSE_REAL, WK_J},
    {'K', LENGTH_AT_LEAST_2, PARSE_REAL, WK_K},
    {'L', LENGTH_AT_LEAST_2, PARSE_INTEGER, WK_L},
    {'M', LENGTH_AT_LEAST_2, PARSE_INTEGER, WK_MISC},
    {'N', LENGTH_AT_LEAST_2, PARSE_INTEGER, WK_BLOCK_NUMBER},
    {'R', LENGTH_ANY, PARSE_REAL, WK_R},
    {'S', LENGTH_AT_LEAST_2, PARSE_INTEGER, WK_SPINDLE_SPEED},
    {'T', LENGTH_AT_LEAST_2, PARSE_INTEGER, WK_TOOL},
    {'X', LENGTH_AT_LEAST_2, PARSE_REAL, WK_X},
    {'Y', LENGTH_AT_LEAST_2, PARSE_REAL, WK_Y},
    {'Z', LENGTH_AT_LEAST_2, PARSE_REAL, WK_Z},
};

struct GNumberRow {
    std::int32_t number;
    WordKind kind;
};

// The codes do not follow the G numbers' order: G18 is X/Z (12), G19 is Y/Z (11).
constexpr GNumberRow gNumberTable[] = {
    {0, WK_RAPID},          {1, WK_LINEAR},         {2, WK_CLOCKWISE},      {3, WK_COUNTER_CLOCKWISE},
    {4, WK_DWELL},          {6, WK_PARABLE},        {17, WK_PLANE_XY},      {18, WK_PLANE_XZ},
    {19, WK_PLANE_YZ},      {21, WK_UNIT_MM},       {22, WK_UNIT_INCH},     {33, WK_THREAD_LINEAR},
    {34, WK_THREAD_INCR},   {35, WK_THREAD_DECR},   {43, WK_TOOL},          {50, WK_TOOL},
    {53, WK_COORD_MACHINE}, {54, WK_COORD_UCS_1},   {55, WK_COORD_UCS_2},   {56, WK_COORD_UCS_3},
    {57, WK_COORD_UCS_4},   {58, WK_COORD_UCS_5},   {59, WK_COORD_UCS_6},   {70, WK_UNIT_MM},
    {71, WK_UNIT_INCH},     {90, WK_ABSOLUTE},      {91, WK_RELATIVE},
};

const AddressRow* FindAddress(unsigned char first)
{
    // Only a to z are folded; bytes from 128 up keep their value.
    const unsigned char folded = (first >= 'a' && first <= 'z') ? static_cast<unsigned char>(first - 'a' + 'A') : first;
    for (const AddressRow& row : addressTable) {
        if (static_cast<unsigned char>(row.address) == folded)
            return &row;
    }
    return nullptr;
}

} // namespace

WordKind KindOfGNumber(std::int32_t number)
{
    for (const GNumberRow& row : gNumberTable) {
        if (row.number == number)
            return row.kind;
    }
    return WK_NONE;
}

int CCncValue::Classify(const char* text, std::size_t length)
{
    if (text == nullptr)
        return CLASSIFY_SYNTAX_ERROR;
    const auto first = static_cast<unsigned char>(length > 0 ? text[0] : '\0');
    const AddressRow* row = FindAddress(first);
    if (row == nullptr) {
        if ((first & 0x7F) == '\r')
            kind = WK_END_OF_BLOCK;
        return CLASSIFY_ACCEPTED;
    }
    if (row->lengthRule == LENGTH_AT_LEAST_2 && length < 2)
        return CLASSIFY_SYNTAX_ERROR;
    const char* rest = text + (length > 0 ? 1 : 0);
    switch (row->parse) {
    case PARSE_NONE:
        break;
    case PARSE_INTEGER:
        intValue = ParseClassicInt(rest);
        break;
    case PARSE_G_NUMBER:
        intValue = ParseClassicInt(rest);
        kind = KindOfGNumber(intValue);
        return CLASSIFY_ACCEPTED;
    case PARSE_REAL: {
        const char* end = nullptr;
        const double value = ParseClassicReal(rest, &end);
        // A NUL inside the text stops the conversion short of the end, so
        // such a word is rejected like any other trailing junk.
        if (end != text + length)
            return CLASSIFY_SYNTAX_ERROR;
        realValue = value;
        break;
    }
    }
    kind = row->kind;
    return CLASSIFY_ACCEPTED;
}

int CCncValue::GetRealValue(double& value) const
{
    value = realValue;
    return 1;
}
