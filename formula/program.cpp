// Compiled evaluation: the passes run once over registers instead of values,
// and what they would compute is recorded as a straight-line list of
// operations. Operations whose operands are all known when the record is
// compiled are carried out there and then, through the same symbol rows the
// run uses, so only work that depends on the point is left for the run.
#include "formula/passes.h"
#include <limits>

// During compilation registers 0, 1 and 2 are X, Y and Z; the others are
// numbered as they are made and renumbered compactly at the end. Every
// register but X, Y and Z stands for a constant token or for an operator or
// function token, so a record of 99 tokens needs at most 102.
struct programBuilder {
    int registerCount = FIRST_CONSTANT_REGISTER;
    bool known[PROGRAM_REGISTERS] = {};     // value fixed at compile time
    float value[PROGRAM_REGISTERS];         // ... and that value
    programOp ops[PROGRAM_OPS];
    int opCount = 0;

    int constant(float v)
    {
        int r = registerCount++;
        known[r] = true;
        value[r] = v;
        return r;
    }
    int variable(int axis) { return axis; }
    int apply(int symbol, int left, int right)
    {
        if (known[left] && known[right])
            return constant(signOf[symbol].apply(value[left], value[right]));
        int r = registerCount++;
        ops[opCount++] = programOp{ (unsigned char)symbol, (unsigned char)left,
                                    (unsigned char)right, (unsigned char)r };
        return r;
    }
};

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
            program.ops[program.opCount++] = programOp{ op.symbol, (unsigned char)finalRegister[op.left],
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
    if (!isWellFormed(formula))
        return finishProgram(builder, builder.constant(std::numeric_limits<float>::quiet_NaN()));
    return finishProgram(builder, reduceFormula(builder, formula));
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
        registers[op->result] = applySymbol(op->symbol, registers[op->left], registers[op->right]);
}

float runProgram(const formulaProgram &program, const float point[3])
{
    float registers[PROGRAM_REGISTERS];
    loadProgram(program, registers);
    for (int axis = 0; axis < 3; axis++)
        runAxis(program, registers, axis, point[axis]);
    return registers[program.result];
}
