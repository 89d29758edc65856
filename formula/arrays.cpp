// The array forms of the symbol rows' arithmetic. Each runs the row's own
// scalar function over the operands, so a value computed here is the value
// evaluate computes; the loops are written for the compiler to vectorise
// (this file is built with the loop vectoriser on). The functions go through
// the vector math, which is exact as well.
#include "formula/symbols.h"
#include "formula/vecmath.h"

// Values at a time when one operand of pow must be spread into an array.
const int SPREAD_CHUNK = 256;

template <float (*apply)(float, float)>
VECTOR_LOOP static void eachPair(operandArray left, operandArray right, float *__restrict out, int n)
{
    const float *__restrict a = left.values;
    const float *__restrict b = right.values;
    if (left.step && right.step) {
        for (int i = 0; i < n; i++)
            out[i] = apply(a[i], b[i]);
    } else if (left.step) {
        float bValue = b[0];
        for (int i = 0; i < n; i++)
            out[i] = apply(a[i], bValue);
    } else if (right.step) {
        float aValue = a[0];
        for (int i = 0; i < n; i++)
            out[i] = apply(aValue, b[i]);
    } else {
        float value = apply(a[0], b[0]);
        for (int i = 0; i < n; i++)
            out[i] = value;
    }
}

static void eachValue(int (*array)(const float *, float *, int), float (*scalar)(float), operandArray v,
                      float *out, int n)
{
    if (v.step) {
        array(v.values, out, n);
        return;
    }
    float value = scalar(v.values[0]);
    for (int i = 0; i < n; i++)
        out[i] = value;
}

// powArray takes two arrays: an operand that holds one value is spread over
// a chunk at a time.
static void spreadPower(operandArray base, operandArray exponent, float *out, int n)
{
    float spread[SPREAD_CHUNK];
    float fixed = base.step ? exponent.values[0] : base.values[0];
    for (float &s : spread)
        s = fixed;
    for (int done = 0; done < n; done += SPREAD_CHUNK) {
        int count = n - done < SPREAD_CHUNK ? n - done : SPREAD_CHUNK;
        const float *b = base.step ? base.values + done : spread;
        const float *e = exponent.step ? exponent.values + done : spread;
        powArray(b, e, out + done, count);
    }
}

namespace arrays {

void sine(operandArray v, operandArray, float *out, int n) { eachValue(sinArray, sineOf, v, out, n); }
void cosine(operandArray v, operandArray, float *out, int n) { eachValue(cosArray, cosineOf, v, out, n); }
void tangent(operandArray v, operandArray, float *out, int n) { eachValue(tanArray, tangentOf, v, out, n); }

void power(operandArray base, operandArray exponent, float *out, int n)
{
    if (base.step && exponent.step)
        powArray(base.values, exponent.values, out, n);
    else if (base.step || exponent.step)
        spreadPower(base, exponent, out, n);
    else
        eachPair<arithmetic::power>(base, exponent, out, n);
}

void product(operandArray left, operandArray right, float *out, int n)
{
    eachPair<arithmetic::product>(left, right, out, n);
}

void quotient(operandArray left, operandArray right, float *out, int n)
{
    eachPair<arithmetic::quotient>(left, right, out, n);
}

void sum(operandArray left, operandArray right, float *out, int n) { eachPair<arithmetic::sum>(left, right, out, n); }

void difference(operandArray left, operandArray right, float *out, int n)
{
    eachPair<arithmetic::difference>(left, right, out, n);
}

} // namespace arrays
