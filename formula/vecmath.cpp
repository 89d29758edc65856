// Array versions of the formula functions: the scalar path and the run-time
// choice of the vector path. The vector path lives in vecmath_avx2.cpp, the
// only file built for AVX2, and is called only after the processor has been
// seen to have it.
#include "formula/vecmath.h"
#include "formula/symbols.h"
#include <atomic>

#ifdef LATTICE_HAVE_SLEEF
#include "formula/vecmath_avx2.h"   // the reference expressions stay in formula/symbols.h
#endif

static std::atomic<bool> vectorWanted{true};

// SLEEF's AVX2 functions use fused multiply-add as well; every processor
// with AVX2 so far has it, but a missing one would fault, not just be slow.
static bool processorHasVectorPath()
{
#ifdef LATTICE_HAVE_SLEEF
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

static bool vectorAvailable()
{
    static const bool available = processorHasVectorPath();
    return available;
}

bool vectorMathActive() { return vectorWanted.load(std::memory_order_relaxed) && vectorAvailable(); }

void useVectorMath(bool wanted) { vectorWanted.store(wanted, std::memory_order_relaxed); }

static float sineFallback(float v) { return sineOf(v); }
static float cosineFallback(float v) { return cosineOf(v); }
static float tangentFallback(float v) { return tangentOf(v); }
static float powerFallback(float base, float exponent) { return powerOf(base, exponent); }

// The vector functions where this build has them; the scalar loop otherwise.
#ifdef LATTICE_HAVE_SLEEF
#define VECTOR_PATH(function) function
#else
#define VECTOR_PATH(function) nullptr
#endif

static int oneArgument(int (*vector)(const float *, float *, int, float (*)(float)), float (*scalar)(float),
                       const float *in, float *out, int n)
{
    if (vector && vectorMathActive())
        return vector(in, out, n, scalar);
    for (int i = 0; i < n; i++)
        out[i] = scalar(in[i]);
    return n > 0 ? n : 0;
}

int sinArray(const float *in, float *out, int n)
{
    return oneArgument(VECTOR_PATH(sinArrayAvx2), sineFallback, in, out, n);
}

int cosArray(const float *in, float *out, int n)
{
    return oneArgument(VECTOR_PATH(cosArrayAvx2), cosineFallback, in, out, n);
}

int tanArray(const float *in, float *out, int n)
{
    return oneArgument(VECTOR_PATH(tanArrayAvx2), tangentFallback, in, out, n);
}

int powArray(const float *base, const float *exponent, float *out, int n)
{
    int (*vector)(const float *, const float *, float *, int, float (*)(float, float)) = VECTOR_PATH(powArrayAvx2);
    if (vector && vectorMathActive())
        return vector(base, exponent, out, n, powerFallback);
    for (int i = 0; i < n; i++)
        out[i] = powerFallback(base[i], exponent[i]);
    return n > 0 ? n : 0;
}
