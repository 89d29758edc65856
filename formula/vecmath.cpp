// Array versions of the formula functions: the scalar path and the run-time
// choice of the vector path. The vector paths live in vecmath_avx2.cpp and
// vecmath_avx512.cpp, the only files built for AVX2 and for AVX-512, and
// each is called only after the processor has been seen to have it.
#include "formula/vecmath.h"
#include "formula/symbols.h"
#include <algorithm>
#include <atomic>

#ifdef LATTICE_HAVE_SLEEF
#include "formula/vecmath_avx2.h"   // the reference expressions stay in formula/symbols.h
#endif
#ifdef LATTICE_HAVE_SLEEF_AVX512
#include "formula/vecmath_avx512.h"
#endif

// The widest path the processor and the build have. SLEEF's AVX2 functions
// use fused multiply-add as well; every processor with AVX2 so far has it,
// but a missing one would fault, not just be slow. The AVX-512 file uses
// the F, DQ and VL parts (every AVX-512 processor but the first Xeon Phi
// has them); the processor check also asks whether the system saves the
// AVX-512 registers.
static vectorPath widestOfProcessor()
{
#ifdef LATTICE_HAVE_SLEEF
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma"))
        return vectorPath::none;
#ifdef LATTICE_HAVE_SLEEF_AVX512
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl"))
        return vectorPath::avx512;
#endif
    return vectorPath::avx2;
#else
    return vectorPath::none;
#endif
}

vectorPath widestVectorPath()
{
    static const vectorPath widest = widestOfProcessor();
    return widest;
}

static std::atomic<vectorPath> wantedPath{vectorPath::avx512};

vectorPath activeVectorPath() { return std::min(wantedPath.load(std::memory_order_relaxed), widestVectorPath()); }

bool vectorMathActive() { return activeVectorPath() != vectorPath::none; }

void useVectorMath(bool wanted) { useVectorPath(wanted ? vectorPath::avx512 : vectorPath::none); }

void useVectorPath(vectorPath widest) { wantedPath.store(widest, std::memory_order_relaxed); }

const char *vectorPathName(vectorPath path)
{
    switch (path) {
    case vectorPath::avx512: return "AVX-512";
    case vectorPath::avx2: return "AVX2";
    default: return "scalar";
    }
}

static float sineFallback(float v) { return sineOf(v); }
static float cosineFallback(float v) { return cosineOf(v); }
static float tangentFallback(float v) { return tangentOf(v); }
static float powerFallback(float base, float exponent) { return powerOf(base, exponent); }

// The vector functions of the active path, or null for the scalar loop.
struct vectorFunctions {
    int (*sine)(const float *, float *, int, float (*)(float));
    int (*cosine)(const float *, float *, int, float (*)(float));
    int (*tangent)(const float *, float *, int, float (*)(float));
    int (*power)(const float *, const float *, float *, int, float (*)(float, float));
};

static vectorFunctions activeFunctions()
{
    switch (activeVectorPath()) {
#ifdef LATTICE_HAVE_SLEEF_AVX512
    case vectorPath::avx512: return { sinArrayAvx512, cosArrayAvx512, tanArrayAvx512, powArrayAvx512 };
#endif
#ifdef LATTICE_HAVE_SLEEF
    case vectorPath::avx2: return { sinArrayAvx2, cosArrayAvx2, tanArrayAvx2, powArrayAvx2 };
#endif
    default: return { nullptr, nullptr, nullptr, nullptr };
    }
}

// A value the vector path cannot vouch for costs its vector work and then
// the C library's. A call starts with a probe of PROBE values; while the
// vector path succeeds it goes on a CHUNK at a time. After a probe or chunk
// where more than one in FALLBACK_SHARE values fell back, the next values
// take the scalar path, which is quicker for them (a power costs the vector
// paths a third of the library's or less, a sine less), then a probe again:
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
    if (!vector) {
        scalarPath(0, n);
        return std::max(n, 0);
    }
    return inChunks(n, [&](int first, int count) { return vector(in + first, out + first, count, scalar); },
                    scalarPath);
}

int sinArray(const float *in, float *out, int n)
{
    return oneArgument(activeFunctions().sine, sineFallback, in, out, n);
}

int cosArray(const float *in, float *out, int n)
{
    return oneArgument(activeFunctions().cosine, cosineFallback, in, out, n);
}

int tanArray(const float *in, float *out, int n)
{
    return oneArgument(activeFunctions().tangent, tangentFallback, in, out, n);
}

int powArray(const float *base, const float *exponent, float *out, int n)
{
    auto vector = activeFunctions().power;
    auto scalarPath = [&](int first, int count) {
        for (int i = first; i < first + count; i++)
            out[i] = powerFallback(base[i], exponent[i]);
    };
    if (!vector) {
        scalarPath(0, n);
        return std::max(n, 0);
    }
    return inChunks(n, [&](int first, int count) {
        return vector(base + first, exponent + first, out + first, count, powerFallback);
    }, scalarPath);
}
