// The vector path of the array functions: four lanes at a time in double by
// SLEEF's AVX2 functions, each lane rounded to float only where that
// rounding is certain to be the one the C library's double would get.
//
// SLEEF's sine, cosine and tangent used here are within 3.5 double ULPs of
// the true value and the C library's within 1, so the two doubles are less
// than MIDPOINT_MARGIN ULPs apart. A power is exp(y * log|x|) from SLEEF's
// log and exp, within POWER_MARGIN ULPs (see powerLanes), at a fraction of
// the cost of SLEEF's own pow, which is no quicker than the C library's.
// A double carries 29 more fraction bits than a float; when those 29 bits
// of SLEEF's result are more than MIDPOINT_MARGIN ULPs (POWER_MARGIN for a
// power) away from the midpoint between two floats, both doubles lie on the
// same side of it and round to the same float. Every other lane goes back
// to the scalar function the caller passes: non-finite inputs (their
// results follow special-case rules, not accuracy), results that are NaN
// (but for a power of a negative base with an exponent that is not a whole
// number: NaN by rule, the C library's too), zero, below FLT_MIN (float
// subnormals round with fewer bits), or at or beyond FLT_MAX (rounding there
// can go to infinity), and results close to a midpoint.
// tools/checkvecmath holds this against the C library on every float input
// and on random pow pairs. (The 1-ULP sine, cosine and tangent pass that
// check too, at half the speed; the cheaper ones lose nothing.)
//
// This file alone is built with -mavx2. It includes nothing that defines
// inline functions shared with other files, so no AVX2 copy of such a
// function can be chosen by the linker for code that runs elsewhere.
#ifndef __AVX2__
#error "vecmath_avx2.cpp must be built with -mavx2"
#endif
#include <immintrin.h>
#include <sleef.h>
#include <cfloat>
#include <cstdint>
#include "formula/vecmath_avx2.h"

const int64_t MIDPOINT_MARGIN = 8;                  // in double ULPs
const int64_t POWER_MARGIN = 1024;                  // in double ULPs, for exp(y * log|x|)
const int64_t EXTRA_BITS = 29;                      // fraction bits a double has beyond a float
const int64_t MIDPOINT = int64_t(1) << (EXTRA_BITS - 1);
const int LANES = 4;
const unsigned ALL_LANES = (1u << LANES) - 1;

typedef decltype(&Sleef_sind4_u10avx2) sleefOne;     // SLEEF declares them const functions
typedef float (*scalarOne)(float);
typedef float (*scalarTwo)(float, float);

// Bit k set when lane k of the input is infinite or NaN.
static unsigned nonFiniteLanes(__m256d x)
{
    __m256d size = _mm256_andnot_pd(_mm256_set1_pd(-0.0), x);
    return ~(unsigned)_mm256_movemask_pd(_mm256_cmp_pd(size, _mm256_set1_pd(__builtin_inf()), _CMP_LT_OQ)) & ALL_LANES;
}

// Bit k set when (float) of lane k of r might differ from the C library's.
static unsigned uncertainLanes(__m256d r, int64_t margin = MIDPOINT_MARGIN)
{
    __m256d size = _mm256_andnot_pd(_mm256_set1_pd(-0.0), r);
    __m256d normal = _mm256_and_pd(_mm256_cmp_pd(size, _mm256_set1_pd(FLT_MIN), _CMP_GE_OQ),
                                   _mm256_cmp_pd(size, _mm256_set1_pd(FLT_MAX), _CMP_LT_OQ));
    // The extra bits' distance above (midpoint - margin), modulo 2^29, is at
    // most 2 * margin exactly for the lanes near a midpoint.
    const int64_t extraMask = (int64_t(1) << EXTRA_BITS) - 1;
    __m256i offset = _mm256_and_si256(
        _mm256_add_epi64(_mm256_castpd_si256(r), _mm256_set1_epi64x(margin - MIDPOINT)),
        _mm256_set1_epi64x(extraMask));
    __m256i nearMidpoint = _mm256_cmpgt_epi64(_mm256_set1_epi64x(2 * margin + 1), offset);
    __m256d certain = _mm256_andnot_pd(_mm256_castsi256_pd(nearMidpoint), normal);
    return ~(unsigned)_mm256_movemask_pd(certain) & ALL_LANES;
}

// The results of a chunk of blocks are computed first, then checked and
// rounded in a loop of their own: a call to SLEEF between the checks would
// keep the checks of one block from overlapping those of the next.
const int CHUNK_BLOCKS = 16;

// Block b's four lanes rounded to float into out, each lane the scalar
// function computes instead where the rounding is not certain. in (and b,
// for two arguments) are read before out is written, so out may be one of
// them. Returns those lanes.
template <class Scalar>
static inline unsigned finishBlock(__m256d r, unsigned fallback, Scalar scalar, float *out)
{
    if (!fallback) {
        _mm_storeu_ps(out, _mm256_cvtpd_ps(r));
        return 0;
    }
    float result[LANES];
    _mm_storeu_ps(result, _mm256_cvtpd_ps(r));
    for (unsigned m = fallback; m; m &= m - 1)
        result[__builtin_ctz(m)] = scalar(__builtin_ctz(m));
    _mm_storeu_ps(out, _mm_loadu_ps(result));
    return fallback;
}

static int oneArgumentBlocks(sleefOne vector, scalarOne scalar, const float *in, float *out, int blocks)
{
    __m256d results[CHUNK_BLOCKS];
    int fallbacks = 0;
    for (int first = 0; first < blocks; first += CHUNK_BLOCKS) {
        int count = blocks - first < CHUNK_BLOCKS ? blocks - first : CHUNK_BLOCKS;
        for (int b = 0; b < count; b++)
            results[b] = vector(_mm256_cvtps_pd(_mm_loadu_ps(in + LANES * (first + b))));
        for (int b = 0; b < count; b++) {
            // A non-finite input has a NaN sine, cosine and tangent, which
            // uncertainLanes sends back to the C library with the others.
            const float *x = in + LANES * (first + b);
            unsigned fallback = uncertainLanes(results[b]);
            fallbacks += __builtin_popcount(
                finishBlock(results[b], fallback, [&](int k) { return scalar(x[k]); }, out + LANES * (first + b)));
        }
    }
    return fallbacks;
}

// x^y as exp(y * log|x|), negated for a negative x and an odd whole y, from
// SLEEF's 3.5-ULP log (the 1-ULP one costs twice as much) and 1-ULP exp.
// For a result that is a normal float, |y * log|x|| < 89; log's 3.5 ULPs
// and the product's rounding (half an ULP) move it by at most
// 89 * 4 * 2^-52, which exp turns into that relative error (under
// 356.1 * 2^-52), and exp's 1 ULP adds 2^-52 more: under 358 * 2^-52 of the
// result, 716 of its ULPs, so within POWER_MARGIN of the true power and of
// the C library's (within an ULP of it). With a 1-ULP log the same steps
// give 135 * 2^-52, 270 ULPs. A zero, infinite or NaN base gives a result
// that uncertainLanes sends back to the C library.
static __m256d powerLanes(__m256d base, __m256d exponent)
{
    __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), base);
    __m256d r = Sleef_expd4_u10avx2(_mm256_mul_pd(exponent, Sleef_logd4_u35avx2(magnitude)));
    __m256d half = _mm256_mul_pd(exponent, _mm256_set1_pd(0.5));
    __m256d whole = _mm256_cmp_pd(exponent, _mm256_round_pd(exponent, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC),
                                  _CMP_EQ_OQ);
    __m256d odd = _mm256_andnot_pd(
        _mm256_cmp_pd(half, _mm256_round_pd(half, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC), _CMP_EQ_OQ), whole);
    __m256d negate = _mm256_and_pd(odd, _mm256_cmp_pd(base, _mm256_setzero_pd(), _CMP_LT_OQ));
    return _mm256_xor_pd(r, _mm256_and_pd(negate, _mm256_set1_pd(-0.0)));
}

// Powers of pairs none of which is a negative finite base with a finite
// fractional exponent (powers packs those away first).
static int powerBlocks(scalarTwo scalar, const float *a, const float *b, float *out, int blocks)
{
    __m256d results[CHUNK_BLOCKS];
    int fallbacks = 0;
    for (int first = 0; first < blocks; first += CHUNK_BLOCKS) {
        int count = blocks - first < CHUNK_BLOCKS ? blocks - first : CHUNK_BLOCKS;
        for (int k = 0; k < count; k++) {
            int at = LANES * (first + k);
            results[k] = powerLanes(_mm256_cvtps_pd(_mm_loadu_ps(a + at)), _mm256_cvtps_pd(_mm_loadu_ps(b + at)));
        }
        for (int k = 0; k < count; k++) {
            const float *x = a + LANES * (first + k), *y = b + LANES * (first + k);
            __m256d base = _mm256_cvtps_pd(_mm_loadu_ps(x)), exponent = _mm256_cvtps_pd(_mm_loadu_ps(y));
            unsigned fallback = uncertainLanes(results[k], POWER_MARGIN) | nonFiniteLanes(base)
                              | nonFiniteLanes(exponent);
            fallbacks += __builtin_popcount(finishBlock(results[k], fallback, [&](int l) { return scalar(x[l], y[l]); },
                                                        out + LANES * (first + k)));
        }
    }
    return fallbacks;
}

// The last n % 4 values go through a padded block, so that every value takes
// the same path whatever its position. The padding is 1, whose sine, cosine,
// tangent and first power are all certain, so it never adds a fallback.
static int oneArgument(sleefOne vector, scalarOne scalar, const float *in, float *out, int n)
{
    int whole = n / LANES, rest = n % LANES;
    int fallbacks = oneArgumentBlocks(vector, scalar, in, out, whole);
    if (rest) {
        float padded[LANES] = { 1, 1, 1, 1 };
        for (int k = 0; k < rest; k++)
            padded[k] = in[LANES * whole + k];
        fallbacks += oneArgumentBlocks(vector, scalar, padded, padded, 1);
        for (int k = 0; k < rest; k++)
            out[LANES * whole + k] = padded[k];
    }
    return fallbacks;
}

static int paddedPowers(scalarTwo scalar, const float *a, const float *b, float *out, int n)
{
    int whole = n / LANES, rest = n % LANES;
    int fallbacks = powerBlocks(scalar, a, b, out, whole);
    if (rest) {
        float paddedA[LANES] = { 1, 1, 1, 1 }, paddedB[LANES] = { 1, 1, 1, 1 };
        for (int k = 0; k < rest; k++) {
            paddedA[k] = a[LANES * whole + k];
            paddedB[k] = b[LANES * whole + k];
        }
        fallbacks += powerBlocks(scalar, paddedA, paddedB, paddedA, 1);
        for (int k = 0; k < rest; k++)
            out[LANES * whole + k] = paddedA[k];
    }
    return fallbacks;
}

// A negative base with a fractional exponent has no real power: NaN, as
// the C library gives, with no log or exp. In each chunk of GATHER_CHUNK
// pairs, eight at a time, the other pairs are compressed into arrays of
// their own (a permutation from a table of the 256 lane masks), their
// powers computed there, and expanded back into place with NaN between
// them. A row of powers of -X by Y values of a fine step has most such
// pairs; every pair takes the same path wherever it lies.
const int GATHER_CHUNK = 256;
const int GROUP = 8;

// For each mask of eight lanes: the lanes of its set bits in order
// (compress), and for each lane the number of set bits below it (expand).
struct laneTables {
    unsigned char compress[256][GROUP];
    unsigned char expand[256][GROUP];
};

static constexpr laneTables makeLaneTables()
{
    laneTables t{};
    for (int m = 0; m < 256; m++)
        for (int lane = 0, kept = 0; lane < GROUP; lane++) {
            t.expand[m][lane] = (unsigned char)kept;
            if (m >> lane & 1)
                t.compress[m][kept++] = (unsigned char)lane;
        }
    return t;
}

static constexpr laneTables LANE_TABLES = makeLaneTables();

static inline __m256i laneIndices(const unsigned char *lanes)
{
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64((const __m128i *)lanes));
}

// All ones in the first count of eight lanes.
static inline __m256i firstLanes(int count)
{
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(count), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// Bit k set when lane k is a negative finite base with a finite exponent
// that is not a whole number.
static inline unsigned noRealPower(__m256 base, __m256 exponent)
{
    const __m256 sign = _mm256_set1_ps(-0.0f), infinity = _mm256_set1_ps(__builtin_inff());
    __m256 negative = _mm256_cmp_ps(base, _mm256_setzero_ps(), _CMP_LT_OQ);
    __m256 finite = _mm256_and_ps(_mm256_cmp_ps(_mm256_andnot_ps(sign, base), infinity, _CMP_LT_OQ),
                                  _mm256_cmp_ps(_mm256_andnot_ps(sign, exponent), infinity, _CMP_LT_OQ));
    __m256 fractional = _mm256_cmp_ps(
        exponent, _mm256_round_ps(exponent, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC), _CMP_NEQ_OQ);
    return (unsigned)_mm256_movemask_ps(_mm256_and_ps(_mm256_and_ps(negative, finite), fractional));
}

static int powers(scalarTwo scalar, const float *a, const float *b, float *out, int n)
{
    // room for a whole group stored past the last kept pair
    float keptA[GATHER_CHUNK + GROUP], keptB[GATHER_CHUNK + GROUP], results[GATHER_CHUNK];
    unsigned char kept[GATHER_CHUNK / GROUP];
    int fallbacks = 0;
    for (int first = 0; first < n; first += GATHER_CHUNK) {
        int count = n - first < GATHER_CHUNK ? n - first : GATHER_CHUNK;
        int m = 0;
        for (int g = 0; g * GROUP < count; g++) {
            int at = first + g * GROUP, present = count - g * GROUP < GROUP ? count - g * GROUP : GROUP;
            __m256 x, y;
            if (present == GROUP) {
                x = _mm256_loadu_ps(a + at), y = _mm256_loadu_ps(b + at);
            } else {
                x = _mm256_maskload_ps(a + at, firstLanes(present));
                y = _mm256_maskload_ps(b + at, firstLanes(present));
            }
            unsigned keep = ~noRealPower(x, y) & ((1u << present) - 1);
            __m256i lanes = laneIndices(LANE_TABLES.compress[keep]);
            _mm256_storeu_ps(keptA + m, _mm256_permutevar8x32_ps(x, lanes));
            _mm256_storeu_ps(keptB + m, _mm256_permutevar8x32_ps(y, lanes));
            kept[g] = (unsigned char)keep;
            m += __builtin_popcount(keep);
        }
        fallbacks += paddedPowers(scalar, keptA, keptB, results, m);
        const __m256 nan = _mm256_set1_ps(__builtin_nanf(""));
        for (int g = 0, q = 0; g * GROUP < count; g++) {
            int at = first + g * GROUP, present = count - g * GROUP < GROUP ? count - g * GROUP : GROUP;
            int taken = __builtin_popcount(kept[g]);
            __m256 values = _mm256_permutevar8x32_ps(_mm256_maskload_ps(results + q, firstLanes(taken)),
                                                     laneIndices(LANE_TABLES.expand[kept[g]]));
            __m256 keptLanes = _mm256_castsi256_ps(_mm256_cmpeq_epi32(
                _mm256_and_si256(_mm256_set1_epi32(kept[g]), _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128)),
                _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128)));
            __m256 r = _mm256_blendv_ps(nan, values, keptLanes);
            if (present == GROUP)
                _mm256_storeu_ps(out + at, r);
            else
                _mm256_maskstore_ps(out + at, firstLanes(present), r);
            q += taken;
        }
    }
    return fallbacks;
}

int sinArrayAvx2(const float *in, float *out, int n, scalarOne scalar)
{
    return oneArgument(Sleef_sind4_u35avx2, scalar, in, out, n);
}

int cosArrayAvx2(const float *in, float *out, int n, scalarOne scalar)
{
    return oneArgument(Sleef_cosd4_u35avx2, scalar, in, out, n);
}

int tanArrayAvx2(const float *in, float *out, int n, scalarOne scalar)
{
    return oneArgument(Sleef_tand4_u35avx2, scalar, in, out, n);
}

int powArrayAvx2(const float *base, const float *exponent, float *out, int n, scalarTwo scalar)
{
    return powers(scalar, base, exponent, out, n);
}
