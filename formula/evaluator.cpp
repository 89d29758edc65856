// The evaluator, the plain reference: the passes over values at the current
// point Time. The compiled programs must give exactly what it gives.
#include "formula/passes.h"
#include <limits>

float Time[3];

static bool isKnownToken(int t)
{
    return (t >= 0 && t < FORMULA_SLOTS) || (kindOf(t) != SYMBOL_NONE);
}

// The fault of token t directly after token previous (TOK_END: at the start).
static formulaFault faultBetween(int previous, int t)
{
    if (isFunctionToken(previous) && !startsOperand(t))
        return FAULT_FUNCTION_WITHOUT_OPERAND;
    if (isOperatorToken(previous) && !startsOperand(t) && !isFunctionToken(t))
        return t == TOK_CLOSE ? FAULT_OPERATOR_BEFORE_CLOSE : FAULT_TWO_OPERATORS;
    if (isOperatorToken(t) && !endsOperand(previous))
        return previous == TOK_OPEN ? FAULT_OPERATOR_AFTER_OPEN : FAULT_STARTS_WITH_OPERATOR;
    return previous == TOK_OPEN && t == TOK_CLOSE ? FAULT_EMPTY_GROUP : FAULT_NONE;
}

static formulaFault faultAtEnd(int count, int depth, int previous)
{
    if (count == 0)
        return FAULT_NO_OPERAND;
    if (depth > 0)
        return FAULT_UNCLOSED_GROUP;
    if (isFunctionToken(previous))
        return FAULT_ENDS_WITH_FUNCTION;
    return isOperatorToken(previous) ? FAULT_ENDS_WITH_OPERATOR : FAULT_NONE;
}

// For a fault at the end, *at is the end marker's index, or for a group
// never closed the index of the last "(" still open.
formulaFault faultOf(const myFormula &formula, int *at)
{
    int openAt[FORMULA_SLOTS];
    int depth = 0;
    int previous = TOK_END;
    int i = 0;
    auto found = [&](formulaFault fault, int index) {
        if (at)
            *at = index;
        return fault;
    };
    for (; i < FORMULA_SLOTS; i++) {
        int t = formula.tokens[i];
        if (t == TOK_END) {
            formulaFault fault = faultAtEnd(i, depth, previous);
            return found(fault, fault == FAULT_UNCLOSED_GROUP ? openAt[depth - 1] : i);
        }
        if (!isKnownToken(t))
            return found(FAULT_UNKNOWN_TOKEN, i);
        if (formulaFault fault = faultBetween(previous, t); fault != FAULT_NONE)
            return found(fault, i);
        if (t == TOK_OPEN)
            openAt[depth++] = i;
        if (t == TOK_CLOSE && --depth < 0)
            return found(FAULT_UNMATCHED_CLOSE, i);
        previous = t;
    }
    return found(FAULT_NO_END, i);
}

bool isWellFormed(const myFormula &formula)
{
    return faultOf(formula) == FAULT_NONE;
}

const char *faultText(formulaFault fault)
{
    static const char *const texts[] = {
        "is well-formed",
        "holds no number or variable",
        "holds a token this program does not know",
        "has no end marker",
        "starts with an operator",
        "has an operator right after \"(\"",
        "has two operators in a row",
        "has an operator right before \")\"",
        "has a function without its operand",
        "has empty parentheses",
        "has a \")\" without a \"(\" before it",
        "has a \"(\" that is never closed",
        "ends with an operator",
        "ends with a function",
    };
    static_assert(sizeof texts / sizeof texts[0] == FAULT_ENDS_WITH_FUNCTION + 1, "one text per fault");
    return texts[fault];
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
