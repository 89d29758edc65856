// Any bytes as a formula text. The compiled program, run whole and axis by
// axis as the render runs it, must give the evaluator's float bit for bit
// (any NaN matches any NaN); so must the batched values, in runs over one X
// value and over several, for the text and two copies with the variables
// turned round, over lattices whose axis values include non-finite ones and
// inputs where the vector functions hand a lane to the C library.
// The findings must agree with evaluate: a text gets the ill-formed finding
// exactly when evaluate reads it as ill-formed, and taking out the characters
// a skipped finding names, or the part a side-by-side or minus finding says
// is ignored, leaves every value of a small lattice as it was.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "formula/batch.h"
#include "formula/formula.h"
#include "formula/passes.h"

static const float POINTS[][3] = {
    { 0, 0, 0 }, { 1, -2, 0.5f }, { -62.8318f, 62.8318f, 1 },
    { 3.0e38f, -1.0e-30f, 7 }, { INFINITY, NAN, -0.0f },
};

static const uint32_t FALLBACK_INPUTS[] = { 0x3d0650ea, 0x4371ade3, 0x3c107fe6, 0x40e67f59, 0x43b055d2, 0x3f808000 };
static const float AXIS_VALUES[] = { -1.5f, 0.25f, 2, -0.0f, NAN, INFINITY, -INFINITY, 3e38f, 1e-40f, 7 };

// The batch run over one lattice shape: X values, Y and Z lists of the
// given lengths and the limits (small ones put tables per point, and split
// the short rows of the X values, and the runs over several X values, into
// blocks of two and one).
struct latticeShape {
    int xCount, yCount, zCount;
    batchLimits limits;
};
static const latticeShape SHAPES[] = {
    { 3, 5, 3, { 1 << 20, 1 << 22, 8 } }, { 2, 4, 3, { 4, 6, 7 } }, { 1, 2, 70, { 1 << 20, 1 << 22, 29 } },
    { 2, 6, 1, { 1 << 20, 1 << 22, 4 } }, { 2, 3, 1, { 0, 0, 4 } }, { 3, 5, 1, { 1 << 20, 1 << 22, 16, 256, 10 } } };

static const float FINDING_AXIS[] = { -1.5f, 0.25f, 2 };

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

// The k-th value of an axis list: the fallback inputs first, then the plain ones.
static float axisValue(int k, int salt)
{
    const int fallbacks = sizeof FALLBACK_INPUTS / sizeof FALLBACK_INPUTS[0];
    int i = (k + salt) % (fallbacks + (int)(sizeof AXIS_VALUES / sizeof AXIS_VALUES[0]));
    return i < fallbacks ? std::bit_cast<float>(FALLBACK_INPUTS[i]) : AXIS_VALUES[i - fallbacks];
}

static std::string turned(std::string text)
{
    for (char &c : text)
        c = c == 'X' ? 'Y' : c == 'Y' ? 'Z' : c == 'Z' ? 'X' : c;
    return text;
}

static void checkBatch(const std::string texts[3], const latticeShape &shape)
{
    myFormula forms[3];
    for (int f = 0; f < 3; f++)
        forms[f] = toFormula(texts[f].c_str());
    std::vector<float> ys, zs;
    for (int j = 0; j < shape.yCount; j++)
        ys.push_back(axisValue(j, 1));
    for (int k = 0; k < shape.zCount; k++)
        zs.push_back(axisValue(k, 3));
    latticeBatch batch(forms, ys.data(), shape.yCount, zs.data(), shape.zCount, shape.limits);
    float xs[3] = { axisValue(0, 7), axisValue(1, 7), axisValue(2, 7) };
    batch.listX(xs, shape.xCount);
    long long points = (long long)shape.yCount * shape.zCount;
    // value i of the run against point p of listed X value x
    auto checkRun = [&](const batchRun &run, long long i, int x, long long p, const char *path) {
        float point[3] = { xs[x], ys[p / shape.zCount], zs[p % shape.zCount] };
        std::copy(point, point + 3, Time);
        for (int f = 0; f < 3; f++)
            check(texts[f], point, evaluate(forms[f]), run.values[f].values[i * run.values[f].step], path);
    };
    for (int x = 0; x < shape.xCount; x++) {
        batch.enterX(x);
        for (long long p = 0; p < points; p++) {
            const batchRun &run = batch.runAt(p);
            if (p < run.first || p >= run.first + run.count)
                abort();
            checkRun(run, p - run.first, x, p, "batch");
        }
    }
    if (!batch.makesBlockRuns())
        return;
    for (int x = 0, xCount; x < shape.xCount; x += xCount) {
        const batchRun &run = batch.blockRunAt(x, xCount);
        if (xCount < 1 || run.count != xCount * points)
            abort();
        for (long long i = 0; i < run.count; i++)
            checkRun(run, i, x + (int)(i / points), i % points, "block run");
    }
}

static bool sameValues(const char *a, const char *b)
{
    myFormula first = toFormula(a), second = toFormula(b);
    for (float x : FINDING_AXIS)
        for (float y : FINDING_AXIS)
            for (float z : FINDING_AXIS) {
                Time[0] = x, Time[1] = y, Time[2] = z;
                if (!sameValue(evaluate(first), evaluate(second)))
                    return false;
            }
    return true;
}

static bool namesRemovable(findingKind kind)
{
    return kind == findingKind::skipped || kind == findingKind::sideBySide || kind == findingKind::minusApart;
}

// R draws a new random number at each compilation, so texts with it are left
// out; so are texts cut or too long for the record, where taking characters
// out brings others in, and texts with a stray point, which carries into the
// next number wherever it stands.
static void checkFindings(const std::string &text)
{
    const char *c = text.c_str();
    std::vector<formulaFinding> findings = formulaFindings(c);
    bool illFormed = false, comparable = strchr(c, 'R') == nullptr;
    for (const formulaFinding &f : findings) {
        illFormed |= f.kind == findingKind::illFormed;
        comparable &= f.kind != findingKind::cut && f.kind != findingKind::tooManyTokens
                      && f.kind != findingKind::strayPoint;
    }
    if (illFormed != !isWellFormed(toFormula(c))) {
        fprintf(stderr, "\"%s\": the ill-formed finding disagrees with evaluate\n", c);
        abort();
    }
    for (const formulaFinding &f : findings) {
        if (!comparable || !namesRemovable(f.kind))
            continue;
        std::string rest = std::string(c).erase(f.position, f.length);
        if (!sameValues(c, rest.c_str())) {
            fprintf(stderr, "\"%s\" without \"%s\" (%s) reads otherwise\n", c,
                    std::string(c).substr(f.position, f.length).c_str(), f.message.c_str());
            abort();
        }
    }
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
    const std::string texts[3] = { text, turned(text), turned(turned(text)) };
    for (const latticeShape &shape : SHAPES)
        checkBatch(texts, shape);
    checkFindings(text);
    return 0;
}
