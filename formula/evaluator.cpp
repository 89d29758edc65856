// The evaluator, the plain reference: the passes over values at the current
// point Time. The compiled programs must give exactly what it gives.
#include "formula/passes.h"
#include <limits>

float Time[3];

static bool startsOperand(int t)
{
    return isConstantToken(t) || isVariableToken(t) || t == TOK_OPEN;
}

static bool endsOperand(int t)
{
    return isConstantToken(t) || isVariableToken(t) || t == TOK_CLOSE;
}

static bool isKnownToken(int t)
{
    return (t >= 0 && t < FORMULA_SLOTS) || (kindOf(t) != SYMBOL_NONE);
}

// May token t stand directly after token previous (TOK_END: at the start)?
static bool mayFollow(int previous, int t)
{
    if (isFunctionToken(previous) && !startsOperand(t))
        return false;
    if (isOperatorToken(previous) && !startsOperand(t) && !isFunctionToken(t))
        return false;
    if (isOperatorToken(t) && !endsOperand(previous))
        return false;
    return !(previous == TOK_OPEN && t == TOK_CLOSE);
}

bool isWellFormed(const myFormula &formula)
{
    int depth = 0;
    int previous = TOK_END;
    for (int i = 0; i < FORMULA_SLOTS; i++) {
        int t = formula.tokens[i];
        if (t == TOK_END)
            return i > 0 && depth == 0 && !isFunctionToken(previous) && !isOperatorToken(previous);
        if (!isKnownToken(t) || !mayFollow(previous, t))
            return false;
        if (t == TOK_OPEN)
            depth++;
        if (t == TOK_CLOSE && --depth < 0)
            return false;
        previous = t;
    }
    return false;       // no end marker inside the record
}

// Handles are slots of values. Every token makes at most one new value (a
// constant, a variable or a result), so a record cannot fill the slots.
struct valueDomain {
    float values[2 * FORMULA_SLOTS];
    int count = 0;

    int constant(float value)
    {
        values[count] = value;
        return count++;
    }
    int variable(int axis) { return constant(Time[axis]); }
    int apply(int symbol, int left, int right)
    {
        return constant(signOf[symbol].apply(values[left], values[right]));
    }
};

// Lists the passes cannot reduce safely (empty text, "(X", "X+", "SCX" ...)
// have no value: they give a quiet NaN, which the render drops.
float evaluate(myFormula formula)
{
    if (!isWellFormed(formula))
        return std::numeric_limits<float>::quiet_NaN();
    valueDomain domain;
    return domain.values[reduceFormula(domain, formula)];
}
