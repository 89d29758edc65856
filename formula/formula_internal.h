// Pieces shared by the evaluator and the compiled programs, so that both
// compute every value with exactly the same operations and roundings.
#pragma once
#include "formula/formula.h"
#include <cmath>
#include <limits>

// The math library works in double; each result is rounded back to float.
inline float sineOf(float v) { return (float)std::sin((double)v); }
inline float cosineOf(float v) { return (float)std::cos((double)v); }
inline float tangentOf(float v) { return (float)std::tan((double)v); }
inline float powerOf(float base, float exponent)
{
    return (float)std::pow((double)base, (double)exponent);
}

// Division by zero of either sign gives +infinity, whatever the dividend.
inline float quotientOf(float left, float right)
{
    if (right == 0)
        return std::numeric_limits<float>::infinity();
    return left / right;
}

const float ILL_FORMED_VALUE = std::numeric_limits<float>::quiet_NaN();

// True when the passes can reduce the record without taking operands from
// outside its lists: an end marker within the record, known codes, constant
// indices inside the table, balanced non-empty groups, every function
// directly followed by an operand and every operator between two terms.
bool isWellFormed(const myFormula &formula);

inline bool isConstantToken(int t) { return t >= 0; }
inline bool isVariableToken(int t) { return t == TOK_X || t == TOK_Y || t == TOK_Z; }
inline bool isFunctionToken(int t) { return t == TOK_SIN || t == TOK_COS || t == TOK_TAN; }
inline bool isOperatorToken(int t)
{
    return t == TOK_POW || t == TOK_MUL || t == TOK_DIV || t == TOK_ADD || t == TOK_SUB;
}
