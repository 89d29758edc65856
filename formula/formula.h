// Formula engine: compiles formula text into a flat token record, evaluates
// that record at a point, and turns it into a program of register operations
// for the render. Knows nothing of the figure, the screen or the keys.
#pragma once
#include <string>
#include <vector>

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

// ---- findings: where a text is read otherwise than it seems to say ----
// Made from the very compilation and passes that toFormula and evaluate use.
enum class findingKind {
    skipped,            // characters that are no symbol of the language
    sideBySide,         // operands side by side: only the first counts
    minusApart,         // "X-Y": a minus after an operand is "times -1" and stands apart
    minusFactor,        // "X^-2", "X/-2", "S-X": the -1 alone takes the operator or function
    strayPoint,         // "X.+2": a point without digits makes the next number a fraction
    illFormed,          // the text draws nothing (an operator at the end, unbalanced parentheses ...)
    cut,                // the text goes on past the characters that are read
    tooManyTokens,      // more numbers and symbols than a compiled formula holds
    noVariable          // reads none of X, Y and Z: the same value at every point
};

struct formulaFinding {
    int position;       // index of the character it is about (0 = the first)
    int length;         // characters it names from there: the skipped ones, or the part ignored
    findingKind kind;
    std::string message;    // one short plain line, without the position
};

// In order of position. None for a text read just as written.
std::vector<formulaFinding> formulaFindings(const char *text);

// The part of a text that counts, every operation explicit: "X-Y" gives "X",
// "CX*S(X/Y)" gives "C(X)*S(X/Y)", "X+2*Y" gives "X+(2*Y)". Empty when the
// text is ill-formed.
std::string formulaReading(const char *text);
