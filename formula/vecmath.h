// Array versions of the formula functions: out[i] is bit for bit the float
// that sineOf, cosineOf, tangentOf and powerOf give for the same inputs.
//
// Where the processor has AVX2 (and the FMA that SLEEF's AVX2 code uses) and
// the build has SLEEF, four values at a time are computed in double by SLEEF,
// eight where it has AVX-512 (F, DQ and VL) and the build SLEEF's AVX-512
// functions; a lane whose rounding to float is not certain is recomputed by
// the C library. Elsewhere every value comes from the C library.
//
// out must either be one of the input arrays or not overlap them. n <= 0
// does nothing. Each call returns how many of its values the C library computed
// (n on the scalar path), which tells how often the vector path falls back.
// Where more than half of a stretch of values falls back, the values that
// follow in the call take the scalar path for a while, where they cost less.
#pragma once

int sinArray(const float *in, float *out, int n);
int cosArray(const float *in, float *out, int n);
int tanArray(const float *in, float *out, int n);
int powArray(const float *base, const float *exponent, float *out, int n);

// The paths of the calls above, narrowest first.
enum class vectorPath { none, avx2, avx512 };

// The widest path this processor and this build have.
vectorPath widestVectorPath();

// The path the calls above take: the widest one, or a narrower one chosen
// with useVectorPath.
vectorPath activeVectorPath();

// True when the calls above take a vector path.
bool vectorMathActive();

// false forces the scalar path; true returns to the widest vector path that
// the processor and the build have. For timing and comparing the paths.
void useVectorMath(bool wanted);

// The calls take the widest path that is at most this one and that the
// processor and the build have; vectorPath::none is the scalar path.
void useVectorPath(vectorPath widest);

// "AVX-512", "AVX2" or "scalar".
const char *vectorPathName(vectorPath path);

// A loop function marked VECTOR_LOOP is built twice, for AVX2 and for the
// processor the build targets, and the dynamic loader picks the copy this
// processor can run. Both copies give the same values: the loops hold plain
// single-precision operations, which round alike at every vector width, and
// the build contracts no multiply-add. clang cannot clone templates, so
// only GCC builds for x86-64 clone.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VECTOR_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define VECTOR_LOOP
#endif
