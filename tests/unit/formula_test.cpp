// Formula engine: compiler records, evaluator values, bad input, compiled programs against the evaluator.
#include "tests/unit/headless.h"
#include <gtest/gtest.h>
#include <bit>
#include <cmath>

static std::uint32_t bitsOf(float v) { return std::bit_cast<std::uint32_t>(v); }

static float valueAt(const std::string &text, float x, float y, float z)
{
    Time[0] = x, Time[1] = y, Time[2] = z;
    return evaluate(toFormula(text.c_str()));
}

TEST(Formula, CompilerAndEvaluatorWorkedTables)
{
    headlessSetup();
    struct { const char *text; std::vector<int> tokens; std::vector<float> constants; } cases[] = {
        { "CX*S(X/Y)", { -3, -5, -10, -2, -8, -5, -11, -6, -9, -14 }, {} }, { "3.5P", { 0, -14 }, { 10.995575f } },
        { "12+X", { 0, -12, -5, -14 }, { 12 } }, { "-X", { 0, -10, -5, -14 }, { -1 } }, { ".5", { 0, -14 }, { 0.5f } },
        { "X-Y", { -5, 0, -10, -6, -14 }, { -1 } }, { "2-X", { 0, -13, -5, -14 }, { 2 } }, { "3.", { 0, -14 }, { 3 } },
        { "2 -X", { 0, 1, -10, -5, -14 }, { 2, -1 } }, { "--X", { 0, -10, -13, -5, -14 }, { -1 } }, { "", { -14 }, {} },
        { "1.2.3", { 0, -14 }, { 1.5f } }, { "0.1", { 0, -14 }, { std::bit_cast<float>(0x3DCCCCCDu) } },
        { "2P2", { 0, 1, -14 }, { 6.28318548f, 2 } }, { "xyz", { -14 }, {} }, { "X-", { -5, 0, -10, -14 }, { -1 } },
        { "G", { 0, -14 }, { std::bit_cast<float>(0x3FCF1BBDu) } }, { "0.0000000001", { 0, -14 }, { 1e-10f } },
        { "0.000000000000000000001", { 0, -14 }, { 1e-21f } }, { "2.00000000000000000000", { 0, -14 }, { 2.0f } } };
    for (auto &c : cases) {
        myFormula f = toFormula(c.text);
        EXPECT_EQ(std::vector<int>(f.tokens, f.tokens + c.tokens.size()), c.tokens) << c.text;
        for (size_t k = 0; k < c.constants.size(); k++)
            EXPECT_EQ(bitsOf(f.constants[k]), bitsOf(c.constants[k])) << c.text << " constant " << k;
    }
    struct { const char *text; float value; } rows[] = {
        { "CX*S(X/Y)", 0.31494096f }, { "Z", 3 }, { "X-Y", 2 }, { "X+-Y", 1.5f }, { "2-X", 0 }, { "2 -X", 2 },
        { "2^3^2", 64 }, { "-X", -2 }, { "-2^2", -4 }, { "3.5P", 10.995575f }, { "((X+Y))*Z", 7.5f }, { "8/2*2", 8 },
        { "3-2-1", 0 }, { "2*3+4*5", 26 }, { "X/0", INFINITY }, { "-X/0", INFINITY }, { "0/0", INFINITY },
        { "X/-Y", -1 }, { "X^-2", 1 }, { "2X", 2 }, { "S-X", -1.6829419f }, { "SX^2", 0.82682174f } };
    for (auto &row : rows)
        EXPECT_EQ(bitsOf(valueAt(row.text, 2, 0.5f, 3)), bitsOf(row.value)) << row.text;
    EXPECT_EQ(valueAt("CX*S(X/Y)", 2, 0.5f, 3), (float)cos(2.0) * (float)sin(4.0));   // not a double product
}

TEST(FormulaEvaluator, IllFormedListsAreNaNOnBothPathsAndOverlongTextStopsAtTheLastTokenThatFits)
{
    headlessSetup();
    std::string minus, sevens;
    for (int i = 0; i < 150; i++)
        minus += i < 33 ? "-X*" : "", sevens += "7 ";   // "-X*" 33 times: 132 tokens when nothing is cut
    myFormula f = toFormula(minus.c_str());
    for (int i = 0; i < 99; i++)
        ASSERT_EQ(f.tokens[i], i % 4 == 0 ? i / 4 : (i % 4 == 2 ? TOK_X : TOK_MUL)) << i;
    EXPECT_TRUE(f.tokens[99] == TOK_END && f.constants[24] == -1.0f);
    EXPECT_EQ(toFormula(sevens.c_str()).tokens[50], TOK_END);                 // 100 characters read
    EXPECT_EQ(toFormula(std::string(150, '9').c_str()).tokens[0], TOK_END);  // cut number dropped
    EXPECT_EQ(toFormula(std::string(99, '(').append("-1").c_str()).tokens[99], TOK_END);
    EXPECT_EQ(valueAt(minus, 2, 0, 0), -33554432.0f);                         // (-1*X) 25 times
    EXPECT_EQ(valueAt(std::string(49, '(') + "X" + std::string(49, ')'), 2, 0, 0), 2.0f);
    const char *texts[] = { "", "xyz q", "(X", "X)+(Y", "SCX", "--X", "X+", "*X", "+X", "X*/Y", "XS",
                            "()", "(X))", "((X)", "X^", "(X+)", "(S)", "X()Y", ")X(", "S^X", "X-" };
    const float point[3] = { 2, 0.5f, 3 };
    for (const char *t : texts)
        EXPECT_TRUE(std::isnan(valueAt(t, 2, 0.5f, 3)) && std::isnan(runProgram(compileProgram(toFormula(t)), point)))
            << t;
    myFormula noEnd, badIndex = toFormula("X"), badCode = toFormula("X");     // made by hand
    std::fill(noEnd.tokens, noEnd.tokens + FORMULA_SLOTS, TOK_X);
    badIndex.tokens[0] = FORMULA_SLOTS, badCode.tokens[0] = -15;
    for (const myFormula &f : { noEnd, badIndex, badCode })
        EXPECT_TRUE(std::isnan(evaluate(f)) && std::isnan(runProgram(compileProgram(f), point)));
}
