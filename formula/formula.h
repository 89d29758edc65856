// Formula engine: compiles formula text into a flat token record, evaluates
// that record at a point, and turns it into a program of register operations
// for the render. Knows nothing of the figure, the screen or the keys.
#pragma once

// Token codes of a compiled formula. Codes 0..99 are constant indices; the
// negative codes are rows of the symbol table signOf (formula/symbols.h).
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

extern float Time[3];               // the current point X, Y, Z; evaluate reads it

myFormula toFormula(const char *text);
float evaluate(myFormula formula);

// ---- compiled evaluation ----
// The passes depend only on the token list, never on the values, so they can
// be run once per record over registers instead of values. What they would
// compute becomes a straight-line list of operations; running it at a point
// gives exactly the float evaluate gives there (NaN for a record evaluate
// does not accept).

// Register layout while a program runs: 0, 1, 2 hold the point X, Y, Z;
// 3 .. 3 + constantCount - 1 hold the program's constants; every operation
// writes a register above those.
const int PROGRAM_OPS = FORMULA_SLOTS;          // one per operator or function token at most
const int PROGRAM_REGISTERS = 3 + 2 * FORMULA_SLOTS;
const int FIRST_CONSTANT_REGISTER = 3;

struct programOp {
    unsigned char symbol;           // row of signOf whose arithmetic it runs
    unsigned char left;             // register of the operand (the left one of a pair)
    unsigned char right;            // register of the right operand; a function's own operand again
    unsigned char result;           // register written
};

// The ops are ordered by the last coordinate they depend on: first those that
// read X (and constants) only, then those that also read Y, then those that
// read Z. A sweep that holds X still over a whole Y sweep runs the first group
// once per X value, the second once per (X, Y) pair, and only the last per point.
struct formulaProgram {
    int opCount;
    int axisEnd[3];                 // ops [axisEnd[a-1], axisEnd[a]) depend on axis a (X 0, Y 1, Z 2)
    int constantCount;
    int result;                     // register that holds the formula's value at the end
    programOp ops[PROGRAM_OPS];
    float constants[FORMULA_SLOTS]; // loaded into registers 3.. before the ops run
};

formulaProgram compileProgram(const myFormula &formula);
float runProgram(const formulaProgram &program, const float point[3]);   // point = X, Y, Z

// Running a program axis by axis. registers holds PROGRAM_REGISTERS floats:
// loadProgram fills its constants; runAxis stores one coordinate and runs the
// ops that depend on it, after those of the earlier axes have run for the
// current values. After runAxis of Z, registers[program.result] is the value.
void loadProgram(const formulaProgram &program, float *registers);
void runAxis(const formulaProgram &program, float *registers, int axis, float coordinate);
