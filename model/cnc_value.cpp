#include "cnc_value.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <string>

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
    if (number < 0 || number >= CCncValue::G_INDEX_SIZE)
        return WK_NONE;
    return CCncValue::gNumberKinds[static_cast<std::size_t>(number)];
}

const AddressRow* FindAddress(unsigned char first)
{
    const std::size_t row = addressIndex[first];
    return row == NO_ROW ? nullptr : &addressTable[row];
}

bool IsDigit(char byte) { return byte >= '0' && byte <= '9'; }

enum DecimalForm {
    // Not in the plain decimal form: strtod decides.
    FORM_OTHER,
    // Plain, but its value needs a full conversion.
    FORM_PLAIN,
    // Plain, with its value found exactly on the way.
    FORM_PLAIN_VALUE,
};

// Powers of ten that a double holds exactly.
constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Whether [text, end) is one number in the plain decimal form
// [+-](digits[.digits] | .digits)[(e|E)[+-]digits]. Every such text is read
// whole by strtod; any other form is left to strtod to decide. Most
// coordinates have few digits: their digits form an integer below 2^53 and
// their point shifts it by at most 22 places, so one multiplication or
// division of two exact doubles gives the correctly rounded value, the one
// strtod gives.
// Without wantValue only the form is found, for a load that needs kinds.
template <bool wantValue>
DecimalForm ReadPlainDecimal(const char* text, const char* end, double& value)
{
    constexpr std::uint64_t EXACT_LIMIT = std::uint64_t(1) << 53;
    constexpr std::int64_t EXPONENT_LIMIT = 22;
    const char* byte = text;
    bool negative = false;
    if (byte != end && (*byte == '+' || *byte == '-')) {
        negative = *byte == '-';
        ++byte;
    }
    std::uint64_t digitValue = 0;
    bool exact = true;
    const auto addDigit = [&](char digit) {
        if (!wantValue)
            return;
        if (digitValue >= EXACT_LIMIT / 10)
            exact = false;
        else
            digitValue = digitValue * 10 + static_cast<std::uint64_t>(digit - '0');
    };
    const char* digits = byte;
    while (byte != end && IsDigit(*byte))
        addDigit(*byte++);
    bool anyDigit = byte != digits;
    std::int64_t exponent = 0;
    if (byte != end && *byte == '.') {
        ++byte;
        const char* fraction = byte;
        while (byte != end && IsDigit(*byte))
            addDigit(*byte++);
        anyDigit = anyDigit || byte != fraction;
        exponent = -static_cast<std::int64_t>(byte - fraction);
    }
    if (!anyDigit)
        return FORM_OTHER;
    if (byte != end && (*byte == 'e' || *byte == 'E')) {
        ++byte;
        bool negativeExponent = false;
        if (byte != end && (*byte == '+' || *byte == '-')) {
            negativeExponent = *byte == '-';
            ++byte;
        }
        const char* exponentDigits = byte;
        // Capped beyond any fraction's length: a larger exponent is far
        // outside the exact range whatever the fraction.
        constexpr std::int64_t WRITTEN_LIMIT = std::int64_t(1) << 40;
        std::int64_t written = 0;
        while (byte != end && IsDigit(*byte)) {
            if (written < WRITTEN_LIMIT)
                written = written * 10 + (*byte - '0');
            ++byte;
        }
        if (byte == exponentDigits)
            return FORM_OTHER;
        exponent += negativeExponent ? -written : written;
    }
    if (byte != end)
        return FORM_OTHER;
    if (!wantValue)
        return FORM_PLAIN;
    if (!exact || exponent < -EXPONENT_LIMIT || exponent > EXPONENT_LIMIT)
        return FORM_PLAIN;
    const double whole = static_cast<double>(digitValue);
    const double magnitude = exponent < 0 ? whole / exactPowersOfTen[-exponent] : whole * exactPowersOfTen[exponent];
    value = negative ? -magnitude : magnitude;
    return FORM_PLAIN_VALUE;
}

enum ValueNeed { NEED_VALUES, NEED_KIND_ONLY };

// A template on need, so that a load, which needs kinds alone, carries no
// number conversion it does not use.
template <ValueNeed need>
int ClassifyText(const char* text, std::size_t length, CCncValue& value)
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
            value.intValue = ParseClassicInt(rest, text + length);
        break;
    case PARSE_G_NUMBER:
        value.intValue = ParseClassicInt(rest, text + length);
        value.kind = KindOfGNumber(value.intValue);
        return CCncValue::CLASSIFY_ACCEPTED;
    case PARSE_REAL: {
        const char* const textEnd = text + length;
        double fast = 0.0;
        const DecimalForm form = ReadPlainDecimal<need == NEED_VALUES>(rest, textEnd, fast);
        if (form == FORM_PLAIN_VALUE) {
            if (need == NEED_VALUES)
                value.realValue = fast;
            break;
        }
        if (form == FORM_PLAIN) {
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
        // strtod reads a terminated text; the rare word that gets this far
        // is copied, so that callers may hand in a word inside a larger text.
        const std::string terminated(rest, textEnd);
        const char* end = nullptr;
        const double real = ParseClassicReal(terminated.c_str(), &end);
        // A NUL inside the text stops the conversion short of the end, so
        // such a word is rejected like any other trailing junk.
        if (end != terminated.c_str() + terminated.size())
            return CCncValue::CLASSIFY_SYNTAX_ERROR;
        value.realValue = real;
        break;
    }
    }
    value.kind = row->kind;
    return CCncValue::CLASSIFY_ACCEPTED;
}

constexpr std::array<WordKind, CCncValue::G_INDEX_SIZE> MakeGNumberIndex()
{
    std::array<WordKind, CCncValue::G_INDEX_SIZE> index{};
    for (WordKind& kind : index)
        kind = WK_NONE;
    for (const GNumberRow& row : gNumberTable)
        index[static_cast<std::size_t>(row.number)] = row.kind;
    return index;
}

constexpr std::array<CCncValue::CNumberWordRule, 256> MakeNumberWordRules()
{
    std::array<CCncValue::CNumberWordRule, 256> rules{};
    for (std::size_t byte = 0; byte < rules.size(); ++byte) {
        rules[byte] = {CCncValue::NUMBER_UNDECIDED, WK_NONE};
        const std::size_t row = addressIndex[byte];
        if (row == NO_ROW)
            continue;
        const AddressRow& address = addressTable[row];
        switch (address.parse) {
        case PARSE_NONE:
            break;
        case PARSE_INTEGER:
            // Every integer address has the length rule, which one byte of
            // rest meets.
            if (address.lengthRule == LENGTH_AT_LEAST_2)
                rules[byte] = {CCncValue::NUMBER_ANY, static_cast<std::uint8_t>(address.kind)};
            break;
        case PARSE_G_NUMBER:
            rules[byte] = {CCncValue::NUMBER_G, WK_NONE};
            break;
        case PARSE_REAL:
            // A plain number has a digit, so it meets the length rule too.
            rules[byte] = {CCncValue::NUMBER_PLAIN, static_cast<std::uint8_t>(address.kind)};
            break;
        }
    }
    return rules;
}

} // namespace

const std::array<WordKind, CCncValue::G_INDEX_SIZE> CCncValue::gNumberKinds = MakeGNumberIndex();
const std::array<CCncValue::CNumberWordRule, 256> CCncValue::numberWordRules = MakeNumberWordRules();

int CCncValue::Classify(const char* text, std::size_t length)
{
    return ClassifyText<NEED_VALUES>(text, length, *this);
}

int CCncValue::ClassifyKind(const char* text, std::size_t length, WordKind& kind)
{
    CCncValue fresh;
    const int result = ClassifyText<NEED_KIND_ONLY>(text, length, fresh);
    kind = fresh.kind;
    return result;
}

int CCncValue::GetRealValue(double& value) const
{
    value = realValue;
    return 1;
}
