// The AVX-512 + SLEEF array functions, defined in vecmath_avx512.cpp and
// called only by vecmath.cpp on processors that have AVX-512 F, DQ and VL
// (and so AVX2 and FMA). Like the AVX2 ones (vecmath_avx2.h), they call back
// the scalar function given for every lane whose rounding they cannot vouch
// for. This header includes nothing, so the AVX-512 file can include it safely.
#pragma once

int sinArrayAvx512(const float *in, float *out, int n, float (*scalar)(float));
int cosArrayAvx512(const float *in, float *out, int n, float (*scalar)(float));
int tanArrayAvx512(const float *in, float *out, int n, float (*scalar)(float));
int powArrayAvx512(const float *base, const float *exponent, float *out, int n,
                   float (*scalar)(float, float));
