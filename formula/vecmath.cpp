// Array versions of the formula functions: the scalar path and the run-time
// choice of the vector path. The vector path lives in vecmath_avx2.cpp, the
// only file built for AVX2, and is called only after the processor has been
// seen to have it.
#include "formula/vecmath.h"
#include "formula/symbols.h"
#include <algorithm>
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

// A value the vector path cannot vouch for costs its vector work and then
// the C library's. A call starts with a probe of PROBE values; while the
// vector path succeeds it goes on a CHUNK at a time. After a probe or chunk
// where more than one in FALLBACK_SHARE values fell back, the next values
// take the scalar path, which is quicker for them (a power costs the vector
// path about a third of the library's, a sine less), then a probe again:
// the scalar span doubles while probes keep failing. Both paths give the
// same values.
const int PROBE = 16;
const int CHUNK = 256;
const int SCALAR_SPAN = 256;
const int FALLBACK_SHARE = 2;

// vector(first, count) returns its fallbacks; scalar(first, count) computes values.
template <class Vector, class Scalar> static int inChunks(int n, Vector vector, Scalar scalar)
{
    int fallbacks = 0, size = PROBE, scalarLeft = 0, span = SCALAR_SPAN;
    for (int first = 0; first < n;) {
        if (scalarLeft > 0) {
            int count = std::min(scalarLeft, n - first);
            scalar(first, count);
            fallbacks += count;
            scalarLeft = 0;
            first += count;
            continue;
        }
        int count = std::min(size, n - first);
        int failed = vector(first, count);
        fallbacks += failed;
        first += count;
        bool pays = failed * FALLBACK_SHARE <= count;
        scalarLeft = pays ? 0 : span;
        span = pays ? SCALAR_SPAN : span * 2;
        size = pays ? CHUNK : PROBE;
    }
    return fallbacks;
}

static int oneArgument(int (*vector)(const float *, float *, int, float (*)(float)), float (*scalar)(float),
                       const float *in, float *out, int n)
{
    auto scalarPath = [&](int first, int count) {
        for (int i = first; i < first + count; i++)
            out[i] = scalar(in[i]);
    };
    if (!vector || !vectorMathActive()) {
        scalarPath(0, n);
        return std::max(n, 0);
    }
    return inChunks(n, [&](int first, int count) { return vector(in + first, out + first, count, scalar); },
                    scalarPath);
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
    auto scalarPath = [&](int first, int count) {
        for (int i = first; i < first + count; i++)
            out[i] = powerFallback(base[i], exponent[i]);
    };
    if (!vector || !vectorMathActive()) {
        scalarPath(0, n);
        return std::max(n, 0);
    }
    return inChunks(n, [&](int first, int count) {
        return vector(base + first, exponent + first, out + first, count, powerFallback);
    }, scalarPath);
}
