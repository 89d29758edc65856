// Formula engine: compiler records, evaluator values, malformed and overlong
// input, and the compiled programs against the evaluator.
#include "tests/unit/headless.h"
#include "formula/formula_internal.h"
#include <gtest/gtest.h>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::uint32_t bitsOf(float v) { return std::bit_cast<std::uint32_t>(v); }

struct compiledCase {
    const char *text;
    std::vector<int> tokens;        // up to and including the end marker
    std::vector<float> constants;
};

void expectRecord(const compiledCase &c)
{
    myFormula f = toFormula(c.text);
    for (size_t i = 0; i < c.tokens.size(); i++)
        EXPECT_EQ(f.tokens[i], c.tokens[i]) << c.text << " token " << i;
    for (size_t k = 0; k < c.constants.size(); k++)
        EXPECT_EQ(bitsOf(f.constants[k]), bitsOf(c.constants[k])) << c.text << " constant " << k;
}

float valueAt(const char *text, float x, float y, float z)
{
    Time[0] = x, Time[1] = y, Time[2] = z;
    return evaluate(toFormula(text));
}

bool sameResult(float a, float b)
{
    return (std::isnan(a) && std::isnan(b)) || bitsOf(a) == bitsOf(b);
}

} // namespace

TEST(FormulaCompiler, WorkedTable)
{
    headlessSetup();
    const compiledCase cases[] = {
        { "CX*S(X/Y)", { -3, -5, -10, -2, -8, -5, -11, -6, -9, -14 }, {} },
        { "3.5P", { 0, -14 }, { 10.995575f } },
        { "12+X", { 0, -12, -5, -14 }, { 12 } },
        { "-X", { 0, -10, -5, -14 }, { -1 } },
        { "X-Y", { -5, 0, -10, -6, -14 }, { -1 } },
        { "2-X", { 0, -13, -5, -14 }, { 2 } },
        { "2 -X", { 0, 1, -10, -5, -14 }, { 2, -1 } },
        { "--X", { 0, -10, -13, -5, -14 }, { -1 } },
        { "1.2.3", { 0, -14 }, { 1.5f } },
        { ".5", { 0, -14 }, { 0.5f } },
        { "3.", { 0, -14 }, { 3 } },
        { "0.1", { 0, -14 }, { std::bit_cast<float>(0x3DCCCCCDu) } },
        { "2P2", { 0, 1, -14 }, { 6.28318548f, 2 } },
        { "xyz", { -14 }, {} },
        { "", { -14 }, {} },
        { "X-", { -5, 0, -10, -14 }, { -1 } },
        { "P", { 0, -14 }, { std::bit_cast<float>(0x40490FDBu) } },
        { "G", { 0, -14 }, { std::bit_cast<float>(0x3FCF1BBDu) } },
    };
    for (const compiledCase &c : cases)
        expectRecord(c);
}

TEST(FormulaCompiler, RandomConstantsAreDrawnAtCompileTime)
{
    headlessSetup();
    srand(7);
    float first = (float)rand(), second = (float)rand();
    srand(7);
    expectRecord({ "RR", { 0, 1, -14 }, { first, second } });
    EXPECT_NE(toFormula("RR").constants[0], first);     // a new compilation draws anew
}

TEST(FormulaCompiler, LongFractionsKeepAnExactDivisor)
{
    headlessSetup();
    EXPECT_EQ(toFormula("0.0000000001").constants[0], 1e-10f);
    EXPECT_EQ(toFormula("0.000000000000000000001").constants[0], 1e-21f);
    EXPECT_EQ(toFormula("2.00000000000000000000").constants[0], 2.0f);
}

TEST(FormulaCompiler, OverlongTextStopsAtTheLastTokenThatFits)
{
    headlessSetup();
    std::string text;
    for (int i = 0; i < 33; i++)
        text += "-X*";                              // 132 tokens when nothing is cut
    myFormula f = toFormula(text.c_str());
    for (int i = 0; i < 99; i++)
        ASSERT_EQ(f.tokens[i], i % 4 == 0 ? i / 4 : (i % 4 == 2 ? TOK_X : TOK_MUL)) << i;
    EXPECT_EQ(f.tokens[99], TOK_END);
    EXPECT_EQ(f.constants[24], -1.0f);

    std::string sevens;
    for (int i = 0; i < 150; i++)
        sevens += "7 ";
    EXPECT_EQ(toFormula(sevens.c_str()).tokens[50], TOK_END);    // 100 characters are read
    EXPECT_EQ(toFormula(std::string(150, '9').c_str()).tokens[0], TOK_END);  // cut number dropped
    EXPECT_EQ(toFormula(std::string(99, '(').append("-1").c_str()).tokens[99], TOK_END);
}

TEST(FormulaEvaluator, WorkedTable)
{
    headlessSetup();
    struct { const char *text; float value; } rows[] = {
        { "CX*S(X/Y)", 0.31494096f }, { "SX*S(Y/X)", 0.22496378f }, { "Z", 3 },
        { "X-Y", 2 }, { "X+-Y", 1.5f }, { "2-X", 0 }, { "2 -X", 2 }, { "2^3", 8 },
        { "2^3^2", 64 }, { "-X", -2 }, { "-2^2", -4 }, { "3.5P", 10.995575f },
        { "(X+Y)*2", 5 }, { "((X+Y))*Z", 7.5f }, { "8/2*2", 8 }, { "3-2-1", 0 },
        { "2*3+4*5", 26 }, { "X/0", INFINITY }, { "-X/0", INFINITY }, { "0/0", INFINITY },
        { "X/-Y", -1 }, { "X^-2", 1 }, { "2X", 2 }, { "S-X", -1.6829419f },
        { "SX^2", 0.82682174f },
    };
    for (auto &row : rows)
        EXPECT_EQ(bitsOf(valueAt(row.text, 2, 0.5f, 3)), bitsOf(row.value)) << row.text;

    // The products come from float-rounded library values, not a double product.
    EXPECT_EQ(valueAt("CX*S(X/Y)", 2, 0.5f, 3), (float)cos(2.0) * (float)sin(4.0));
}

TEST(FormulaEvaluator, IllFormedListsAreNaN)
{
    headlessSetup();
    const char *texts[] = { "", "xyz q", "(X", "X)+(Y", "SCX", "--X", "X+", "*X", "+X",
                            "X*/Y", "XS", "()", "(X))", "((X)", "X^", "(X+)", "(S)",
                            "X()Y", ")X(", "S^X", "X-" };
    for (const char *t : texts)
        EXPECT_TRUE(std::isnan(valueAt(t, 2, 0.5f, 3))) << t;

    // Hand-made records: no end marker, a constant index past the table, an unknown code.
    myFormula noEnd;
    for (int i = 0; i < FORMULA_SLOTS; i++)
        noEnd.tokens[i] = TOK_X;
    myFormula badIndex = toFormula("X");
    badIndex.tokens[0] = FORMULA_SLOTS;
    myFormula badCode = toFormula("X");
    badCode.tokens[0] = -15;
    const float point[3] = { 2, 0.5f, 3 };
    for (const myFormula &f : { noEnd, badIndex, badCode }) {
        EXPECT_TRUE(std::isnan(evaluate(f)));
        EXPECT_TRUE(std::isnan(runProgram(compileProgram(f), point)));
    }
}

TEST(FormulaEvaluator, DeepestNestingAndLongestListsStayInBounds)
{
    headlessSetup();
    std::string nested = std::string(49, '(') + "X" + std::string(49, ')');
    EXPECT_EQ(valueAt(nested.c_str(), 2, 0.5f, 3), 2.0f);
    std::string chain = "X";
    for (int i = 0; i < 49; i++)
        chain += "+X";                              // 99 tokens, 50 variables
    EXPECT_EQ(valueAt(chain.c_str(), 1, 0, 0), 50.0f);
    std::string minus;
    for (int i = 0; i < 33; i++)
        minus += "-X*";
    // Cut to its first 99 tokens: (-1*X) twenty-five times, joined by "*".
    EXPECT_EQ(valueAt(minus.c_str(), 2, 0, 0), -33554432.0f);         // -(2^25)
}

// ---- compiled programs ----

TEST(FormulaProgram, DefaultFigureNeedsOnlyItsOwnOperations)
{
    headlessSetup();
    formulaProgram x = compileProgram(toFormula("CX*S(X/Y)"));
    EXPECT_EQ(x.opCount, 4);                        // cos, divide, sin, multiply
    EXPECT_EQ(compileProgram(toFormula("Z")).opCount, 0);
    // Constant parts are folded; the unused side-by-side product is dropped.
    EXPECT_EQ(compileProgram(toFormula("S(2*P)*X")).opCount, 1);
    EXPECT_EQ(compileProgram(toFormula("X-Y")).opCount, 0);
    const float point[3] = { 2, 0.5f, 3 };
    EXPECT_EQ(runProgram(x, point), 0.31494096f);
    EXPECT_TRUE(std::isnan(runProgram(compileProgram(toFormula("(X")), point)));
}

namespace {

// Random formula text, well-formed by construction unless junk is mixed in.
std::string randomTerm(std::mt19937 &rng, int depth);

std::string randomExpression(std::mt19937 &rng, int depth)
{
    static const char *joins[] = { "+", "-", "*", "/", "^", "", " -", "+-", "/-", "^-" };
    std::string s = randomTerm(rng, depth);
    int more = rng() % 4;
    for (int i = 0; i < more; i++)
        s += joins[rng() % 10] + randomTerm(rng, depth);
    return s;
}

std::string randomTerm(std::mt19937 &rng, int depth)
{
    static const char *operands[] = { "X", "Y", "Z", "P", "G", "2", "0", "0.5", "3.25", "1.5P",
                                      "10", "R", "0.001" };
    std::string prefix = (rng() % 3 == 0) ? std::string(1, "SCT-"[rng() % 4]) : "";
    if (depth < 4 && rng() % 4 == 0)
        return prefix + "(" + randomExpression(rng, depth + 1) + ")";
    return prefix + operands[rng() % 13];
}

// Characters of the formula alphabet and a few ignored ones, in any order.
std::string randomJunk(std::mt19937 &rng)
{
    static const char alphabet[] = "XYZSCTPGR0123456789.()+-*/^ xq,";
    std::string s;
    int length = rng() % 8 == 0 ? rng() % 130 : rng() % 30;
    for (int i = 0; i < length; i++)
        s += alphabet[rng() % (sizeof alphabet - 1)];
    return s;
}

float randomCoordinate(std::mt19937 &rng)
{
    static const float special[] = { 0.0f, -0.0f, 1.0f, -1.0f, 1e30f };
    if (rng() % 8 == 0)
        return special[rng() % 5];
    return std::uniform_real_distribution<float>(-70.0f, 70.0f)(rng);
}

} // namespace

TEST(FormulaProgram, MatchesTheEvaluatorBitForBit)
{
    headlessSetup();
    std::mt19937 rng(20240611);
    int wellFormed = 0, finite = 0, mismatches = 0;
    for (int n = 0; n < 6000; n++) {
        std::string text = n % 3 == 0 ? randomJunk(rng) : randomExpression(rng, 0);
        myFormula f = toFormula(text.c_str());
        formulaProgram program = compileProgram(f);
        for (int i = 0; i < 8; i++) {
            float point[3] = { randomCoordinate(rng), randomCoordinate(rng), randomCoordinate(rng) };
            Time[0] = point[0]; Time[1] = point[1]; Time[2] = point[2];
            float expected = evaluate(f);
            float got = runProgram(program, point);
            if (!sameResult(expected, got) && ++mismatches <= 10)
                ADD_FAILURE() << "\"" << text << "\" at " << point[0] << ", " << point[1] << ", "
                              << point[2] << ": " << expected << " vs " << got;
            finite += std::isfinite(expected);
        }
        wellFormed += isWellFormed(f);
    }
    EXPECT_EQ(mismatches, 0);
    // The generator must reach both kinds of list, and mostly real values.
    EXPECT_GT(wellFormed, 3000);
    EXPECT_LT(wellFormed, 5900);
    EXPECT_GT(finite, 20000);
}
