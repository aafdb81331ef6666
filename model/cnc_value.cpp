#include "cnc_value.h"

#include <array>
#include <charconv>

#include "classic_number.h"
#include "cnc_bytes.h"

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

constexpr std::size_t NO_ROW = sizeof addressTable / sizeof addressTable[0];

// The address table's row for every first byte, NO_ROW where there is none.
constexpr std::array<std::uint8_t, 256> MakeAddressIndex()
{
    std::array<std::uint8_t, 256> index{};
    for (std::size_t byte = 0; byte < index.size(); ++byte) {
        const unsigned char folded = FoldCase(static_cast<unsigned char>(byte));
        index[byte] = static_cast<std::uint8_t>(NO_ROW);
        for (std::size_t row = 0; row < NO_ROW; ++row) {
            if (static_cast<unsigned char>(addressTable[row].address) == folded)
                index[byte] = static_cast<std::uint8_t>(row);
        }
    }
    return index;
}

constexpr std::array<std::uint8_t, 256> addressIndex = MakeAddressIndex();

// Unlisted numbers, negative ones included, give WK_NONE.
WordKind KindOfGNumber(std::int32_t number)
{
    for (const GNumberRow& row : gNumberTable) {
        if (row.number == number)
            return row.kind;
    }
    return WK_NONE;
}

const AddressRow* FindAddress(unsigned char first)
{
    const std::size_t row = addressIndex[first];
    return row == NO_ROW ? nullptr : &addressTable[row];
}

bool IsDigit(char byte) { return byte >= '0' && byte <= '9'; }

// Whether [text, end) is one number in the plain decimal form
// [+-](digits[.digits] | .digits)[(e|E)[+-]digits]. Every such text is read
// whole by strtod; any other form is left to strtod to decide.
bool IsPlainDecimal(const char* text, const char* end)
{
    const char* byte = text;
    if (byte != end && (*byte == '+' || *byte == '-'))
        ++byte;
    const char* digits = byte;
    while (byte != end && IsDigit(*byte))
        ++byte;
    bool anyDigit = byte != digits;
    if (byte != end && *byte == '.') {
        ++byte;
        const char* fraction = byte;
        while (byte != end && IsDigit(*byte))
            ++byte;
        anyDigit = anyDigit || byte != fraction;
    }
    if (!anyDigit)
        return false;
    if (byte != end && (*byte == 'e' || *byte == 'E')) {
        ++byte;
        if (byte != end && (*byte == '+' || *byte == '-'))
            ++byte;
        const char* exponent = byte;
        while (byte != end && IsDigit(*byte))
            ++byte;
        if (byte == exponent)
            return false;
    }
    return byte == end;
}

enum ValueNeed { NEED_VALUES, NEED_KIND_ONLY };

int ClassifyText(const char* text, std::size_t length, ValueNeed need, CCncValue& value)
{
    if (text == nullptr)
        return CCncValue::CLASSIFY_SYNTAX_ERROR;
    const auto first = static_cast<unsigned char>(length > 0 ? text[0] : '\0');
    const AddressRow* row = FindAddress(first);
    if (row == nullptr) {
        if (IsCarriageReturn(first))
            value.kind = WK_END_OF_BLOCK;
        return CCncValue::CLASSIFY_ACCEPTED;
    }
    if (row->lengthRule == LENGTH_AT_LEAST_2 && length < 2)
        return CCncValue::CLASSIFY_SYNTAX_ERROR;
    const char* rest = text + (length > 0 ? 1 : 0);
    switch (row->parse) {
    case PARSE_NONE:
        break;
    case PARSE_INTEGER:
        if (need == NEED_VALUES)
            value.intValue = ParseClassicInt(rest);
        break;
    case PARSE_G_NUMBER:
        value.intValue = ParseClassicInt(rest);
        value.kind = KindOfGNumber(value.intValue);
        return CCncValue::CLASSIFY_ACCEPTED;
    case PARSE_REAL: {
        const char* const textEnd = text + length;
        if (IsPlainDecimal(rest, textEnd)) {
            if (need == NEED_KIND_ONLY)
                break;
            // Correctly rounded like strtod, and much faster; strtod decides
            // whatever from_chars does not read whole.
            double real = 0.0;
            const char* digits = *rest == '+' ? rest + 1 : rest;
            const auto parsed = std::from_chars(digits, textEnd, real);
            if (parsed.ec == std::errc() && parsed.ptr == textEnd) {
                value.realValue = real;
                break;
            }
        }
        const char* end = nullptr;
        const double real = ParseClassicReal(rest, &end);
        // A NUL inside the text stops the conversion short of the end, so
        // such a word is rejected like any other trailing junk.
        if (end != text + length)
            return CCncValue::CLASSIFY_SYNTAX_ERROR;
        value.realValue = real;
        break;
    }
    }
    value.kind = row->kind;
    return CCncValue::CLASSIFY_ACCEPTED;
}

} // namespace

int CCncValue::Classify(const char* text, std::size_t length)
{
    return ClassifyText(text, length, NEED_VALUES, *this);
}

int CCncValue::ClassifyKind(const char* text, std::size_t length, WordKind& kind)
{
    CCncValue fresh;
    const int result = ClassifyText(text, length, NEED_KIND_ONLY, fresh);
    kind = fresh.kind;
    return result;
}

int CCncValue::GetRealValue(double& value) const
{
    value = realValue;
    return 1;
}
