// The vector path of the array functions: four lanes at a time in double by
// SLEEF's 1-ULP AVX2 functions, each lane rounded to float only where that
// rounding is certain to be the one the C library's double would get.
//
// Both SLEEF and the C library are within about one double ULP of the true
// value, so they are within a few ULPs of each other. A double carries 29
// more fraction bits than a float; when those 29 bits of SLEEF's result are
// more than MIDPOINT_MARGIN ULPs away from the midpoint between two floats,
// both doubles lie on the same side of it and round to the same float. Every
// other lane goes back to the scalar function the caller passes: non-finite
// inputs (their results follow special-case rules, not accuracy), results
// that are NaN, zero, below FLT_MIN (float subnormals round with fewer
// bits), or at or beyond FLT_MAX (rounding there can go to infinity), and
// results close to a midpoint. tools/checkvecmath holds this against the
// C library on every float input and on random pow pairs.
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
const int64_t EXTRA_BITS = 29;                      // fraction bits a double has beyond a float
const int64_t MIDPOINT = int64_t(1) << (EXTRA_BITS - 1);
const int LANES = 4;
const unsigned ALL_LANES = (1u << LANES) - 1;

typedef decltype(&Sleef_sind4_u10avx2) sleefOne;     // SLEEF declares them const functions
typedef decltype(&Sleef_powd4_u10avx2) sleefTwo;
typedef float (*scalarOne)(float);
typedef float (*scalarTwo)(float, float);

// Bit k set when lane k of the input is infinite or NaN.
static unsigned nonFiniteLanes(__m256d x)
{
    __m256d size = _mm256_andnot_pd(_mm256_set1_pd(-0.0), x);
    return ~(unsigned)_mm256_movemask_pd(_mm256_cmp_pd(size, _mm256_set1_pd(__builtin_inf()), _CMP_LT_OQ)) & ALL_LANES;
}

// Bit k set when (float) of lane k of r might differ from the C library's.
static unsigned uncertainLanes(__m256d r)
{
    __m256d size = _mm256_andnot_pd(_mm256_set1_pd(-0.0), r);
    __m256d normal = _mm256_and_pd(_mm256_cmp_pd(size, _mm256_set1_pd(FLT_MIN), _CMP_GE_OQ),
                                   _mm256_cmp_pd(size, _mm256_set1_pd(FLT_MAX), _CMP_LT_OQ));
    __m256i low = _mm256_and_si256(_mm256_castpd_si256(r), _mm256_set1_epi64x((int64_t(1) << EXTRA_BITS) - 1));
    __m256i offset = _mm256_sub_epi64(low, _mm256_set1_epi64x(MIDPOINT - MIDPOINT_MARGIN));
    __m256i nearMidpoint = _mm256_and_si256(_mm256_cmpgt_epi64(offset, _mm256_set1_epi64x(-1)),
                                            _mm256_cmpgt_epi64(_mm256_set1_epi64x(2 * MIDPOINT_MARGIN + 1), offset));
    __m256d certain = _mm256_andnot_pd(_mm256_castsi256_pd(nearMidpoint), normal);
    return ~(unsigned)_mm256_movemask_pd(certain) & ALL_LANES;
}

// Four results from four inputs; the inputs are read before out is written,
// so out may be in. Returns the lanes the scalar function computed.
__attribute__((always_inline)) static inline unsigned oneBlock(sleefOne vector, scalarOne scalar, const float *in, float *out)
{
    __m256d x = _mm256_cvtps_pd(_mm_loadu_ps(in));
    __m256d r = vector(x);
    unsigned fallback = uncertainLanes(r) | nonFiniteLanes(x);
    if (!fallback) {
        _mm_storeu_ps(out, _mm256_cvtpd_ps(r));
        return 0;
    }
    float result[LANES];
    _mm_storeu_ps(result, _mm256_cvtpd_ps(r));
    for (unsigned m = fallback; m; m &= m - 1)
        result[__builtin_ctz(m)] = scalar(in[__builtin_ctz(m)]);
    _mm_storeu_ps(out, _mm_loadu_ps(result));
    return fallback;
}

__attribute__((always_inline)) static inline unsigned twoBlock(sleefTwo vector, scalarTwo scalar, const float *a, const float *b, float *out)
{
    __m256d x = _mm256_cvtps_pd(_mm_loadu_ps(a));
    __m256d y = _mm256_cvtps_pd(_mm_loadu_ps(b));
    __m256d r = vector(x, y);
    unsigned fallback = uncertainLanes(r) | nonFiniteLanes(x) | nonFiniteLanes(y);
    if (!fallback) {
        _mm_storeu_ps(out, _mm256_cvtpd_ps(r));
        return 0;
    }
    float result[LANES];
    _mm_storeu_ps(result, _mm256_cvtpd_ps(r));
    for (unsigned m = fallback; m; m &= m - 1)
        result[__builtin_ctz(m)] = scalar(a[__builtin_ctz(m)], b[__builtin_ctz(m)]);
    _mm_storeu_ps(out, _mm_loadu_ps(result));
    return fallback;
}

// The last n % 4 values go through a padded block, so that every value takes
// the same path whatever its position; the padding's lanes are not counted.
static int oneArgument(sleefOne vector, scalarOne scalar, const float *in, float *out, int n)
{
    int fallbacks = 0, i = 0;
    for (; i + LANES <= n; i += LANES)
        fallbacks += __builtin_popcount(oneBlock(vector, scalar, in + i, out + i));
    if (i < n) {
        int rest = n - i;
        float padded[LANES] = { 1, 1, 1, 1 };
        for (int k = 0; k < rest; k++)
            padded[k] = in[i + k];
        fallbacks += __builtin_popcount(oneBlock(vector, scalar, padded, padded) & ((1u << rest) - 1));
        for (int k = 0; k < rest; k++)
            out[i + k] = padded[k];
    }
    return fallbacks;
}

static int twoArguments(sleefTwo vector, scalarTwo scalar, const float *a, const float *b, float *out, int n)
{
    int fallbacks = 0, i = 0;
    for (; i + LANES <= n; i += LANES)
        fallbacks += __builtin_popcount(twoBlock(vector, scalar, a + i, b + i, out + i));
    if (i < n) {
        int rest = n - i;
        float paddedA[LANES] = { 1, 1, 1, 1 }, paddedB[LANES] = { 1, 1, 1, 1 };
        for (int k = 0; k < rest; k++)
            paddedA[k] = a[i + k], paddedB[k] = b[i + k];
        fallbacks += __builtin_popcount(twoBlock(vector, scalar, paddedA, paddedB, paddedA) & ((1u << rest) - 1));
        for (int k = 0; k < rest; k++)
            out[i + k] = paddedA[k];
    }
    return fallbacks;
}

int sinArrayAvx2(const float *in, float *out, int n, scalarOne scalar)
{
    return oneArgument(Sleef_sind4_u10avx2, scalar, in, out, n);
}

int cosArrayAvx2(const float *in, float *out, int n, scalarOne scalar)
{
    return oneArgument(Sleef_cosd4_u10avx2, scalar, in, out, n);
}

int tanArrayAvx2(const float *in, float *out, int n, scalarOne scalar)
{
    return oneArgument(Sleef_tand4_u10avx2, scalar, in, out, n);
}

int powArrayAvx2(const float *base, const float *exponent, float *out, int n, scalarTwo scalar)
{
    return twoArguments(Sleef_powd4_u10avx2, scalar, base, exponent, out, n);
}
