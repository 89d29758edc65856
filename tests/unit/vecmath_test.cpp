// Vector math: the array functions against the scalar formula functions, bit for bit (NaN matches NaN).
#include "formula/symbols.h"
#include "formula/vecmath.h"
#include <gtest/gtest.h>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <vector>

static std::uint32_t bitsOf(float v) { return std::bit_cast<std::uint32_t>(v); }
static float fromBits(std::uint32_t u) { return std::bit_cast<float>(u); }

static bool sameValue(float a, float b) { return bitsOf(a) == bitsOf(b) || (std::isnan(a) && std::isnan(b)); }

struct oneArgumentFunction {
    const char *name;
    int (*array)(const float *, float *, int);
    float (*scalar)(float);
};
static const oneArgumentFunction ONE_ARGUMENT[] = {
    { "sin", sinArray, sineOf }, { "cos", cosArray, cosineOf }, { "tan", tanArray, tangentOf } };

// Inputs whose rounding needs care: signed zeros, infinities, NaN, subnormals,
// the ends of the float range, multiples of pi/2 where tan blows up, and
// arguments far from zero whose reduction loses many bits.
static const float SPECIAL[] = {
    0.0f, -0.0f, INFINITY, -INFINITY, NAN, -NAN, fromBits(0x00000001), fromBits(0x807FFFFF), FLT_MIN, -FLT_MIN,
    FLT_MAX, -FLT_MAX, 1.57079637f, -1.57079637f, 1.57079625f, 4.71238899f, 3.14159274f, 7.85398149f,
    1e-20f, 3.4e-38f, 1e22f, 0x1p30f, 0x1.921fb6p+23f, 205887.42f, 1.0f, 0.5f, 6.28318548f };

// Runs check once on each vector path the processor and the build have
// (AVX-512, AVX2), then returns to the widest; skips the test where there is none.
template <class Check> static void onEachVectorPath(Check check)
{
    useVectorMath(true);
    if (!vectorMathActive())
        GTEST_SKIP() << "no vector path on this processor or build";
    for (vectorPath path : { vectorPath::avx512, vectorPath::avx2 }) {
        if (path > widestVectorPath())
            continue;
        useVectorPath(path);
        SCOPED_TRACE(vectorPathName(path));
        check();
    }
    useVectorMath(true);
}

// The first value that differs, or -1.
static long firstDifference(const std::vector<float> &got, const std::vector<float> &want)
{
    for (size_t i = 0; i < got.size(); i++)
        if (!sameValue(got[i], want[i]))
            return (long)i;
    return -1;
}

TEST(VecMath, StridedFloatsAndSpecialValuesMatchTheScalarFunctionsAndRarelyFallBack)
{
    std::vector<float> in(SPECIAL, std::end(SPECIAL));
    for (std::uint32_t k = 0; k < (1u << 21); k++)
        in.push_back(fromBits(k * 2049u));                  // wraps once: every exponent, varied fractions
    std::vector<float> got(in.size()), want(in.size());
    onEachVectorPath([&] {
        for (const oneArgumentFunction &f : ONE_ARGUMENT) {
            int fallbacks = f.array(in.data(), got.data(), (int)in.size());
            for (size_t i = 0; i < in.size(); i++)
                want[i] = f.scalar(in[i]);
            long at = firstDifference(got, want);
            EXPECT_EQ(at, -1) << f.name << " of bits " << std::hex << (at < 0 ? 0 : bitsOf(in[at]));
            // zero and subnormal results and non-finite inputs are under 1% of the bit patterns
            EXPECT_LT(fallbacks, (int)in.size() / 50) << f.name;
        }
    });
}

// Which values the C library computes on the vector path: results within the
// margin of a rounding midpoint (the sin, cos and tan inputs were found by
// search; the pow results are exact midpoints), results that are zero, NaN,
// below FLT_MIN or at least FLT_MAX, and non-finite inputs; and not others.
TEST(VecMath, ValuesTheCLibraryComputesOnTheVectorPath)
{
    enum { SIN, COS, TAN, POW };
    struct { int function; float a, b; int fallbacks; } cases[] = {
        { SIN, fromBits(0x3d0650ea), 0, 1 },    // SLEEF's double 8 ULPs below a midpoint
        { SIN, fromBits(0x4371ade3), 0, 1 },    // 1 above
        { COS, fromBits(0x3c107fe6), 0, 1 },    // 1 above
        { COS, fromBits(0x3e5fa70e), 0, 1 },    // 8 below
        { TAN, fromBits(0x40e67f59), 0, 1 },    // 4 below
        { TAN, fromBits(0x43b055d2), 0, 1 },    // 7 below
        { POW, 0x1.001p0f, 2, 1 },              // 1 + 2^-11 + 2^-24, a midpoint
        { POW, -4097, 2, 1 },                   // 16785409, a midpoint
        { POW, 257, 3, 1 },                     // 16974593, a midpoint
        { SIN, -0.0f, 0, 1 },                   // zero
        { SIN, 1e-40f, 0, 1 },                  // below FLT_MIN
        { POW, 2, -149, 1 },                    // below FLT_MIN
        { POW, 2, 128, 1 },                     // beyond FLT_MAX
        { TAN, INFINITY, 0, 1 },                // non-finite input, NaN result
        { POW, -8, 1.0f / 3, 0 },               // no real power: NaN without the library
        { POW, NAN, 0, 1 },                     // non-finite input, result 1
        { POW, 1, INFINITY, 1 },                // non-finite input, result 1
        { POW, -1, -INFINITY, 1 },              // non-finite input, result 1
        { SIN, 0.5f, 0, 0 },
        { COS, 2, 0, 0 },
        { TAN, -1e6f, 0, 0 },
        { POW, 2, 10, 0 },
        { POW, -3, 5, 0 },
    };
    onEachVectorPath([&] {
        for (auto &c : cases) {
            float out;
            int fallbacks = c.function == POW ? powArray(&c.a, &c.b, &out, 1)
                                              : ONE_ARGUMENT[c.function].array(&c.a, &out, 1);
            float want = c.function == POW ? powerOf(c.a, c.b) : ONE_ARGUMENT[c.function].scalar(c.a);
            EXPECT_EQ(fallbacks, c.fallbacks) << c.function << " " << c.a << " " << c.b;
            EXPECT_TRUE(sameValue(out, want)) << c.function << " " << c.a << " " << c.b;
        }
    });
}

// Bases and exponents from several families, each pair depending only on its index.
static void makePair(std::uint64_t k, float &base, float &exponent)
{
    std::uint64_t r = (k + 1) * 0x9E3779B97F4A7C15ull;
    r ^= r >> 29, r *= 0xBF58476D1CE4E5B9ull, r ^= r >> 32;
    double u = (double)(r >> 11) * 0x1p-53, v = (double)((r * 0x94D049BB133111EBull) >> 11) * 0x1p-53;
    switch (k % 5) {
    case 0: base = (float)(2 * u), exponent = (float)(100 * v - 50); break;
    case 1: base = (float)std::exp2(40 * u - 20), exponent = std::round((float)(60 * v - 30)); break;
    case 2: base = (float)(-4 * u), exponent = (float)(120 * v - 60); break;
    case 3: base = (float)std::exp2(277 * u - 149), exponent = (float)(8 * v - 4); break;
    default: base = fromBits((std::uint32_t)r), exponent = fromBits((std::uint32_t)(r >> 32));
    }
    if (k % 10 == 2)
        exponent = std::round(exponent);                    // negative bases with integer exponents
}

TEST(VecMath, PowPairsAndSpecialCasesMatchTheScalarFunction)
{
    std::vector<float> base = { 0, -0.0f, -0.0f, 0, 1, 1, NAN, -1, -1, INFINITY, -INFINITY, -INFINITY, -8, 2, 2, 2,
                                2, -2, 0.5f, FLT_MAX, 0x1.001p0f, 4097, -4097, 3, -1, 10, FLT_MIN, 0x1p-149f };
    std::vector<float> exponent = { -1, -3, 3, 0, INFINITY, NAN, 0, INFINITY, -INFINITY, 0, 3, -3, 1.0f / 3, 128,
                                    -149, -150, 0x1.fffffep6f, 127, 149, 1, 2, 2, 2, 0.5f, 16777215, -38, 0.5f, 0.5f };
    ASSERT_EQ(base.size(), exponent.size());
    for (std::uint64_t k = 0; k < 300000; k++) {
        float b, e;
        makePair(k, b, e);
        base.push_back(b), exponent.push_back(e);
    }
    std::vector<float> got(base.size()), want(base.size());
    onEachVectorPath([&] {
        int fallbacks = powArray(base.data(), exponent.data(), got.data(), (int)base.size());
        for (size_t i = 0; i < base.size(); i++)
            want[i] = powerOf(base[i], exponent[i]);
        long at = firstDifference(got, want);
        EXPECT_EQ(at, -1) << "pow of bits " << std::hex << (at < 0 ? 0 : bitsOf(base[at])) << ", "
                          << (at < 0 ? 0 : bitsOf(exponent[at]));
        EXPECT_LT(fallbacks, (int)base.size() / 2);   // overflow, NaN and raw bit patterns are about 40%
    });
}

// Every length 0..40 on each path (scalar, AVX2, AVX-512), with an untouched
// guard after the end, and in place; the inputs put special values into the
// leftover lanes too, and no-real-value pairs among the others. The
// functions of one argument take a only.
TEST(VecMath, EveryLengthAndInPlaceOnEveryPath)
{
    const int MOST = 40;
    const float specialA[10] = { 0.5f, NAN, 1e-40f, 3, -INFINITY, 1.57079637f, 100, 2, -0.0f, 7 };
    const float specialB[10] = { 2, 0, 3, -1.5f, 2, INFINITY, 0.25f, -3, -1, 0.5f };
    float a[MOST], b[MOST];
    for (int i = 0; i < MOST; i++) {
        a[i] = i < 10 ? specialA[i] : (i % 3 ? -1 : 1) * (0.25f + 0.375f * i);
        b[i] = i < 10 ? specialB[i] : (i % 4 ? 0.5f : 2) * (float)(i % 7) - 1;
    }
    const float GUARD = 12345;
    auto run = [&](int f, const float *x, float *out, int n) {
        return f < 3 ? ONE_ARGUMENT[f].array(x, out, n) : powArray(a, x, out, n);
    };
    auto scalar = [&](int f, int i) { return f < 3 ? ONE_ARGUMENT[f].scalar(a[i]) : powerOf(a[i], b[i]); };
    for (vectorPath path : { vectorPath::none, vectorPath::avx2, vectorPath::avx512 }) {
        if (path > widestVectorPath())
            continue;
        useVectorPath(path);
        for (int n = 0; n <= MOST; n++) {
            for (int f = 0; f < 4; f++) {
                std::vector<float> out(n + 1, GUARD), inPlace(f < 3 ? a : b, (f < 3 ? a : b) + n);
                run(f, f < 3 ? a : b, out.data(), n);
                run(f, inPlace.data(), inPlace.data(), n);
                for (int i = 0; i < n; i++) {
                    EXPECT_TRUE(sameValue(out[i], scalar(f, i)))
                        << vectorPathName(path) << " " << f << " n=" << n << " i=" << i;
                    EXPECT_TRUE(sameValue(inPlace[i], scalar(f, i)))
                        << vectorPathName(path) << " " << f << " in place n=" << n << " i=" << i;
                }
                EXPECT_EQ(out[n], GUARD) << vectorPathName(path) << " " << f << " n=" << n;
            }
        }
    }
    useVectorMath(true);
}
