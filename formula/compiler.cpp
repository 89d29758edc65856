// Formula compiler: turns formula text into the flat token record that the
// evaluator and the compiled programs work on.
#include "formula/symbols.h"
#include "formula/trace.h"
#include <cstdlib>

const float PI_SINGLE = 3.14159274f;        // 0x40490FDB
const float GOLDEN_SINGLE = 1.61803401f;    // 0x3FCF1BBD
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
    int at;                                 // text position of the character being read
    int numberStart;                        // text position where the pending number began
    int pointAt;                            // text position of the last point read; -1 none
    compileTrace *trace;                    // null when nobody asks how the text was read
};

// A formula too long for the record keeps its first tokens: anything past
// the last slot is dropped rather than written beyond the arrays.
static void noteDropped(compileState &state, int start)
{
    if (state.trace && state.trace->droppedTokenAt < 0)
        state.trace->droppedTokenAt = start;
}

// Token k came from the characters start .. end - 1.
static void appendToken(compileState &state, int code, int start, int end)
{
    if (state.tokenCount >= TOKEN_LIMIT) {
        noteDropped(state, start);
        return;
    }
    if (compileTrace *trace = state.trace) {
        trace->tokenStart[state.tokenCount] = start;
        trace->tokenEnd[state.tokenCount] = end;
        trace->timesMinus[state.tokenCount] = false;
    }
    state.formula.tokens[state.tokenCount++] = code;
}

static void appendConstant(compileState &state, float value, int start, int end)
{
    if (state.tokenCount >= TOKEN_LIMIT || state.constantCount >= FORMULA_SLOTS) {
        noteDropped(state, start);
        return;
    }
    state.formula.constants[state.constantCount] = value;
    appendToken(state, state.constantCount, start, end);
    state.constantCount++;
}

// The pending number ends before the character at state.at.
static void appendNumber(compileState &state)
{
    appendConstant(state, state.number, state.numberStart, state.at);
}

static void resetNumber(compileState &state)
{
    state.number = 0;
    state.divisor = 0;
    state.numberPending = false;
    state.numberStart = -1;
}

static void startNumber(compileState &state)
{
    if (state.numberStart < 0)
        state.numberStart = state.at;
}

// A point starts the fraction of the next number read, even when other
// symbols come between them.
static void readDigit(compileState &state, int digit)
{
    if (state.trace && !state.numberPending && state.divisor != 0 && state.pointAt != state.at - 1
        && state.trace->strayPointAt < 0)
        state.trace->strayPointAt = state.pointAt;
    startNumber(state);
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
    int start = state.at;
    if (state.numberPending) {
        value = state.number * value;
        start = state.numberStart;
    }
    appendConstant(state, value, start, state.at + 1);
    resetNumber(state);
}

static bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

static bool isSymbol(char c)
{
    for (int k = 1; k < SYMBOL_ROWS; k++)
        if (signOf[k].kind != SYMBOL_NONE && signOf[k].symbol == c)
            return true;
    return false;
}

static void appendSymbol(compileState &state, char c)
{
    for (int k = 1; k < SYMBOL_ROWS; k++) {
        if (signOf[k].kind != SYMBOL_NONE && signOf[k].symbol == c) {
            appendToken(state, -k, state.at, state.at + 1);
            return;
        }
    }
}

// One character: a digit or point goes into the number being read; P, G and
// R append their constant; any other character first ends a pending number;
// a symbol character appends its token. Every other character is skipped.
static void readCharacter(compileState &state, char c)
{
    if (state.trace && !isDigit(c) && c != '.' && c != 'P' && c != 'G' && c != 'R' && !isSymbol(c)) {
        state.trace->skipped[state.at] = true;
        state.trace->endedNumber[state.at] = state.numberPending;
    }
    // A number's text starts at its first digit, or at the point right before it.
    if (!isDigit(c) && c != '.' && !state.numberPending)
        state.numberStart = -1;
    if (isDigit(c))
        readDigit(state, c - '0');
    if (c == '.') {
        state.pointAt = state.at;
        startNumber(state);
        state.divisor = 1;
    }
    if (c == 'P')
        appendScaledConstant(state, PI_SINGLE);
    if (c == 'G')
        appendScaledConstant(state, GOLDEN_SINGLE);
    if (c == 'R')
        appendScaledConstant(state, (float)rand());
    if (!isDigit(c) && c != '.' && state.numberPending) {
        appendNumber(state);
        resetNumber(state);
    }
    appendSymbol(state, c);
}

// A minus sign outside a number literal is a factor of -1 on what follows;
// the character after it is read as it is, even another minus.
static void appendTimesMinus(compileState &state)
{
    int first = state.tokenCount;
    appendConstant(state, -1.0f, state.at, state.at + 1);
    appendToken(state, TOK_MUL, state.at, state.at + 1);
    if (state.trace)
        for (int k = first; k < state.tokenCount; k++)
            state.trace->timesMinus[k] = true;
}

static void startTrace(compileTrace *trace)
{
    *trace = compileTrace{};
    trace->droppedNumberAt = -1;
    trace->droppedTokenAt = -1;
    trace->strayPointAt = -1;
}

// The text is read up to TEXT_LIMIT characters and no further, so a text is
// read the same whether or not a longer buffer holds more after it.
myFormula toFormula(const char *text, compileTrace *trace)
{
    compileState state{};
    state.trace = trace;
    state.pointAt = -1;
    if (trace)
        startTrace(trace);
    resetNumber(state);
    int position = 0;
    while (position < TEXT_LIMIT && text[position] != 0) {
        state.at = position;
        if (text[position] == '-' && !state.numberPending) {
            appendTimesMinus(state);
            position++;
            if (position >= TEXT_LIMIT || text[position] == 0)
                break;
            state.at = position;
            if (trace)
                trace->afterMinus[position] = true;
        }
        readCharacter(state, text[position]);
        position++;
    }
    state.at = position;
    // A number cut by the length limit while its digits go on is dropped.
    if (state.numberPending && !isDigit(text[position]))
        appendNumber(state);
    else if (state.numberPending && trace)
        trace->droppedNumberAt = state.numberStart;
    if (trace) {
        trace->readEnd = position;
        trace->cut = position >= TEXT_LIMIT && text[position] != 0;
    }
    state.formula.tokens[state.tokenCount] = TOK_END;
    return state.formula;
}

myFormula toFormula(const char *text)
{
    return toFormula(text, nullptr);
}
