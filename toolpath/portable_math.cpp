#include "portable_math.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

// Everything here relies on each operation being rounded once: a fused
// multiply-add or a wider register would give other bits.
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0
#error "portable math needs double arithmetic evaluated in double (SSE2), not x87"
#endif

namespace {

// A value as the unevaluated sum hi + lo with |lo| at most half an ulp of hi.
struct Double2 {
    double hi;
    double lo;
};

// Exact: hi + lo == a + b.
Double2 TwoSum(double a, double b)
{
    const double sum = a + b;
    const double bPart = sum - a;
    return {sum, (a - (sum - bPart)) + (b - bPart)};
}

// Exact when |a| >= |b| or a is 0.
Double2 FastTwoSum(double a, double b)
{
    const double sum = a + b;
    return {sum, b - (sum - a)};
}

// Dekker's split into two halves of 26 bits; |a| stays far below 2^995
// everywhere it is called.
Double2 Split(double a)
{
    constexpr double SPLITTER = 134217729.0; // 2^27 + 1
    const double scaled = SPLITTER * a;
    const double high = scaled - (scaled - a);
    return {high, a - high};
}

// Exact: hi + lo == a * b, without a fused multiply-add.
Double2 TwoProduct(double a, double b)
{
    const double product = a * b;
    const Double2 aParts = Split(a);
    const Double2 bParts = Split(b);
    const double error = ((aParts.hi * bParts.hi - product) + aParts.hi * bParts.lo + aParts.lo * bParts.hi) +
                         aParts.lo * bParts.lo;
    return {product, error};
}

Double2 Add(const Double2& a, const Double2& b)
{
    const Double2 sum = TwoSum(a.hi, b.hi);
    return FastTwoSum(sum.hi, sum.lo + (a.lo + b.lo));
}

Double2 Multiply(const Double2& a, const Double2& b)
{
    const Double2 product = TwoProduct(a.hi, b.hi);
    return FastTwoSum(product.hi, product.lo + (a.hi * b.lo + a.lo * b.hi));
}

Double2 Negate(const Double2& a) { return {-a.hi, -a.lo}; }

double Round(const Double2& a) { return a.hi + a.lo; }

// pi and pi / 2 to about 107 bits.
constexpr Double2 PI = {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53};
constexpr Double2 HALF_PI = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};

// ---- Sine and cosine ----

// pi / 2 in three pieces: the first two of 33 bits, so that k times them
// is exact for |k| < 2^20.
constexpr double HALF_PI_1 = 0x1.921fb544p+0;
constexpr double HALF_PI_2 = 0x1.0b4611a6p-34;
constexpr double HALF_PI_3 = 0x1.3198a2e037073p-69;
constexpr double TWO_OVER_PI = 0x1.45f306dc9c883p-1;
constexpr double QUARTER_PI = 0x1.921fb54442d18p-1;

// Taylor coefficients from r^7 (sine) and r^6 (cosine) on: past the first
// terms rounding them in double costs less than 2^-60 of the result.
constexpr double SINE_TAIL[] = {-1.0 / 5040.0,        1.0 / 362880.0,          -1.0 / 39916800.0,
                                1.0 / 6227020800.0,   -1.0 / 1307674368000.0,  1.0 / 355687428096000.0,
                                -1.0 / 121645100408832000.0};
constexpr double COSINE_TAIL[] = {-1.0 / 720.0,        1.0 / 40320.0,          -1.0 / 3628800.0,
                                  1.0 / 479001600.0,   -1.0 / 87178291200.0,   1.0 / 20922789888000.0,
                                  -1.0 / 6402373705728000.0};
constexpr Double2 MINUS_SIXTH = {-0x1.5555555555555p-3, -0x1.5555555555555p-57};
constexpr Double2 ONE_HUNDRED_TWENTIETH = {0x1.1111111111111p-7, 0x1.1111111111111p-63};
constexpr Double2 MINUS_HALF = {-0.5, 0.0};
constexpr Double2 TWENTY_FOURTH = {0x1.5555555555555p-5, 0x1.5555555555555p-59};

template <std::size_t N>
double Horner(const double (&coefficients)[N], double z)
{
    double sum = coefficients[N - 1];
    for (std::size_t index = N - 1; index-- > 0;)
        sum = coefficients[index] + z * sum;
    return sum;
}

// For |r| <= pi / 4 (a hair more after the reduction).
double SinOfReduced(const Double2& r)
{
    const Double2 square = Multiply(r, r);
    const double tail = Horner(SINE_TAIL, square.hi);
    Double2 sum = Add(ONE_HUNDRED_TWENTIETH, Multiply(square, {tail, 0.0}));
    sum = Add(MINUS_SIXTH, Multiply(square, sum));
    sum = Add({1.0, 0.0}, Multiply(square, sum));
    return Round(Multiply(r, sum));
}

double CosOfReduced(const Double2& r)
{
    const Double2 square = Multiply(r, r);
    const double tail = Horner(COSINE_TAIL, square.hi);
    Double2 sum = Add(TWENTY_FOURTH, Multiply(square, {tail, 0.0}));
    sum = Add(MINUS_HALF, Multiply(square, sum));
    sum = Add({1.0, 0.0}, Multiply(square, sum));
    return Round(sum);
}

// angle = quadrant * pi / 2 + r with |r| <= pi / 4. Exact to about 2^-100
// of pi for |angle| below 2^19 pi / 2; larger angles, which no arc has, are
// reduced by the same steps less accurately but with the same bits.
struct Reduced {
    Double2 r;
    int quadrant;
};

Reduced Reduce(double angle)
{
    if (std::fabs(angle) <= QUARTER_PI)
        return {{angle, 0.0}, 0};
    const double turns = std::floor(angle * TWO_OVER_PI + 0.5);
    const double first = angle - turns * HALF_PI_1;
    const Double2 second = TwoSum(first, -(turns * HALF_PI_2));
    const Double2 r = FastTwoSum(second.hi, second.lo - turns * HALF_PI_3);
    const double quarter = std::fmod(turns, 4.0);
    return {r, static_cast<int>(quarter < 0.0 ? quarter + 4.0 : quarter)};
}

// Below this sine is the angle and cosine is 1 once rounded.
constexpr double TINY_ANGLE = 0x1p-27;

// ---- Arc tangent ----

// atan(k / 16) for k = 1 ... 16.
constexpr Double2 ATAN_OF_SIXTEENTHS[] = {
    {0x1.ff55bb72cfdeap-5, -0x1.c934d86d23f1dp-60}, {0x1.fd5ba9aac2f6ep-4, -0x1.cd37686760c17p-59},
    {0x1.7b97b4bce5b02p-3, 0x1.347b0b4f881cap-58},  {0x1.f5b75f92c80ddp-3, 0x1.8ab6e3cf7afbdp-57},
    {0x1.362773707ebccp-2, -0x1.963a544b672d8p-57}, {0x1.6f61941e4def1p-2, -0x1.c63aae6f6e918p-56},
    {0x1.a64eec3cc23fdp-2, -0x1.24dec1b50b7ffp-56}, {0x1.dac670561bb4fp-2, 0x1.a2b7f222f65e2p-56},
    {0x1.0657e94db30d0p-1, -0x1.d5b495f6349e6p-56}, {0x1.1e00babdefeb4p-1, -0x1.928df287a668fp-58},
    {0x1.345f01cce37bbp-1, 0x1.1021137c71102p-55},  {0x1.4978fa3269ee1p-1, 0x1.2419a87f2a458p-56},
    {0x1.5d58987169b18p-1, 0x1.0028e4bc5e7cap-57},  {0x1.700a7c5784634p-1, -0x1.8c34d25aadef6p-56},
    {0x1.819d0b7158a4dp-1, -0x1.bf76229d3b917p-56}, {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55},
};
// atan(u) = u - u^3 / 3 + u^5 (1/5 - u^2 / 7 + ...); for |u| <= 1/32 the
// terms from u^17 on are below 2^-80 of u.
constexpr double ATAN_TAIL[] = {1.0 / 5.0, -1.0 / 7.0, 1.0 / 9.0, -1.0 / 11.0, 1.0 / 13.0, -1.0 / 15.0};
constexpr Double2 MINUS_THIRD = {-0x1.5555555555555p-2, -0x1.5555555555555p-56};

// atan(small / large) for 0 < small <= large, both finite and of a size
// whose products neither overflow nor underflow.
Double2 AtanOfRatio(double small, double large)
{
    // atan(t) = atan(c) + atan(u) with u = (t - c) / (1 + t c)
    //                                    = (small - c large) / (large + c small).
    const int sixteenths = static_cast<int>(small / large * 16.0 + 0.5);
    const double c = sixteenths / 16.0;
    const Double2 cLarge = TwoProduct(c, large);
    const Double2 cSmall = TwoProduct(c, small);
    const Double2 numerator = Add({small, 0.0}, Negate(cLarge));
    const Double2 denominator = Add({large, 0.0}, cSmall);
    const double uHigh = numerator.hi / denominator.hi;
    const Double2 back = TwoProduct(uHigh, denominator.hi);
    const double uLow =
        (((numerator.hi - back.hi) - back.lo) + numerator.lo - uHigh * denominator.lo) / denominator.hi;
    const Double2 u = FastTwoSum(uHigh, uLow);
    const Double2 square = TwoProduct(u.hi, u.hi);
    const Double2 cube = Multiply(square, u);
    const double tail = u.hi * square.hi * square.hi * Horner(ATAN_TAIL, square.hi);
    Double2 atanU = Add(u, Multiply(cube, MINUS_THIRD));
    atanU = Add(atanU, {tail, 0.0});
    return sixteenths == 0 ? atanU : Add(ATAN_OF_SIXTEENTHS[sixteenths - 1], atanU);
}

// Below this ratio atan(t) rounds to t.
constexpr double TINY_RATIO = 0x1p-60;
constexpr double SCALE_DOWN_ABOVE = 0x1p500;
constexpr double SCALE_UP_BELOW = 0x1p-500;

double ScaledPowerOfTwo(double value, double& factor)
{
    factor = 1.0;
    if (value > SCALE_DOWN_ABOVE)
        factor = 0x1p-600;
    else if (value < SCALE_UP_BELOW)
        factor = 0x1p600;
    return value * factor;
}

} // namespace

double PortableSin(double angle)
{
    if (!std::isfinite(angle))
        return angle - angle;
    if (std::fabs(angle) < TINY_ANGLE)
        return angle;
    const Reduced reduced = Reduce(angle);
    switch (reduced.quadrant) {
    case 0: return SinOfReduced(reduced.r);
    case 1: return CosOfReduced(reduced.r);
    case 2: return -SinOfReduced(reduced.r);
    default: return -CosOfReduced(reduced.r);
    }
}

double PortableCos(double angle)
{
    if (!std::isfinite(angle))
        return angle - angle;
    if (std::fabs(angle) < TINY_ANGLE)
        return 1.0;
    const Reduced reduced = Reduce(angle);
    switch (reduced.quadrant) {
    case 0: return CosOfReduced(reduced.r);
    case 1: return -SinOfReduced(reduced.r);
    case 2: return -CosOfReduced(reduced.r);
    default: return SinOfReduced(reduced.r);
    }
}

double PortableAtan2(double y, double x)
{
    if (std::isnan(x) || std::isnan(y))
        return x + y;
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    const bool leftHalf = std::signbit(x);
    double angle = 0.0;
    if (ay == 0.0) {
        angle = leftHalf ? PI.hi : 0.0;
    } else if (ax == 0.0) {
        angle = HALF_PI.hi;
    } else if (std::isinf(ax) || std::isinf(ay)) {
        if (!std::isinf(ay))
            angle = leftHalf ? PI.hi : 0.0;
        else if (!std::isinf(ax))
            angle = HALF_PI.hi;
        else
            angle = leftHalf ? 3.0 * QUARTER_PI : QUARTER_PI;
    } else if (ay < ax * TINY_RATIO && !leftHalf) {
        angle = ay / ax;
    } else {
        // The same power of two on both keeps the ratio and lets Dekker's
        // products neither overflow nor underflow.
        double factor = 1.0;
        const double larger = ScaledPowerOfTwo(std::max(ax, ay), factor);
        const double smaller = std::min(ax, ay) * factor;
        Double2 result = smaller == 0.0 ? Double2{0.0, 0.0} : AtanOfRatio(smaller, larger);
        if (ay > ax)
            result = Add(HALF_PI, Negate(result));
        if (leftHalf)
            result = Add(PI, Negate(result));
        angle = Round(result);
    }
    return std::signbit(y) ? -angle : angle;
}

double PortableHypot(double x, double y)
{
    if (std::isinf(x) || std::isinf(y))
        return std::numeric_limits<double>::infinity();
    if (std::isnan(x) || std::isnan(y))
        return x + y;
    double larger = std::fabs(x);
    double smaller = std::fabs(y);
    if (smaller > larger)
        std::swap(larger, smaller);
    // (smaller / larger)^2 / 2 below 2^-57 cannot move the rounding.
    if (smaller <= larger * 0x1p-28)
        return larger;
    double factor = 1.0;
    larger = ScaledPowerOfTwo(larger, factor);
    smaller *= factor;
    // The square sum in two doubles, its rounded root, and one Newton step
    // on the root's error.
    const Double2 sum = Add(TwoProduct(larger, larger), TwoProduct(smaller, smaller));
    const double root = std::sqrt(sum.hi);
    const Double2 rootSquared = TwoProduct(root, root);
    const double error = ((sum.hi - rootSquared.hi) - rootSquared.lo) + sum.lo;
    return (root + error / (2.0 * root)) / factor;
}
