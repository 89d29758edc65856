// Formula evaluator: reduces a token record at the current point Time in a
// fixed sequence of passes, one per precedence rank, rewriting the list in
// place. Top-level groups are resolved first by recursion.
#include "formula/formula_internal.h"

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
    return (t >= 0 && t < FORMULA_SLOTS) || (t <= TOK_POW && t > TOK_END);
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

// A token list under construction: constants are renumbered from 0 upwards.
struct listBuilder {
    myFormula list;
    int tokenCount;
    int constantCount;
};

static void appendValue(listBuilder &builder, float value)
{
    builder.list.constants[builder.constantCount] = value;
    builder.list.tokens[builder.tokenCount++] = builder.constantCount++;
}

static void appendCopy(listBuilder &builder, int t, const myFormula &source)
{
    if (isConstantToken(t))
        appendValue(builder, source.constants[t]);
    else
        builder.list.tokens[builder.tokenCount++] = t;
}

static float reduce(myFormula formula);

// Pass 1: every top-level group becomes one constant holding its value.
static listBuilder resolveGroups(const myFormula &formula)
{
    listBuilder work, group;
    work.tokenCount = work.constantCount = 0;
    group.tokenCount = group.constantCount = 0;
    int depth = 0;
    for (int i = 0; formula.tokens[i] != TOK_END; i++) {
        int t = formula.tokens[i];
        if (t == TOK_CLOSE)
            depth--;
        if (depth != 0)
            appendCopy(group, t, formula);
        if (t == TOK_OPEN)
            depth++;
        if (depth != 0)
            continue;
        if (group.tokenCount > 0) {
            group.list.tokens[group.tokenCount] = TOK_END;
            appendValue(work, reduce(group.list));
            group.tokenCount = 0;
            group.constantCount = 0;
        } else {
            appendCopy(work, t, formula);
        }
    }
    work.list.tokens[work.tokenCount] = TOK_END;
    return work;
}

// Pass 2: each occurrence of X, Y or Z gets a constant of its own holding
// the current point's value, numbered above the highest constant present.
static void substituteVariables(listBuilder &work)
{
    int next = work.constantCount > 0 ? work.constantCount : 1;
    for (int p = 0; p < work.tokenCount; p++) {
        int t = work.list.tokens[p];
        if (!isVariableToken(t))
            continue;
        work.list.constants[next] = Time[TOK_X - t];
        work.list.tokens[p] = next++;
    }
}

// Closes the list up over count tokens at position, end marker included.
static void removeTokens(myFormula &list, int position, int count)
{
    int p = position;
    do {
        list.tokens[p] = list.tokens[p + count];
    } while (list.tokens[p++] != TOK_END);
}

static void applyFunctionAt(myFormula &list, int p, int code, float (*function)(float))
{
    if (list.tokens[p] != code)
        return;
    float &operand = list.constants[list.tokens[p + 1]];
    operand = function(operand);
    removeTokens(list, p, 1);
}

// Pass 3: each function applies to the one operand directly after it.
static void applyFunctions(myFormula &list)
{
    for (int p = 0;; p++) {
        applyFunctionAt(list, p, TOK_SIN, sineOf);
        applyFunctionAt(list, p, TOK_COS, cosineOf);
        applyFunctionAt(list, p, TOK_TAN, tangentOf);
        if (list.tokens[p + 1] == TOK_END)
            return;
    }
}

static float combine(int code, float left, float right)
{
    switch (code) {
    case TOK_POW: return powerOf(left, right);
    case TOK_MUL: return left * right;
    case TOK_DIV: return quotientOf(left, right);
    case TOK_ADD: return left + right;
    default:      return left - right;
    }
}

// Passes 4 to 6: each operator of the rank combines its two neighbours into
// the left one, left to right, so chains group from the left.
static void applyOperators(myFormula &list, int code, int otherCode)
{
    int p = 0;
    for (;;) {
        int t = list.tokens[p];
        if (t == code || t == otherCode) {
            float &left = list.constants[list.tokens[p - 1]];
            left = combine(t, left, list.constants[list.tokens[p + 1]]);
            removeTokens(list, p, 2);
            if (list.tokens[p] == TOK_END)
                return;
            continue;
        }
        if (list.tokens[p + 1] == TOK_END)
            return;
        p++;
    }
}

// The passes on a record already known to be well-formed (its groups are too).
static float reduce(myFormula formula)
{
    listBuilder work = resolveGroups(formula);
    substituteVariables(work);
    applyFunctions(work.list);
    applyOperators(work.list, TOK_POW, TOK_POW);
    applyOperators(work.list, TOK_MUL, TOK_DIV);
    applyOperators(work.list, TOK_ADD, TOK_SUB);
    return work.list.constants[work.list.tokens[0]];
}

// Lists the passes cannot reduce safely (empty text, "(X", "X+", "SCX" ...)
// have no value: they give a quiet NaN, which the render drops.
float evaluate(myFormula formula)
{
    if (!isWellFormed(formula))
        return ILL_FORMED_VALUE;
    return reduce(formula);
}
