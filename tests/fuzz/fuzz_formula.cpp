// Any bytes as a formula text. The compiled program, run whole and axis by
// axis as the render runs it, must give the evaluator's float bit for bit
// (any NaN matches any NaN).
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "formula/formula.h"

static const float POINTS[][3] = {
    { 0, 0, 0 }, { 1, -2, 0.5f }, { -62.8318f, 62.8318f, 1 },
    { 3.0e38f, -1.0e-30f, 7 }, { INFINITY, NAN, -0.0f },
};

static bool sameValue(float a, float b)
{
    return (std::isnan(a) && std::isnan(b)) || std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

static void check(const std::string &text, const float point[3], float expected, float got, const char *path)
{
    if (sameValue(expected, got))
        return;
    fprintf(stderr, "\"%s\" at (%g, %g, %g): evaluate %a, %s %a\n",
            text.c_str(), point[0], point[1], point[2], expected, path, got);
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    myFormula formula = toFormula(text.c_str());
    formulaProgram program = compileProgram(formula);
    float registers[PROGRAM_REGISTERS];
    loadProgram(program, registers);

    for (const float *point : POINTS) {
        for (int axis = 0; axis < 3; axis++)
            Time[axis] = point[axis];
        float expected = evaluate(formula);
        check(text, point, expected, runProgram(program, point), "runProgram");
        for (int axis = 0; axis < 3; axis++)
            runAxis(program, registers, axis, point[axis]);
        check(text, point, expected, registers[program.result], "runAxis");
    }
    return 0;
}
