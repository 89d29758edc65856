// The formula engine: compiled records, values, ill-formed lists, and the
// compiled programs against the evaluator.
#include <gtest/gtest.h>
#include <bit>
#include <cmath>
#include <vector>
#include "formula/formula.h"
#include "formula/passes.h"

static std::uint32_t bitsOf(float v) { return std::bit_cast<std::uint32_t>(v); }

static std::vector<int> tokensOf(const char *text)
{
    myFormula f = toFormula(text);
    int n = 0;
    while (n < FORMULA_SLOTS && f.tokens[n] != TOK_END)
        n++;
    return std::vector<int>(f.tokens, f.tokens + n);
}

static float valueAt(const std::string &text, float x, float y, float z)
{
    Time[0] = x, Time[1] = y, Time[2] = z;
    return evaluate(toFormula(text.c_str()));
}

enum { K0 = 0, K1 = 1 };            // constant tokens: the index of their value

TEST(Compiler, Tokens)
{
    const struct { const char *text; std::vector<int> tokens; } rows[] = {
        { "CX*S(X/Y)", { TOK_COS, TOK_X, TOK_MUL, TOK_SIN, TOK_OPEN, TOK_X, TOK_DIV, TOK_Y, TOK_CLOSE } },
        { "12+X", { K0, TOK_ADD, TOK_X } },
        { "-X", { K0, TOK_MUL, TOK_X } },
        { "X-Y", { TOK_X, K0, TOK_MUL, TOK_Y } },
        { "2-X", { K0, TOK_SUB, TOK_X } },
        { "2 -X", { K0, K1, TOK_MUL, TOK_X } },
        { "--X", { K0, TOK_MUL, TOK_SUB, TOK_X } },
        { "X-", { TOK_X, K0, TOK_MUL } },
        { "2P2", { K0, K1 } },
        { "xyz q", {} },
        { "", {} },
    };
    for (auto &row : rows)
        EXPECT_EQ(tokensOf(row.text), row.tokens) << row.text;
}

TEST(Compiler, Constants)
{
    const struct { const char *text; int index; float value; } rows[] = {
        { "3.5P", 0, 10.995575f }, { "12+X", 0, 12 }, { "-X", 0, -1 }, { ".5", 0, 0.5f }, { "3.", 0, 3 },
        { "1.2.3", 0, 1.5f }, { "0.1", 0, std::bit_cast<float>(0x3DCCCCCDu) }, { "2P2", 0, 6.28318548f },
        { "2P2", 1, 2 }, { "G", 0, std::bit_cast<float>(0x3FCF1BBDu) }, { "0.0000000001", 0, 1e-10f },
        { "0.000000000000000000001", 0, 1e-21f }, { "2.00000000000000000000", 0, 2 },
    };
    for (auto &row : rows)
        EXPECT_EQ(bitsOf(toFormula(row.text).constants[row.index]), bitsOf(row.value)) << row.text;
}

TEST(Compiler, OverlongText)
{
    std::string minus, sevens;
    for (int i = 0; i < 33; i++)
        minus += "-X*";                 // 132 tokens if nothing were cut
    for (int i = 0; i < 75; i++)
        sevens += "7 ";
    EXPECT_EQ(tokensOf(minus.c_str()).size(), 99u);
    EXPECT_EQ(tokensOf(sevens.c_str()).size(), 50u);                    // 99 characters read
    EXPECT_EQ(tokensOf(std::string(150, '9').c_str()).size(), 0u);      // a cut number is dropped
    EXPECT_EQ(tokensOf((std::string(98, ' ') + "-X").c_str()).size(), 2u);  // nothing read after the 99th, even after a minus
    EXPECT_EQ(valueAt(minus, 2, 0, 0), -33554432.0f);                   // (-1*X) 25 times
    EXPECT_EQ(valueAt(std::string(49, '(') + "X" + std::string(49, ')'), 2, 0, 0), 2.0f);
}

TEST(Evaluator, Values)
{
    const struct { const char *text; float value; } rows[] = {
        { "CX*S(X/Y)", 0.31494096f }, { "Z", 3 }, { "X-Y", 2 }, { "X+-Y", 1.5f }, { "2-X", 0 }, { "2 -X", 2 },
        { "2^3^2", 64 }, { "-X", -2 }, { "-2^2", -4 }, { "3.5P", 10.995575f }, { "((X+Y))*Z", 7.5f },
        { "8/2*2", 8 }, { "3-2-1", 0 }, { "2*3+4*5", 26 }, { "X/0", INFINITY }, { "-X/0", INFINITY },
        { "0/0", INFINITY }, { "X/-Y", -1 }, { "X^-2", 1 }, { "2X", 2 }, { "S-X", -1.6829419f },
        { "SX^2", 0.82682174f },
    };
    for (auto &row : rows)
        EXPECT_EQ(bitsOf(valueAt(row.text, 2, 0.5f, 3)), bitsOf(row.value)) << row.text;
    // each operation rounds to float: not one double product
    EXPECT_EQ(valueAt("CX*S(X/Y)", 2, 0.5f, 3), (float)cos(2.0) * (float)sin(4.0));
}

// Lists the passes cannot reduce have no value on either path.
TEST(Evaluator, IllFormedIsNaN)
{
    const char *texts[] = { "", "xyz q", "(X", "X)+(Y", "SCX", "--X", "X+", "*X", "+X", "X*/Y", "XS",
                            "()", "(X))", "((X)", "X^", "(X+)", "(S)", "X()Y", ")X(", "S^X", "X-" };
    const float point[3] = { 2, 0.5f, 3 };
    for (const char *t : texts) {
        EXPECT_TRUE(std::isnan(valueAt(t, 2, 0.5f, 3))) << t;
        EXPECT_TRUE(std::isnan(runProgram(compileProgram(toFormula(t)), point))) << t;
    }
    myFormula noEnd, badIndex = toFormula("X"), badCode = toFormula("X");     // made by hand
    std::fill(noEnd.tokens, noEnd.tokens + FORMULA_SLOTS, TOK_X);
    badIndex.tokens[0] = FORMULA_SLOTS;
    badCode.tokens[0] = -SYMBOL_ROWS;           // the first code past the table
    for (const myFormula &f : { noEnd, badIndex, badCode }) {
        EXPECT_TRUE(std::isnan(evaluate(f)));
        EXPECT_TRUE(std::isnan(runProgram(compileProgram(f), point)));
    }
    EXPECT_EQ(faultOf(noEnd), FAULT_NO_END);
    EXPECT_EQ(faultOf(badCode), FAULT_UNKNOWN_TOKEN);
}

// Why a list is ill-formed: the first fault from the left.
TEST(Evaluator, Faults)
{
    const struct { const char *text; formulaFault fault; } rows[] = {
        { "CX*S(X/Y)", FAULT_NONE }, { "X Y", FAULT_NONE }, { "-X", FAULT_NONE },
        { "", FAULT_NO_OPERAND }, { "xyz q", FAULT_NO_OPERAND },
        { "+X", FAULT_STARTS_WITH_OPERATOR }, { "(*X)", FAULT_OPERATOR_AFTER_OPEN },
        { "X*/Y", FAULT_TWO_OPERATORS }, { "--X", FAULT_TWO_OPERATORS }, { "(X+)", FAULT_OPERATOR_BEFORE_CLOSE },
        { "SCX", FAULT_FUNCTION_WITHOUT_OPERAND }, { "S^X", FAULT_FUNCTION_WITHOUT_OPERAND },
        { "(S)", FAULT_FUNCTION_WITHOUT_OPERAND }, { "()", FAULT_EMPTY_GROUP }, { "X()Y", FAULT_EMPTY_GROUP },
        { "X)", FAULT_UNMATCHED_CLOSE }, { "X)+(Y", FAULT_UNMATCHED_CLOSE }, { "((X)", FAULT_UNCLOSED_GROUP },
        { "X+", FAULT_ENDS_WITH_OPERATOR }, { "X-", FAULT_ENDS_WITH_OPERATOR }, { "XS", FAULT_ENDS_WITH_FUNCTION },
    };
    for (auto &row : rows)
        EXPECT_EQ(faultOf(toFormula(row.text)), row.fault) << row.text;
    EXPECT_STREQ(faultText(FAULT_ENDS_WITH_OPERATOR), "ends with an operator");
}
