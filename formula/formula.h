// Formula engine: compiles formula text into a flat token record and
// evaluates that record at the current lattice point.
#pragma once

// Token codes of a compiled formula. Codes 0..99 are constant indices.
enum {
    TOK_POW = -1, TOK_SIN = -2, TOK_COS = -3, TOK_TAN = -4,
    TOK_X = -5, TOK_Y = -6, TOK_Z = -7,
    TOK_OPEN = -8, TOK_CLOSE = -9,
    TOK_MUL = -10, TOK_DIV = -11, TOK_ADD = -12, TOK_SUB = -13,
    TOK_END = -14
};

const int FORMULA_SLOTS = 100;      // tokens and constants per record

// A compiled formula: a plain value, copied whole wherever it goes.
struct myFormula {
    int tokens[FORMULA_SLOTS];      // up to and including the first TOK_END
    float constants[FORMULA_SLOTS]; // constants[k] is the value of token k
};

extern char signOf[14];             // symbol character of each code's magnitude
extern float Time[3];               // current point X, Y, Z (written by the render)

void fillSignOf();
myFormula toFormula(const char *text);
float evaluate(myFormula formula);
