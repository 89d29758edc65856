// The AVX-512 vector path of the array functions: eight lanes at a time in
// double by SLEEF's AVX-512 functions, each lane rounded to float only where
// that rounding is certain to be the one the C library's double would get.
// It is the AVX2 path of vecmath_avx2.cpp at twice the width, with the same
// margins and the same error argument (given there, and for the power in
// powerLanes below), and with the lanes of a power that has no real value
// packed away by the processor's compress and expand.
//
// This file alone is built with -mavx512f -mavx512dq -mavx512vl, and is
// called only on processors that have them. It includes nothing that defines
// inline functions shared with other files, so no AVX-512 copy of such a
// function can be chosen by the linker for code that runs elsewhere.
#if !defined(__AVX512F__) || !defined(__AVX512DQ__) || !defined(__AVX512VL__)
#error "vecmath_avx512.cpp must be built with -mavx512f -mavx512dq -mavx512vl"
#endif
// GCC 12's AVX-512 header starts the unused lanes of a conversion or a
// rounding from a variable set to itself, which its own warning then calls
// uninitialised (GCC bug 105593).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#include <sleef.h>
#include <cfloat>
#include <cstdint>
#include "formula/vecmath_avx512.h"

const int64_t MIDPOINT_MARGIN = 8;                  // in double ULPs, as in vecmath_avx2.cpp
const int64_t POWER_MARGIN = 1024;                  // in double ULPs, for exp(y * log|x|)
const int64_t EXTRA_BITS = 29;                      // fraction bits a double has beyond a float
const int64_t MIDPOINT = int64_t(1) << (EXTRA_BITS - 1);
const int LANES = 8;

typedef decltype(&Sleef_sind8_u35avx512f) sleefOne;
typedef float (*scalarOne)(float);
typedef float (*scalarTwo)(float, float);

// The first count lanes of a block, count from 0 to LANES.
static inline __mmask8 firstLanes(int count) { return (__mmask8)((1u << count) - 1); }

// Bit k set when lane k of the input is infinite or NaN.
static inline __mmask8 nonFiniteLanes(__m512d x)
{
    return (__mmask8)~_mm512_cmp_pd_mask(_mm512_abs_pd(x), _mm512_set1_pd(__builtin_inf()), _CMP_LT_OQ);
}

// Bit k set when (float) of lane k of r might differ from the C library's:
// the test of vecmath_avx2.cpp's uncertainLanes.
static inline __mmask8 uncertainLanes(__m512d r, int64_t margin)
{
    __m512d size = _mm512_abs_pd(r);
    __mmask8 normal = _mm512_cmp_pd_mask(size, _mm512_set1_pd(FLT_MIN), _CMP_GE_OQ)
                    & _mm512_cmp_pd_mask(size, _mm512_set1_pd(FLT_MAX), _CMP_LT_OQ);
    const int64_t extraMask = (int64_t(1) << EXTRA_BITS) - 1;
    __m512i offset = _mm512_and_si512(
        _mm512_add_epi64(_mm512_castpd_si512(r), _mm512_set1_epi64(margin - MIDPOINT)), _mm512_set1_epi64(extraMask));
    __mmask8 nearMidpoint = _mm512_cmplt_epu64_mask(offset, _mm512_set1_epi64(2 * margin + 1));
    return (__mmask8)(~normal | nearMidpoint);
}

// The first count values of a block as doubles; the lanes past them are 1,
// whose sine, cosine, tangent and first power are all certain, so padding
// never adds a fallback and every value takes the same path wherever it lies.
static inline __m512d loadBlock(const float *p, int count)
{
    if (count == LANES)
        return _mm512_cvtps_pd(_mm256_loadu_ps(p));
    return _mm512_cvtps_pd(_mm256_mask_loadu_ps(_mm256_set1_ps(1), firstLanes(count), p));
}

// The results of a chunk of blocks are computed first, then checked and
// rounded in a loop of their own, as in vecmath_avx2.cpp.
const int CHUNK_BLOCKS = 16;

// The first count lanes of r rounded to float into out, each lane of
// fallback the scalar function computes instead. Returns those lanes.
template <class Scalar>
static inline unsigned finishBlock(__m512d r, unsigned fallback, int count, Scalar scalar, float *out)
{
    __m256 rounded = _mm512_cvtpd_ps(r);
    fallback &= firstLanes(count);
    if (fallback) {
        alignas(32) float result[LANES];
        _mm256_store_ps(result, rounded);
        for (unsigned m = fallback; m; m &= m - 1)
            result[__builtin_ctz(m)] = scalar(__builtin_ctz(m));
        rounded = _mm256_load_ps(result);
    }
    if (count == LANES)
        _mm256_storeu_ps(out, rounded);
    else
        _mm256_mask_storeu_ps(out, firstLanes(count), rounded);
    return fallback;
}

// in is read before out is written, so out may be in.
static int oneArgument(sleefOne vector, scalarOne scalar, const float *in, float *out, int n)
{
    __m512d results[CHUNK_BLOCKS];
    int fallbacks = 0;
    const int chunkValues = CHUNK_BLOCKS * LANES;
    for (int first = 0; first < n; first += chunkValues) {
        int count = n - first < chunkValues ? n - first : chunkValues;
        int blocks = (count + LANES - 1) / LANES;
        for (int b = 0; b < blocks; b++) {
            int lanes = count - b * LANES < LANES ? count - b * LANES : LANES;
            results[b] = vector(loadBlock(in + first + b * LANES, lanes));
        }
        for (int b = 0; b < blocks; b++) {
            // A non-finite input has a NaN sine, cosine and tangent, which
            // uncertainLanes sends back to the C library with the others.
            int lanes = count - b * LANES < LANES ? count - b * LANES : LANES;
            const float *x = in + first + b * LANES;
            unsigned fallback = uncertainLanes(results[b], MIDPOINT_MARGIN);
            fallbacks += __builtin_popcount(finishBlock(results[b], fallback, lanes,
                                                        [&](int k) { return scalar(x[k]); }, out + first + b * LANES));
        }
    }
    return fallbacks;
}

// x^y as exp(y * log|x|), negated for a negative x and an odd whole y, as in
// vecmath_avx2.cpp, but from SLEEF's 1-ULP log: by the argument given there,
// within 270 ULPs of the true power, inside POWER_MARGIN. (SLEEF's 3.5-ULP
// AVX-512 log, whose 716 ULPs would fit as well, ran at 0.4 ns a value in
// some processes on this project's machine and at 22 ns in most others;
// the 1-ULP one took 0.75 ns in every run.)
static inline __m512d powerLanes(__m512d base, __m512d exponent)
{
    const int TRUNCATE = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;
    __m512d r = Sleef_expd8_u10avx512f(_mm512_mul_pd(exponent, Sleef_logd8_u10avx512f(_mm512_abs_pd(base))));
    __m512d half = _mm512_mul_pd(exponent, _mm512_set1_pd(0.5));
    __mmask8 whole = _mm512_cmp_pd_mask(exponent, _mm512_roundscale_pd(exponent, TRUNCATE), _CMP_EQ_OQ);
    __mmask8 halfWhole = _mm512_cmp_pd_mask(half, _mm512_roundscale_pd(half, TRUNCATE), _CMP_EQ_OQ);
    __mmask8 negate = whole & ~halfWhole & _mm512_cmp_pd_mask(base, _mm512_setzero_pd(), _CMP_LT_OQ);
    return _mm512_mask_xor_pd(r, negate, r, _mm512_set1_pd(-0.0));
}

// Powers of n pairs, none of them a negative finite base with a finite
// fractional exponent (they are packed away before); out may not be a or b.
static int powerBlocks(scalarTwo scalar, const float *a, const float *b, float *out, int n)
{
    __m512d results[CHUNK_BLOCKS];
    int fallbacks = 0;
    const int chunkValues = CHUNK_BLOCKS * LANES;
    for (int first = 0; first < n; first += chunkValues) {
        int count = n - first < chunkValues ? n - first : chunkValues;
        int blocks = (count + LANES - 1) / LANES;
        for (int k = 0; k < blocks; k++) {
            int at = first + k * LANES, lanes = count - k * LANES < LANES ? count - k * LANES : LANES;
            results[k] = powerLanes(loadBlock(a + at, lanes), loadBlock(b + at, lanes));
        }
        for (int k = 0; k < blocks; k++) {
            int at = first + k * LANES, lanes = count - k * LANES < LANES ? count - k * LANES : LANES;
            __m512d base = loadBlock(a + at, lanes), exponent = loadBlock(b + at, lanes);
            unsigned fallback = uncertainLanes(results[k], POWER_MARGIN) | nonFiniteLanes(base)
                              | nonFiniteLanes(exponent);
            const float *x = a + at, *y = b + at;
            fallbacks += __builtin_popcount(
                finishBlock(results[k], fallback, lanes, [&](int l) { return scalar(x[l], y[l]); }, out + at));
        }
    }
    return fallbacks;
}

// A negative base with a fractional exponent has no real power: NaN, as
// the C library gives, with no log or exp. In each chunk of GATHER_CHUNK
// pairs, sixteen at a time, the other pairs are compressed into arrays of
// their own, their powers computed there, and expanded back into place with
// NaN between them.
const int GATHER_CHUNK = 256;
const int GROUP = 16;

static inline __mmask16 noRealPower(__m512 base, __m512 exponent)
{
    const __m512 infinity = _mm512_set1_ps(__builtin_inff());
    __mmask16 negative = _mm512_cmp_ps_mask(base, _mm512_setzero_ps(), _CMP_LT_OQ);
    __mmask16 finite = _mm512_cmp_ps_mask(_mm512_abs_ps(base), infinity, _CMP_LT_OQ)
                     & _mm512_cmp_ps_mask(_mm512_abs_ps(exponent), infinity, _CMP_LT_OQ);
    __mmask16 fractional = _mm512_cmp_ps_mask(
        exponent, _mm512_roundscale_ps(exponent, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC), _CMP_NEQ_OQ);
    return negative & finite & fractional;
}

static inline __mmask16 firstValues(int count) { return (__mmask16)(count >= GROUP ? 0xffff : (1u << count) - 1); }

static int powers(scalarTwo scalar, const float *a, const float *b, float *out, int n)
{
    // room for a whole group stored past the last kept pair
    alignas(64) float keptA[GATHER_CHUNK + GROUP], keptB[GATHER_CHUNK + GROUP], results[GATHER_CHUNK];
    __mmask16 kept[GATHER_CHUNK / GROUP];
    int fallbacks = 0;
    for (int first = 0; first < n; first += GATHER_CHUNK) {
        int count = n - first < GATHER_CHUNK ? n - first : GATHER_CHUNK;
        int m = 0;
        for (int g = 0; g * GROUP < count; g++) {
            int at = first + g * GROUP;
            __mmask16 present = firstValues(count - g * GROUP);
            __m512 x = _mm512_maskz_loadu_ps(present, a + at), y = _mm512_maskz_loadu_ps(present, b + at);
            __mmask16 keep = present & ~noRealPower(x, y);
            _mm512_storeu_ps(keptA + m, _mm512_maskz_compress_ps(keep, x));
            _mm512_storeu_ps(keptB + m, _mm512_maskz_compress_ps(keep, y));
            kept[g] = keep;
            m += __builtin_popcount(keep);
        }
        fallbacks += powerBlocks(scalar, keptA, keptB, results, m);
        const __m512 nan = _mm512_set1_ps(__builtin_nanf(""));
        for (int g = 0, q = 0; g * GROUP < count; g++) {
            int at = first + g * GROUP, taken = __builtin_popcount(kept[g]);
            __m512 values = _mm512_maskz_loadu_ps(firstValues(taken), results + q);
            _mm512_mask_storeu_ps(out + at, firstValues(count - g * GROUP), _mm512_mask_expand_ps(nan, kept[g], values));
            q += taken;
        }
    }
    return fallbacks;
}

int sinArrayAvx512(const float *in, float *out, int n, scalarOne scalar)
{
    return oneArgument(Sleef_sind8_u35avx512f, scalar, in, out, n);
}

int cosArrayAvx512(const float *in, float *out, int n, scalarOne scalar)
{
    return oneArgument(Sleef_cosd8_u35avx512f, scalar, in, out, n);
}

int tanArrayAvx512(const float *in, float *out, int n, scalarOne scalar)
{
    return oneArgument(Sleef_tand8_u35avx512f, scalar, in, out, n);
}

int powArrayAvx512(const float *base, const float *exponent, float *out, int n, scalarTwo scalar)
{
    return powers(scalar, base, exponent, out, n);
}
