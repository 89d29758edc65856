// The AVX2 + SLEEF array functions, defined in vecmath_avx2.cpp and called
// only by vecmath.cpp on processors that have AVX2 and FMA. They call back
// the scalar function given for every lane whose rounding they cannot vouch
// for, so the C library is always entered from code built for any x86-64.
// This header includes nothing, so the AVX2 file can include it safely.
#pragma once

int sinArrayAvx2(const float *in, float *out, int n, float (*scalar)(float));
int cosArrayAvx2(const float *in, float *out, int n, float (*scalar)(float));
int tanArrayAvx2(const float *in, float *out, int n, float (*scalar)(float));
int powArrayAvx2(const float *base, const float *exponent, float *out, int n,
                 float (*scalar)(float, float));
