// Compiled evaluation: the evaluator's passes run once over registers instead
// of values, and what they would compute is recorded as a straight-line list
// of operations. Operations whose operands are all known when the record is
// compiled are carried out there and then, with the same arithmetic the run
// would use, so only work that depends on the point is left for the run.
#include "formula/formula_internal.h"

// During compilation a list holds token codes (negative) and registers
// (zero or more) in place of constants and variables. Registers 0, 1 and 2
// are X, Y and Z; the others are numbered as they are made and renumbered
// compactly at the end.
struct programBuilder {
    int registerCount;
    bool known[PROGRAM_REGISTERS];          // value fixed at compile time
    float value[PROGRAM_REGISTERS];         // ... and that value
    programOp ops[PROGRAM_OPS];
    int opCount;
};

// Every register but X, Y and Z stands for a constant token or for an
// operator or function token, so a record of 99 tokens needs at most 102:
// the arrays cannot overflow.
static int newKnownRegister(programBuilder &builder, float v)
{
    int r = builder.registerCount++;
    builder.known[r] = true;
    builder.value[r] = v;
    return r;
}

// Inlined into the run's loop, where it is the whole of the work per operation.
__attribute__((always_inline)) static inline float computeOp(int code, float left, float right)
{
    switch (code) {
    case OP_SIN: return sineOf(left);
    case OP_COS: return cosineOf(left);
    case OP_TAN: return tangentOf(left);
    case OP_POW: return powerOf(left, right);
    case OP_MUL: return left * right;
    case OP_DIV: return quotientOf(left, right);
    case OP_ADD: return left + right;
    default:     return left - right;
    }
}

// Records one operation and returns the register holding its result.
static int emit(programBuilder &builder, int code, int left, int right)
{
    if (builder.known[left] && builder.known[right])
        return newKnownRegister(builder, computeOp(code, builder.value[left], builder.value[right]));
    int r = builder.registerCount++;
    builder.known[r] = false;
    builder.ops[builder.opCount++] = programOp{ (unsigned char)code, (unsigned char)left,
                                                (unsigned char)right, (unsigned char)r };
    return r;
}

static int opOfToken(int t)
{
    switch (t) {
    case TOK_SIN: return OP_SIN;
    case TOK_COS: return OP_COS;
    case TOK_TAN: return OP_TAN;
    case TOK_POW: return OP_POW;
    case TOK_MUL: return OP_MUL;
    case TOK_DIV: return OP_DIV;
    case TOK_ADD: return OP_ADD;
    default:      return OP_SUB;
    }
}

static void closeUp(int *list, int position, int count)
{
    int p = position;
    do {
        list[p] = list[p + count];
    } while (list[p++] != TOK_END);
}

static int reduceList(programBuilder &builder, const int *list);

// Top-level groups become the register of their value; the outer
// parentheses are dropped, inner ones go to the recursive reduction.
static void resolveGroups(programBuilder &builder, const int *list, int *work)
{
    int group[FORMULA_SLOTS];
    int workCount = 0, groupCount = 0, depth = 0;
    for (int i = 0; list[i] != TOK_END; i++) {
        int t = list[i];
        if (t == TOK_CLOSE)
            depth--;
        if (depth != 0)
            group[groupCount++] = t;
        if (t == TOK_OPEN)
            depth++;
        if (depth != 0)
            continue;
        if (groupCount > 0) {
            group[groupCount] = TOK_END;
            work[workCount++] = reduceList(builder, group);
            groupCount = 0;
        } else {
            work[workCount++] = t;
        }
    }
    work[workCount] = TOK_END;
}

static void applyFunctions(programBuilder &builder, int *work)
{
    for (int p = 0;; p++) {
        for (int code = TOK_SIN; code >= TOK_TAN; code--) {
            if (work[p] == code) {
                work[p + 1] = emit(builder, opOfToken(code), work[p + 1], work[p + 1]);
                closeUp(work, p, 1);
            }
        }
        if (work[p + 1] == TOK_END)
            return;
    }
}

static void applyOperators(programBuilder &builder, int *work, int code, int otherCode)
{
    int p = 0;
    for (;;) {
        int t = work[p];
        if (t == code || t == otherCode) {
            work[p - 1] = emit(builder, opOfToken(t), work[p - 1], work[p + 1]);
            closeUp(work, p, 2);
            if (work[p] == TOK_END)
                return;
            continue;
        }
        if (work[p + 1] == TOK_END)
            return;
        p++;
    }
}

// The evaluator's passes over a well-formed list; returns the register of
// the first operand left, which is the formula's value.
static int reduceList(programBuilder &builder, const int *list)
{
    int work[FORMULA_SLOTS];
    resolveGroups(builder, list, work);
    applyFunctions(builder, work);
    applyOperators(builder, work, TOK_POW, TOK_POW);
    applyOperators(builder, work, TOK_MUL, TOK_DIV);
    applyOperators(builder, work, TOK_ADD, TOK_SUB);
    return work[0];
}

// Constants become known registers, variables the registers of X, Y and Z.
static void tokensToRegisters(programBuilder &builder, const myFormula &formula, int *list)
{
    int i = 0;
    for (; formula.tokens[i] != TOK_END; i++) {
        int t = formula.tokens[i];
        if (isConstantToken(t))
            list[i] = newKnownRegister(builder, formula.constants[t]);
        else if (isVariableToken(t))
            list[i] = TOK_X - t;
        else
            list[i] = t;
    }
    list[i] = TOK_END;
}

// The last coordinate a register depends on: 0 none, 1 X, 2 Y, 3 Z.
static void findAxisLevels(const programBuilder &builder, int *level)
{
    for (int r = 0; r < builder.registerCount; r++)
        level[r] = r < FIRST_CONSTANT_REGISTER ? r + 1 : 0;
    for (int i = 0; i < builder.opCount; i++) {
        const programOp &op = builder.ops[i];
        level[op.result] = level[op.left] > level[op.right] ? level[op.left] : level[op.right];
    }
}

static void markLive(const programBuilder &builder, int resultRegister, bool *live)
{
    live[resultRegister] = true;
    for (int i = builder.opCount - 1; i >= 0; i--) {
        const programOp &op = builder.ops[i];
        if (live[op.result])
            live[op.left] = live[op.right] = true;
    }
}

// Keeps the operations the result depends on (operands side by side leave
// unused values behind), orders them by axis, and numbers the registers for
// the run: X, Y, Z, then the constants the run reads, then the results in
// order. Reordering is safe: an op depends only on ops of its own or an
// earlier axis, which keep their relative order.
static formulaProgram finishProgram(const programBuilder &builder, int resultRegister)
{
    bool live[PROGRAM_REGISTERS] = {};
    int level[PROGRAM_REGISTERS];
    markLive(builder, resultRegister, live);
    findAxisLevels(builder, level);
    formulaProgram program{};
    int finalRegister[PROGRAM_REGISTERS];
    for (int r = 0; r < FIRST_CONSTANT_REGISTER; r++)
        finalRegister[r] = r;
    for (int r = FIRST_CONSTANT_REGISTER; r < builder.registerCount; r++) {
        if (live[r] && builder.known[r]) {
            finalRegister[r] = FIRST_CONSTANT_REGISTER + program.constantCount;
            program.constants[program.constantCount++] = builder.value[r];
        }
    }
    int next = FIRST_CONSTANT_REGISTER + program.constantCount;
    for (int axis = 0; axis < 3; axis++) {
        for (int i = 0; i < builder.opCount; i++) {
            const programOp &op = builder.ops[i];
            if (!live[op.result] || level[op.result] != axis + 1)
                continue;
            finalRegister[op.result] = next++;
            program.ops[program.opCount++] = programOp{ op.code, (unsigned char)finalRegister[op.left],
                                                        (unsigned char)finalRegister[op.right],
                                                        (unsigned char)finalRegister[op.result] };
        }
        program.axisEnd[axis] = program.opCount;
    }
    program.result = finalRegister[resultRegister];
    return program;
}

formulaProgram compileProgram(const myFormula &formula)
{
    programBuilder builder;
    builder.registerCount = FIRST_CONSTANT_REGISTER;
    builder.opCount = 0;
    for (int r = 0; r < FIRST_CONSTANT_REGISTER; r++)
        builder.known[r] = false;
    if (!isWellFormed(formula))
        return finishProgram(builder, newKnownRegister(builder, ILL_FORMED_VALUE));
    int list[FORMULA_SLOTS];
    tokensToRegisters(builder, formula, list);
    return finishProgram(builder, reduceList(builder, list));
}

void loadProgram(const formulaProgram &program, float *registers)
{
    for (int k = 0; k < program.constantCount; k++)
        registers[FIRST_CONSTANT_REGISTER + k] = program.constants[k];
}

void runAxis(const formulaProgram &program, float *registers, int axis, float coordinate)
{
    registers[axis] = coordinate;
    const programOp *op = program.ops + (axis == 0 ? 0 : program.axisEnd[axis - 1]);
    const programOp *end = program.ops + program.axisEnd[axis];
    for (; op < end; op++)
        registers[op->result] = computeOp(op->code, registers[op->left], registers[op->right]);
}

float runProgram(const formulaProgram &program, const float point[3])
{
    if (program.opCount == 0)       // a lone variable or constant, as the Z formula often is
        return program.result < FIRST_CONSTANT_REGISTER
                   ? point[program.result]
                   : program.constants[program.result - FIRST_CONSTANT_REGISTER];
    // The point was just stored float by float. Read it back the same way:
    // a merged 8-byte read cannot take its bytes from two pending stores and
    // stalls until they reach the cache, which costs more than an operation.
    const volatile float *coordinates = point;
    float registers[PROGRAM_REGISTERS];
    loadProgram(program, registers);
    runAxis(program, registers, 0, coordinates[0]);
    runAxis(program, registers, 1, coordinates[1]);
    runAxis(program, registers, 2, coordinates[2]);
    return registers[program.result];
}
