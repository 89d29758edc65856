// Batched evaluation: the three formulas of a figure over a whole lattice of
// points, each operation computed once per distinct combination of the axes
// it reads and over arrays of values rather than point by point. Every value
// is bit for bit the float evaluate gives at that point: the operations are
// the symbol rows' own arithmetic, and evaluation has no side effects, so
// computing a value early, once for many points, or for points a sweep never
// reaches changes nothing.
#pragma once
#include <memory>
#include "formula/formula.h"
#include "formula/symbols.h"

// The axes a value reads, as bits.
enum axisBits : unsigned char { READS_NOTHING = 0, READS_X = 1, READS_Y = 2, READS_Z = 4 };

// ---- the plan: the three formulas as one list of operations ----
// Registers 0, 1 and 2 are X, Y and Z; every other register is a constant
// (it reads no axis: operations on constants are carried out while the plan
// is made) or the result of an operation. An operation that the formulas
// ask for twice with the same operands is made once.
const int PLAN_REGISTERS = 3 + 3 * 2 * FORMULA_SLOTS;   // each token makes at most one register
const int PLAN_OPS = 3 * PROGRAM_OPS;

struct planOp {
    unsigned char symbol;           // row of signOf
    unsigned short left, right;     // operand registers; a function's right is its left
    unsigned short result;
};

struct formulaPlan {
    int registerCount;
    int opCount;
    int result[3];                          // the register of each formula's value
    unsigned char reads[PLAN_REGISTERS];    // axisBits of each register
    float constants[PLAN_REGISTERS];        // the value of each register that reads nothing
    planOp ops[PLAN_OPS];                   // in an order where operands come first
};

// Only the operations the three values need are kept. A formula the passes
// cannot reduce has the constant NaN as its value, as evaluate gives.
formulaPlan planFormulas(const myFormula forms[3]);

// ---- running the plan over a lattice ----
// The lattice is every X value listed and entered, times the Y values, times
// the Z values. Point index j * zCount + k of the current X is (Y value j,
// Z value k), the order of a sweep.

// Values of the three formulas over a run of consecutive points of the
// current X: formula f at point first + i is values[f].values[i * values[f].step].
struct batchRun {
    long long first;
    int count;
    operandArray values[3];
};

struct batchLimits {
    long long tableValues = 1 << 20;    // the most values a table or row may hold ...
    long long totalValues = 1 << 22;    // ... and all of them together; the rest is computed per point
    int runLength = 1024;               // the most points in a run
    int xLength = 256;                  // the most X values listed at once
    int rowBlockValues = 2048;          // short rows are computed for several X values at once, this many values
};

class latticeBatch {
public:
    // Copies the Y and Z values and computes the tables of the operations
    // that read only Y and Z. May throw std::bad_alloc.
    latticeBatch(const myFormula forms[3], const float *ys, long long yCount, const float *zs, long long zCount,
                 batchLimits limits = {});
    ~latticeBatch();
    // A batch for another thread: the tables are copied, not computed
    // again. The two may then be used at once.
    explicit latticeBatch(const latticeBatch &other);
    latticeBatch &operator=(const latticeBatch &) = delete;

    // Computes the operations that read only X for the X values to come,
    // in sweep order (the first xLength of them).
    void listX(const float *xs, int count);
    // Makes the rows of the operations that read X and one other axis those
    // of the listed X value; earlier runs are dropped. Short rows are
    // computed for the X values that follow it as well.
    void enterX(int listed);
    // The run holding point (0 <= point < yCount * zCount), computed unless
    // it is the current one. Valid until the next call.
    const batchRun &runAt(long long point);

    // When every operation is computed ahead of the points and an X value
    // has few points, makesBlockRuns is true and the points of several
    // listed X values come in one run, whatever X value was entered: point i
    // of the run is point i % (yCount * zCount) of listed X value listed +
    // i / (yCount * zCount), and xCount is set to how many X values it
    // covers (at least one). Valid until the next call.
    bool makesBlockRuns() const;
    const batchRun &blockRunAt(int listed, int &xCount);

    struct state;

private:
    std::unique_ptr<state> s;
};
