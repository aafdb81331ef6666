#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "portable_math.h"

namespace {

std::uint64_t Bits(double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Distance in units in the last place between two finite doubles.
std::uint64_t UlpsApart(double first, double second)
{
    const auto ordered = [](double value) {
        const std::uint64_t bits = Bits(value);
        return (bits >> 63) != 0 ? std::uint64_t{0x8000000000000000} - (bits & 0x7fffffffffffffff)
                                 : std::uint64_t{0x8000000000000000} + bits;
    };
    const std::uint64_t a = ordered(first);
    const std::uint64_t b = ordered(second);
    return a > b ? a - b : b - a;
}

struct AngleRow {
    const char* name;
    double angle;
    double sine;
    double cosine;
};

struct PairRow {
    const char* name;
    double first;
    double second;
    double expected;
};

// The correctly rounded values (worked out in 300-bit arithmetic): a change
// in any bit of the functions shows here.
TEST(PortableMathTest, SineAndCosineGiveTheCorrectlyRoundedBits)
{
    const AngleRow rows[] = {
        {"half a radian", 0x1.0000000000000p-1, 0x1.eaee8744b05f0p-2, 0x1.c1528065b7d50p-1},
        {"one radian", 0x1.0000000000000p+0, 0x1.aed548f090ceep-1, 0x1.14a280fb5068cp-1},
        {"a quarter turn as rounded", 0x1.921fb54442d18p+0, 0x1.0000000000000p+0, 0x1.1a62633145c07p-54},
        {"pi as rounded", 0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53, -0x1.0000000000000p+0},
        {"a whole turn as rounded", 0x1.921fb54442d18p+2, -0x1.1a62633145c07p-52, 0x1.0000000000000p+0},
        {"just past an eighth turn", 0x1.921fb54442d19p-1, 0x1.6a09e667f3bcdp-1, 0x1.6a09e667f3bccp-1},
        {"a tiny angle", 0x1.b7cdfd9d7bdbbp-34, 0x1.b7cdfd9d7bdbbp-34, 0x1.0000000000000p+0},
        {"a negative angle", -0x1.4000000000000p+1, -0x1.326af0dcfcab1p-1, -0x1.9a2f7ef858b7dp-1},
        {"three turns on", 0x1.3000000000000p+4, 0x1.32f2d28f584cfp-3, 0x1.fa377de108258p-1},
        {"a large angle", 0x1.f400000000000p+9, 0x1.a75cc150a206bp-1, 0x1.1ff026793f1bbp-1},
    };
    for (const AngleRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Bits(PortableSin(row.angle)), Bits(row.sine)) << std::hexfloat << PortableSin(row.angle);
        EXPECT_EQ(Bits(PortableCos(row.angle)), Bits(row.cosine)) << std::hexfloat << PortableCos(row.angle);
    }
}

TEST(PortableMathTest, ArcTangentGivesTheCorrectlyRoundedBits)
{
    const PairRow rows[] = {
        {"first quadrant diagonal", 0x1.0000000000000p+0, 0x1.0000000000000p+0, 0x1.921fb54442d18p-1},
        {"second quadrant", 0x1.0000000000000p+0, -0x1.0000000000000p+0, 0x1.2d97c7f3321d2p+1},
        {"third quadrant", -0x1.0000000000000p+0, -0x1.0000000000000p+0, -0x1.2d97c7f3321d2p+1},
        {"steep", 0x1.0000000000000p+2, 0x1.8000000000000p+1, 0x1.dac670561bb4fp-1},
        {"shallow", 0x1.8000000000000p+1, 0x1.0000000000000p+2, 0x1.4978fa3269ee1p-1},
        {"near the axis", 0x1.0624dd2f1a9fcp-10, 0x1.4000000000000p+2, 0x1.a36e2e53f1004p-13},
        {"just below the negative axis", -0x1.12e0be826d695p-30, -0x1.0000000000000p+1, -0x1.921fb5432ff0cp+1},
        {"tiny over huge", 0x1.56e1fc2f8f359p-997, 0x1.7e43c8800759cp+996, 0.0},
        {"decimal coordinates", 0x1.999999999999ap-4, 0x1.3333333333333p-2, 0x1.4978fa3269ee2p-2},
        {"arc sweep numbers", 0x1.8b0a3d70a3d71p+3, -0x1.b27ef9db22d0ep+2, 0x1.096b7dee14dd7p+1},
    };
    for (const PairRow& row : rows) {
        SCOPED_TRACE(row.name);
        const double angle = PortableAtan2(row.first, row.second);
        EXPECT_EQ(Bits(angle), Bits(row.expected)) << std::hexfloat << angle;
    }
}

TEST(PortableMathTest, HypotenuseGivesTheCorrectlyRoundedBits)
{
    const PairRow rows[] = {
        {"three four five", 0x1.8000000000000p+1, 0x1.0000000000000p+2, 0x1.4000000000000p+2},
        {"five twelve", 0x1.4000000000000p+2, -0x1.8000000000000p+3, 0x1.a000000000000p+3},
        {"decimals", 0x1.999999999999ap-4, 0x1.999999999999ap-3, 0x1.c9f25c5bfeddap-3},
        {"huge", 0x1.7e43c8800759cp+996, 0x1.7e43c8800759cp+996, 0x1.0e4d50f99b211p+997},
        {"tiny", 0x1.56e1fc2f8f359p-997, 0x1.01297d23ab683p-995, 0x1.0f1297202ba7fp-995},
        {"one far smaller", 0x1.0000000000000p+0, 0x1.79ca10c924223p-67, 0x1.0000000000000p+0},
        {"program coordinates", -0x1.4000000000000p+1, 0x1.d000000000000p+2, 0x1.eacfc33c42c86p+2},
        {"nearly equal", 0x1.34a456d5cfaadp+10, 0x1.34a458793dd98p+10, 0x1.b47c5382f42e1p+10},
    };
    for (const PairRow& row : rows) {
        SCOPED_TRACE(row.name);
        const double length = PortableHypot(row.first, row.second);
        EXPECT_EQ(Bits(length), Bits(row.expected)) << std::hexfloat << length;
    }
}

// Zeros, infinities and not-a-number as C99 defines them, which the C
// library gives on every system.
TEST(PortableMathTest, SpecialValuesFollowTheCLibrary)
{
    constexpr double INF = std::numeric_limits<double>::infinity();
    constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();
    const PairRow atanRows[] = {
        {"plus zero over a positive", 0.0, 2.0, 0.0},     {"minus zero over a positive", -0.0, 2.0, 0.0},
        {"plus zero over a negative", 0.0, -2.0, 0.0},    {"minus zero over a negative", -0.0, -2.0, 0.0},
        {"plus zero over minus zero", 0.0, -0.0, 0.0},    {"minus zero over plus zero", -0.0, 0.0, 0.0},
        {"a positive over zero", 3.0, 0.0, 0.0},          {"a negative over minus zero", -3.0, -0.0, 0.0},
        {"infinity over infinity", INF, INF, 0.0},        {"infinity over minus infinity", INF, -INF, 0.0},
        {"a number over minus infinity", -1.0, -INF, 0.0}, {"a number over infinity", -1.0, INF, 0.0},
        {"minus infinity over a number", -INF, 5.0, 0.0}, {"not a number", NOT_A_NUMBER, 1.0, 0.0},
    };
    for (const PairRow& row : atanRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Bits(PortableAtan2(row.first, row.second)), Bits(std::atan2(row.first, row.second)));
    }
    const PairRow hypotRows[] = {
        {"infinity beats not a number", INF, NOT_A_NUMBER, 0.0},
        {"minus infinity", 1.0, -INF, 0.0},
        {"zeros", -0.0, 0.0, 0.0},
        {"a zero and a number", 0.0, -7.5, 0.0},
    };
    for (const PairRow& row : hypotRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Bits(PortableHypot(row.first, row.second)), Bits(std::hypot(row.first, row.second)));
    }
    EXPECT_TRUE(std::isnan(PortableHypot(NOT_A_NUMBER, 1.0)));
    const double angles[] = {INF, -INF, NOT_A_NUMBER};
    for (double angle : angles) {
        EXPECT_TRUE(std::isnan(PortableSin(angle)));
        EXPECT_TRUE(std::isnan(PortableCos(angle)));
    }
    EXPECT_EQ(Bits(PortableSin(-0.0)), Bits(-0.0));
    EXPECT_EQ(PortableCos(-0.0), 1.0);
}

// Against the long double functions on random inputs of the sizes arcs
// have: never more than one unit in the last place apart, and nearly always
// the same (long double rounded to double is itself off now and then).
TEST(PortableMathTest, RandomInputsAgreeWithLongDouble)
{
    struct FunctionRow {
        const char* name;
        double (*portable)(double, double);
        long double (*reference)(long double, long double);
        double low;
        double high;
    };
    const FunctionRow rows[] = {
        {"sine", [](double angle, double) { return PortableSin(angle); },
         [](long double angle, long double) { return std::sin(angle); }, -10.0, 10.0},
        {"cosine", [](double angle, double) { return PortableCos(angle); },
         [](long double angle, long double) { return std::cos(angle); }, -10.0, 10.0},
        {"arc tangent", PortableAtan2, [](long double y, long double x) { return std::atan2(y, x); }, -1000.0,
         1000.0},
        {"hypotenuse", PortableHypot, [](long double x, long double y) { return std::hypot(x, y); }, -1000.0,
         1000.0},
        {"arc tangent of small numbers", PortableAtan2,
         [](long double y, long double x) { return std::atan2(y, x); }, -1e-3, 1e-3},
    };
    constexpr int INPUTS = 200000;
    for (const FunctionRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::mt19937_64 generator(20261209);
        std::uniform_real_distribution<double> value(row.low, row.high);
        int same = 0;
        std::uint64_t worst = 0;
        for (int input = 0; input < INPUTS; ++input) {
            const double first = value(generator);
            const double second = value(generator);
            const double portable = row.portable(first, second);
            const double reference = static_cast<double>(row.reference(first, second));
            const std::uint64_t apart = UlpsApart(portable, reference);
            worst = std::max(worst, apart);
            same += apart == 0 ? 1 : 0;
        }
        EXPECT_LE(worst, 1u);
        EXPECT_GE(same, INPUTS - INPUTS / 1000);
    }
}

} // namespace
