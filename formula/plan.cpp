// The plan of the three formulas: the passes run over registers, as for a
// compiled program, but into one list shared by the formulas, with the axes
// each register reads. An operation asked for again with the same operands
// gives the register made the first time: the arithmetic is a function of
// its operands alone, so the value is the same.
#include "formula/batch.h"
#include "formula/passes.h"
#include <limits>

struct planBuilder {
    formulaPlan &plan;

    int constant(float value)
    {
        int r = plan.registerCount++;
        plan.reads[r] = READS_NOTHING;
        plan.constants[r] = value;
        return r;
    }
    int variable(int axis) { return axis; }
    int apply(int symbol, int left, int right)
    {
        if (plan.reads[left] == READS_NOTHING && plan.reads[right] == READS_NOTHING)
            return constant(signOf[symbol].apply(plan.constants[left], plan.constants[right]));
        for (int i = 0; i < plan.opCount; i++) {
            const planOp &op = plan.ops[i];
            if (op.symbol == symbol && op.left == left && op.right == right)
                return op.result;
        }
        int r = plan.registerCount++;
        plan.reads[r] = plan.reads[left] | plan.reads[right];
        plan.ops[plan.opCount++] = planOp{ (unsigned char)symbol, (unsigned short)left, (unsigned short)right,
                                           (unsigned short)r };
        return r;
    }
};

// Drops the operations no formula value depends on (operands side by side
// leave unused values behind), keeping the order of the others.
static void keepNeededOps(formulaPlan &plan)
{
    bool needed[PLAN_REGISTERS] = {};
    for (int r : plan.result)
        needed[r] = true;
    for (int i = plan.opCount - 1; i >= 0; i--) {
        const planOp &op = plan.ops[i];
        if (needed[op.result])
            needed[op.left] = needed[op.right] = true;
    }
    int kept = 0;
    for (int i = 0; i < plan.opCount; i++)
        if (needed[plan.ops[i].result])
            plan.ops[kept++] = plan.ops[i];
    plan.opCount = kept;
}

formulaPlan planFormulas(const myFormula forms[3])
{
    formulaPlan plan;
    plan.registerCount = FIRST_CONSTANT_REGISTER;
    plan.opCount = 0;
    const unsigned char variableReads[3] = { READS_X, READS_Y, READS_Z };
    for (int axis = 0; axis < 3; axis++)
        plan.reads[axis] = variableReads[axis];
    planBuilder builder{ plan };
    for (int f = 0; f < 3; f++) {
        if (isWellFormed(forms[f]))
            plan.result[f] = reduceFormula(builder, forms[f]);
        else
            plan.result[f] = builder.constant(std::numeric_limits<float>::quiet_NaN());
    }
    keepNeededOps(plan);
    return plan;
}
