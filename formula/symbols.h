// The symbol table: every formula character with its token code, what it
// does and its arithmetic. The evaluator, the compiled programs and the
// batched values all compute through these rows, so all give every value
// with the same operations and roundings. Adding a function or an operator
// is one row here, its arithmetic beside it and its array form in
// formula/arrays.cpp.
#pragma once
#include <cmath>
#include <limits>
#include <utility>
#include "formula/formula.h"

// What a symbol does. The evaluation passes run in this order: groups,
// functions, then the three operator ranks from the one that binds tightest.
enum symbolKind {
    SYMBOL_NONE,                    // row 0 and the end marker: no character
    SYMBOL_VARIABLE, SYMBOL_OPEN, SYMBOL_CLOSE,
    SYMBOL_FUNCTION,                // applies to the one operand after it
    SYMBOL_POWER, SYMBOL_PRODUCT, SYMBOL_SUM   // combine their two neighbours
};

// n values of an operand of an array operation: values[i * step], where step
// is 1, or 0 for one value that holds for all n.
struct operandArray {
    const float *values;
    int step;
};

// Functions ignore the right operand. applyArrays gives out[i] = apply(left
// value i, right value i) for i < n, bit for bit; out must not overlap the
// operands. It is there for speed alone: a row without one is computed by
// apply, value by value.
struct symbolRow {
    char symbol;
    symbolKind kind;
    float (*apply)(float left, float right);
    void (*applyArrays)(operandArray left, operandArray right, float *out, int n);
};

// The math library works in double; each result is rounded back to float.
inline float sineOf(float v) { return (float)std::sin((double)v); }
inline float cosineOf(float v) { return (float)std::cos((double)v); }
inline float tangentOf(float v) { return (float)std::tan((double)v); }
inline float powerOf(float base, float exponent) { return (float)std::pow((double)base, (double)exponent); }

namespace arithmetic {

inline float sine(float v, float) { return sineOf(v); }
inline float cosine(float v, float) { return cosineOf(v); }
inline float tangent(float v, float) { return tangentOf(v); }
inline float power(float base, float exponent) { return powerOf(base, exponent); }
inline float product(float left, float right) { return left * right; }
inline float sum(float left, float right) { return left + right; }
inline float difference(float left, float right) { return left - right; }

// Division by zero of either sign gives +infinity, whatever the dividend.
// The division is made either way (by zero it raises no trap, only a flag
// nothing reads), so a loop of quotients needs no branch and vectorises.
inline float quotient(float left, float right)
{
    float q = left / right;
    return right == 0 ? std::numeric_limits<float>::infinity() : q;
}

} // namespace arithmetic

// The array forms of the arithmetic above (formula/arrays.cpp); sine, cosine,
// tangent and power go through the vector math of formula/vecmath.h.
namespace arrays {

void sine(operandArray v, operandArray, float *out, int n);
void cosine(operandArray v, operandArray, float *out, int n);
void tangent(operandArray v, operandArray, float *out, int n);
void power(operandArray base, operandArray exponent, float *out, int n);
void product(operandArray left, operandArray right, float *out, int n);
void quotient(operandArray left, operandArray right, float *out, int n);
void sum(operandArray left, operandArray right, float *out, int n);
void difference(operandArray left, operandArray right, float *out, int n);

} // namespace arrays

// Row k is token code -k; a new row at the end takes the next free code.
inline constexpr symbolRow signOf[] = {
    { 0,   SYMBOL_NONE,     nullptr, nullptr },
    { '^', SYMBOL_POWER,    arithmetic::power, arrays::power },                 // TOK_POW
    { 'S', SYMBOL_FUNCTION, arithmetic::sine, arrays::sine },                   // TOK_SIN
    { 'C', SYMBOL_FUNCTION, arithmetic::cosine, arrays::cosine },               // TOK_COS
    { 'T', SYMBOL_FUNCTION, arithmetic::tangent, arrays::tangent },             // TOK_TAN
    { 'X', SYMBOL_VARIABLE, nullptr, nullptr },                                 // TOK_X
    { 'Y', SYMBOL_VARIABLE, nullptr, nullptr },                                 // TOK_Y
    { 'Z', SYMBOL_VARIABLE, nullptr, nullptr },                                 // TOK_Z
    { '(', SYMBOL_OPEN,     nullptr, nullptr },                                 // TOK_OPEN
    { ')', SYMBOL_CLOSE,    nullptr, nullptr },                                 // TOK_CLOSE
    { '*', SYMBOL_PRODUCT,  arithmetic::product, arrays::product },             // TOK_MUL
    { '/', SYMBOL_PRODUCT,  arithmetic::quotient, arrays::quotient },           // TOK_DIV
    { '+', SYMBOL_SUM,      arithmetic::sum, arrays::sum },                     // TOK_ADD
    { '-', SYMBOL_SUM,      arithmetic::difference, arrays::difference },       // TOK_SUB
    { 0,   SYMBOL_NONE,     nullptr, nullptr },                                 // TOK_END
};
const int SYMBOL_ROWS = sizeof signOf / sizeof signOf[0];

// The arithmetic of a row picked at run time. The rows are known when this
// is compiled, so each case calls its function directly and the simple ones
// are inlined, where a call through the row's pointer could not be.
template <std::size_t... Row>
inline float applyRow(int symbol, float left, float right, std::index_sequence<Row...>)
{
    float result = 0;
    (void)((symbol == (int)Row && signOf[Row].apply ? (result = signOf[Row].apply(left, right), true) : false)
           || ...);
    return result;
}

inline float applySymbol(int symbol, float left, float right)
{
    return applyRow(symbol, left, right, std::make_index_sequence<SYMBOL_ROWS>());
}

// A row's array form, or where it has none its arithmetic value by value.
inline void applySymbolArrays(int symbol, operandArray left, operandArray right, float *out, int n)
{
    if (signOf[symbol].applyArrays) {
        signOf[symbol].applyArrays(left, right, out, n);
        return;
    }
    for (int i = 0; i < n; i++)
        out[i] = applySymbol(symbol, left.values[i * left.step], right.values[i * right.step]);
}
