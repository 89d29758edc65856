// Formula compiler: turns formula text into the flat token record that the
// evaluator and the compiled programs work on.
#include "formula/symbols.h"
#include <cstdlib>

const float PI_SINGLE = 3.14159274f;        // 0x40490FDB
const float GOLDEN_SINGLE = 1.61803401f;    // 0x3FCF1BBD
const int TEXT_LIMIT = 100;                 // characters read from a formula text
const int TOKEN_LIMIT = FORMULA_SLOTS - 1;  // room is kept for the end marker

// State of one compilation. The fraction divisor is a power of ten kept in
// long double: exact up to 10^27, far beyond the 10^9 an int would hold.
struct compileState {
    myFormula formula;
    int tokenCount;
    int constantCount;
    float number;
    long double divisor;                    // 0 while the integer part is read
    bool numberPending;
};

// A formula too long for the record keeps its first tokens: anything past
// the last slot is dropped rather than written beyond the arrays.
static void appendToken(compileState &state, int code)
{
    if (state.tokenCount < TOKEN_LIMIT)
        state.formula.tokens[state.tokenCount++] = code;
}

static void appendConstant(compileState &state, float value)
{
    if (state.tokenCount >= TOKEN_LIMIT || state.constantCount >= FORMULA_SLOTS)
        return;
    state.formula.constants[state.constantCount] = value;
    appendToken(state, state.constantCount);
    state.constantCount++;
}

static void resetNumber(compileState &state)
{
    state.number = 0;
    state.divisor = 0;
    state.numberPending = false;
}

static void readDigit(compileState &state, int digit)
{
    if (state.divisor == 0) {
        state.number = (float)((double)state.number * 10 + digit);
    } else {
        state.divisor *= 10;
        state.number = (float)((long double)state.number + digit / state.divisor);
    }
    state.numberPending = true;
}

// "P", "G" and "R" take a number written directly before them as a factor.
static void appendScaledConstant(compileState &state, float value)
{
    if (state.numberPending)
        value = state.number * value;
    appendConstant(state, value);
    resetNumber(state);
}

static bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

static void appendSymbol(compileState &state, char c)
{
    for (int k = 1; k < SYMBOL_ROWS; k++) {
        if (signOf[k].kind != SYMBOL_NONE && signOf[k].symbol == c) {
            appendToken(state, -k);
            return;
        }
    }
}

// One character: a digit or point goes into the number being read; P, G and
// R append their constant; any other character first ends a pending number;
// a symbol character appends its token. Every other character is skipped.
static void readCharacter(compileState &state, char c)
{
    if (isDigit(c))
        readDigit(state, c - '0');
    if (c == '.')
        state.divisor = 1;
    if (c == 'P')
        appendScaledConstant(state, PI_SINGLE);
    if (c == 'G')
        appendScaledConstant(state, GOLDEN_SINGLE);
    if (c == 'R')
        appendScaledConstant(state, (float)rand());
    if (!isDigit(c) && c != '.' && state.numberPending) {
        appendConstant(state, state.number);
        resetNumber(state);
    }
    appendSymbol(state, c);
}

myFormula toFormula(const char *text)
{
    compileState state{};
    resetNumber(state);
    int position = 0;
    while (position < TEXT_LIMIT && text[position] != 0) {
        // A minus sign outside a number literal is a factor of -1 on what follows.
        if (text[position] == '-' && !state.numberPending) {
            appendConstant(state, -1.0f);
            appendToken(state, TOK_MUL);
            position++;
            if (text[position] == 0)
                break;
        }
        readCharacter(state, text[position]);
        position++;
    }
    // A number cut by the length limit while its digits go on is dropped.
    if (state.numberPending && !isDigit(text[position]))
        appendConstant(state, state.number);
    state.formula.tokens[state.tokenCount] = TOK_END;
    return state.formula;
}
