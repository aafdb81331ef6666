#include <clocale>
#include <cstring>
#include <random>
#include <vector>
#include <cmath>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "classic_number.h"
#include "cnc_word.h"
#include "test_support.h"

namespace {

struct Accepted {
    const char* name;
    std::string text;
    WordKind kind;
    std::int32_t intValue;
    double realValue;
};

TEST(Classifier, AcceptedWords)
{
    const Accepted cases[] = {
        {"G01 is linear", "G01", WK_LINEAR, 1, 0.0},
        {"G1 is linear", "G1", WK_LINEAR, 1, 0.0},
        {"lower case g1", "g1", WK_LINEAR, 1, 0.0},
        {"leading zeros", "G001", WK_LINEAR, 1, 0.0},
        {"fraction after G number ignored", "G1.5", WK_LINEAR, 1, 0.0},
        {"letters after G number ignored", "G01L5", WK_LINEAR, 1, 0.0},
        {"G without digits is G0", "G.5", WK_RAPID, 0, 0.0},
        {"GOTO rest of line is G0", "GOTO 10 ; loop", WK_RAPID, 0, 0.0},
        {"negative G number has no kind", "G-1", WK_NONE, -1, 0.0},
        {"G18 is X/Z plane code 12", "G18", WK_PLANE_XZ, 18, 0.0},
        {"G19 is Y/Z plane code 11", "G19", WK_PLANE_YZ, 19, 0.0},
        {"G21 millimetres", "G21", WK_UNIT_MM, 21, 0.0},
        {"G70 millimetres", "G70", WK_UNIT_MM, 70, 0.0},
        {"G22 inch", "G22", WK_UNIT_INCH, 22, 0.0},
        {"G71 inch", "G71", WK_UNIT_INCH, 71, 0.0},
        {"G20 has no kind", "G20", WK_NONE, 20, 0.0},
        {"G43 is a tool word", "G43", WK_TOOL, 43, 0.0},
        {"G50 is a tool word", "G50", WK_TOOL, 50, 0.0},
        {"G41 compensation not assigned", "G41", WK_NONE, 41, 0.0},
        {"G81 cycle not assigned", "G81", WK_NONE, 81, 0.0},
        {"G54 first UCS", "G54", WK_COORD_UCS_1, 54, 0.0},
        {"G59 sixth UCS", "G59", WK_COORD_UCS_6, 59, 0.0},
        {"G91 relative", "G91", WK_RELATIVE, 91, 0.0},
        {"G overflow saturates", "G4294967297", WK_NONE, 2147483647, 0.0},
        {"G underflow saturates", "G-4294967297", WK_NONE, -2147483647 - 1, 0.0},
        {"X decimal", "X12.5", WK_X, 0, 12.5},
        {"X negative", "X-3", WK_X, 0, -3.0},
        {"X leading point", "X.5", WK_X, 0, 0.5},
        {"X trailing point", "X5.", WK_X, 0, 5.0},
        {"x exponent", "x1e2", WK_X, 0, 100.0},
        {"Y", "Y7", WK_Y, 0, 7.0},
        {"Z", "Z-0.25", WK_Z, 0, -0.25},
        {"I", "I1", WK_I, 0, 1.0},
        {"J", "J2", WK_J, 0, 2.0},
        {"K", "K3", WK_K, 0, 3.0},
        {"R alone is zero", "R", WK_R, 0, 0.0},
        {"R value", "R2.5", WK_R, 0, 2.5},
        {"N with trailing letter", "N10A", WK_BLOCK_NUMBER, 10, 0.0},
        {"F takes the integer part", "F150.5", WK_FEED_RATE, 150, 0.0},
        {"T with leading zero", "T0101", WK_TOOL, 101, 0.0},
        {"S", "S1000", WK_SPINDLE_SPEED, 1000, 0.0},
        {"L", "L5", WK_L, 5, 0.0},
        {"M", "M30", WK_MISC, 30, 0.0},
        {"comment", "(cut)", WK_COMMENT, 0, 0.0},
        {"open parenthesis alone", "(", WK_COMMENT, 0, 0.0},
        {"carriage return", "\r", WK_END_OF_BLOCK, 0, 0.0},
        {"byte 141 ends a block", "\x8d", WK_END_OF_BLOCK, 0, 0.0},
        {"percent", "%", WK_NONE, 0, 0.0},
        {"semicolon comment", "; note", WK_NONE, 0, 0.0},
        {"H", "H1", WK_NONE, 0, 0.0},
        {"P", "P5", WK_NONE, 0, 0.0},
        {"O", "O100", WK_NONE, 0, 0.0},
        {"A axis", "A5", WK_NONE, 0, 0.0},
        {"empty text", "", WK_NONE, 0, 0.0},
        {"byte 216 is not folded", "\xd8" "5", WK_NONE, 0, 0.0},
        {"hexadecimal real", "X0x10", WK_X, 0, 16.0},
    };
    for (const Accepted& row : cases) {
        SCOPED_TRACE(row.name);
        CCncWord word;
        EXPECT_EQ(word.SetTextAndClassify(row.text), 1);
        EXPECT_EQ(word.GetKind(), row.kind);
        EXPECT_EQ(word.GetValue().kind, row.kind);
        EXPECT_EQ(word.GetValue().intValue, row.intValue);
        double real = -1.0;
        word.GetValue().GetRealValue(real);
        EXPECT_DOUBLE_EQ(real, row.realValue);
        EXPECT_EQ(word.GetTextString(), row.text);
    }
}

TEST(Classifier, SyntaxErrors)
{
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"G alone", "G"},
        {"X alone", "X"},
        {"M alone", "M"},
        {"F alone", "F"},
        {"lower-case n alone", "n"},
        {"comma is no decimal point", "X12,5"},
        {"two points", "X1.2.3"},
        {"sign alone", "X-"},
        {"trailing letter", "X12A"},
        {"R with sign only", "R-"},
        {"L after X", "X10L5"},
        {"NUL inside a number", std::string("X1\0junk", 7)},
        {"NUL as the whole rest", std::string("X\0", 2)},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CCncWord word;
        EXPECT_EQ(word.SetTextAndClassify(row.text), 0);
        EXPECT_EQ(word.GetKind(), WK_NONE);
        EXPECT_EQ(word.GetValue().realValue, 0.0);
    }
    CCncValue value;
    EXPECT_EQ(value.Classify(nullptr, 0), 0);
}

TEST(Classifier, RealParseIgnoresTheProcessLocale)
{
    const CGermanLocale german(LC_NUMERIC);
    ASSERT_TRUE(german.Valid()) << "the de_DE.UTF-8 locale is missing; the test command generates it";
    CCncWord word;
    EXPECT_EQ(word.SetTextAndClassify("X12.5"), 1);
    EXPECT_EQ(word.GetValue().realValue, 12.5);
    CCncWord comma;
    EXPECT_EQ(comma.SetTextAndClassify("X12,5"), 0);
    EXPECT_EQ(FormatClassicFixed4(-12.5), "-12.5000");
}

TEST(Word, FreshWordAndSpans)
{
    CCncWord fresh;
    EXPECT_EQ(fresh.GetKind(), WK_NONE);
    EXPECT_STREQ(fresh.GetText(), "");
    std::int32_t start = -1;
    std::int32_t end = -1;
    fresh.GetSpan(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0);

    CCncWord lineEnd;
    lineEnd.SetTextAndClassify("\r");
    lineEnd.SetSpan(17);
    lineEnd.GetSpan(start, end);
    EXPECT_EQ(start, 17);
    EXPECT_EQ(end, 18);

    CCncWord empty;
    empty.SetTextAndClassify("");
    empty.SetSpan(5);
    empty.GetSpan(start, end);
    EXPECT_EQ(start, end);
}

TEST(ClassicNumber, FixedFormat)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0.0000"},        {-12.5, "-12.5000"},   {1234.56789, "1234.5679"},
        {-0.00001, "-0.0000"},  {1e15, "1000000000000000.0000"},
        // printf pads to the field width of four.
        {INFINITY, " inf"},     {-INFINITY, "-inf"},   {NAN, " nan"},
        {-NAN, "-nan"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(FormatClassicFixed4(row.value), row.text);
    }
}

} // namespace

namespace {

// Plain decimal words take a faster conversion than strtod; both must give
// the same double, bit for bit, including the hard cases of rounding.
TEST(Classifier, PlainDecimalsReadExactlyAsStrtodReadsThem)
{
    std::mt19937 generator(20261208);
    const auto digits = [&](int count) {
        std::string text;
        for (int index = 0; index < count; ++index)
            text += static_cast<char>('0' + generator() % 10);
        return text;
    };
    const char* const hardCases[] = {"X0.1", "X9007199254740993", "X2.2250738585072011e-308", "X1e23",
                                     "X8.98846567431158e307", "X4.9e-324", "X1e-400", "X1e400", "X-0",
                                     "X+.5", "X123456789012345678901234567890.5"};
    std::vector<std::string> words(std::begin(hardCases), std::end(hardCases));
    for (int round = 0; round < 100000; ++round) {
        std::string word = "X";
        word += "+-"[generator() % 2];
        word += digits(1 + static_cast<int>(generator() % 20));
        if (generator() % 2 != 0)
            word += "." + digits(static_cast<int>(generator() % 20));
        if (generator() % 3 == 0)
            word += "e" + std::to_string(static_cast<int>(generator() % 700) - 350);
        words.push_back(word);
    }
    for (const std::string& word : words) {
        CCncValue value;
        ASSERT_EQ(value.Classify(word.c_str(), word.size()), 1) << word;
        const char* end = nullptr;
        const double expected = ParseClassicReal(word.c_str() + 1, &end);
        ASSERT_EQ(std::memcmp(&value.realValue, &expected, sizeof expected), 0)
            << word << ": " << value.realValue << " instead of " << expected;
    }
}

} // namespace

namespace {

// What strtod makes of a word's number: the reference the classifier's fast
// conversions must meet bit for bit.
double StrtodOfNumber(std::string_view word)
{
    const std::string number(word.substr(1));
    const char* end = nullptr;
    return ParseClassicReal(number.c_str(), &end);
}

TEST(Classifier, CoordinatesInTheListingAreStrtodsBitForBit)
{
    const char* const texts[] = {
        "X1",        "X-1",       "X1.5",       "X-0.25",          "X.5",     "X-.5",       "X5.",
        "X+5",       "X+.5",      "X-0",        "X0",              "X1e3",    "X1E-3",      "X2.5e+2",
        "X1e400",    "X-1e400",   "X1e-400",    "X123456789012345", "X1234567890123456",
        "X0.000000000000001",     "X0.1234567890123456789", "X000000000000000000001", "X9007199254740993",
        "Y3",        "Z-7.125",   "I0.1",       "J-0.3",           "K1e-5",   "R",          "R-2.5",
        "x7",        "r.25",      "X1.2.3",     "X--1",
    };
    std::string program;
    for (const char* text : texts) {
        program += text;
        program += ' ';
    }
    CLoaderRig rig;
    const int result = rig.LoadBytes(program + "\r\n");
    const CWordList& words = rig.loader.GetWordList();
    ASSERT_EQ(result, CCncProgram::RESULT_SYNTAX_ERROR);
    // Everything before X1.2.3 loads; the rest checks the rejected forms stop the load.
    ASSERT_EQ(words.GetCount(), 32u);
    for (WordPosition position = 0; position < words.GetCount(); ++position) {
        SCOPED_TRACE(std::string(words.GetText(position)));
        const double expected = StrtodOfNumber(words.GetText(position));
        const double actual = words.GetValue(position).realValue;
        EXPECT_EQ(std::memcmp(&expected, &actual, sizeof expected), 0) << expected << " " << actual;
    }
}

TEST(Classifier, RandomDecimalsInTheListingAreStrtodsBitForBit)
{
    std::mt19937_64 random(20261208);
    std::string program;
    for (int count = 0; count < 20000; ++count) {
        const int digits = 1 + static_cast<int>(random() % 17);
        const int point = static_cast<int>(random() % (digits + 1));
        std::string text = (random() % 2) ? "X-" : "X";
        for (int digit = 0; digit < digits; ++digit) {
            if (digit == point)
                text += '.';
            text += static_cast<char>('0' + random() % 10);
        }
        program += text + "\r\n";
    }
    CLoaderRig rig;
    ASSERT_EQ(rig.LoadBytes(program), CCncProgram::RESULT_OK);
    const CWordList& words = rig.loader.GetWordList();
    for (WordPosition position = 0; position < words.GetCount(); ++position) {
        if (words.GetKind(position) != WK_X)
            continue;
        const double expected = StrtodOfNumber(words.GetText(position));
        const double actual = words.GetValue(position).realValue;
        ASSERT_EQ(std::memcmp(&expected, &actual, sizeof expected), 0) << words.GetText(position);
    }
}

} // namespace

namespace {

// The word's first byte and the rest, marked as the reader marks it.
bool ClassifyNumberWordOf(const std::string& text, WordKind& kind)
{
    std::string rest = text.substr(1);
    const std::size_t length = rest.size();
    rest.resize(64, 'X');
    const auto* bytes = reinterpret_cast<const unsigned char*>(rest.data());
    CByteMarks marks;
    MarkBytes(bytes, marks);
    const bool plain = IsPlainNumberAt(marks, 0, static_cast<unsigned>(length));
    return CCncValue::ClassifyNumberWord(static_cast<unsigned char>(text[0]), bytes, length, plain, kind);
}

struct NumberWordCase {
    const char* name;
    std::string text;
    bool decided;
    WordKind kind;
};

} // namespace

// The load's inline classifier decides the plain words and leaves every
// other one to the full classifier.
TEST(Classifier, NumberWordsAreDecidedInline)
{
    const NumberWordCase cases[] = {
        {"a coordinate", "X-0.979", true, WK_X},
        {"lower case address", "y.5", true, WK_Y},
        {"sign and point only before digits", "Z+.5", true, WK_Z},
        {"a trailing point", "I5.", true, WK_I},
        {"sixteen bytes of run", "K-1234567.8901234", true, WK_K},
        {"a point in the second eight bytes", "X123456789.012345", true, WK_X},
        {"seventeen bytes of run", "X-1234567.89012345", true, WK_X},
        {"fifty bytes of run", "Z-" + std::string(40, '7') + "." + std::string(8, '1'), true, WK_Z},
        {"a real address alone", "X", false, WK_NONE},
        {"R alone, which strtod reads as 0", "R", false, WK_NONE},
        {"a sign alone", "Y-", false, WK_NONE},
        {"a point alone", "Y.", false, WK_NONE},
        {"two points", "X1.2.3", false, WK_NONE},
        {"two points eight bytes apart", "X1.2345678.9", false, WK_NONE},
        {"a sign after the first byte", "X1-2", false, WK_NONE},
        {"a comma", "X1,5", false, WK_NONE},
        {"a comma first", "X,5", false, WK_NONE},
        {"a slash first", "X/5", false, WK_NONE},
        {"an integer address takes any run", "F1,2/", true, WK_FEED_RATE},
        {"block number", "N10", true, WK_BLOCK_NUMBER},
        {"an integer address alone", "T", false, WK_NONE},
        {"one-digit G number", "G1", true, WK_LINEAR},
        {"two-digit G number", "G91", true, WK_RELATIVE},
        {"unlisted G number", "G20", true, WK_NONE},
        {"three-digit G number", "G001", false, WK_NONE},
        {"G number with a point", "G1.5", false, WK_NONE},
        {"signed G number", "G-1", false, WK_NONE},
        {"G alone", "G", false, WK_NONE},
        {"an address without a row", "%1", false, WK_NONE},
        {"a comment", "(1", false, WK_NONE},
    };
    for (const NumberWordCase& row : cases) {
        SCOPED_TRACE(row.name);
        WordKind kind = WK_NONE;
        ASSERT_EQ(ClassifyNumberWordOf(row.text, kind), row.decided);
        if (!row.decided)
            continue;
        EXPECT_EQ(kind, row.kind);
        WordKind full = WK_NONE;
        EXPECT_EQ(CCncValue::ClassifyKind(row.text.data(), row.text.size(), full), CCncValue::CLASSIFY_ACCEPTED);
        EXPECT_EQ(full, row.kind);
    }
}

// Every run of up to five bytes of the run's alphabet after every address:
// where the inline classifier decides, it gives what the full one gives.
TEST(Classifier, NumberWordsAgreeWithTheFullClassifier)
{
    const std::string alphabet = "+,-./09";
    std::size_t decided = 0;
    for (const char address : std::string("FGIJKLMNRSTXYZgxn%(")) {
        std::vector<std::string> rests{""};
        for (std::size_t length = 1; length <= 5; ++length) {
            const std::size_t shorter = rests.size();
            for (std::size_t index = 0; index < shorter; ++index) {
                if (rests[index].size() + 1 == length) {
                    for (const char byte : alphabet)
                        rests.push_back(rests[index] + byte);
                }
            }
        }
        for (const std::string& rest : rests) {
            const std::string text = std::string(1, address) + rest;
            WordKind kind = WK_NONE;
            if (!ClassifyNumberWordOf(text, kind))
                continue;
            ++decided;
            WordKind full = WK_NONE;
            ASSERT_EQ(CCncValue::ClassifyKind(text.data(), text.size(), full), CCncValue::CLASSIFY_ACCEPTED) << text;
            ASSERT_EQ(kind, full) << text;
        }
    }
    EXPECT_GT(decided, 1000u);
}

// The marks of the reader are the same sixteen bytes at a time as byte by
// byte, for every byte value in every place.
TEST(Classifier, ByteMarksMatchByteByByte)
{
    std::vector<unsigned char> bytes(256 + 64);
    for (std::size_t index = 0; index < bytes.size(); ++index)
        bytes[index] = static_cast<unsigned char>(index * 7 + index / 256);
    std::mt19937 generator(16);
    std::vector<unsigned char> programBytes(64 * 64);
    const std::string programAlphabet = "*+,-./09:; \r\nXN\x80\xab\xff";
    for (unsigned char& byte : programBytes)
        byte = static_cast<unsigned char>(programAlphabet[generator() % programAlphabet.size()]);
    const struct {
        const char* name;
        const std::vector<unsigned char>& bytes;
    } cases[] = {{"every byte value in every place", bytes}, {"program-like bytes", programBytes}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        for (std::size_t offset = 0; offset + 64 <= row.bytes.size(); ++offset) {
            CByteMarks marks;
            CByteMarks expected;
            MarkBytes(row.bytes.data() + offset, marks);
            MarkBytesByByte(row.bytes.data() + offset, expected);
            ASSERT_EQ(marks.runs, expected.runs) << offset;
            ASSERT_EQ(marks.blanks, expected.blanks) << offset;
            ASSERT_EQ(marks.digits, expected.digits) << offset;
            ASSERT_EQ(marks.points, expected.points) << offset;
            ASSERT_EQ(marks.signs, expected.signs) << offset;
        }
    }
}
