// The entry prompts, driven by key presses from the keyboard buffer (see
// typeKeys): each press acts once, and control characters never enter.
#include <gtest/gtest.h>
#include <bit>
#include <cmath>
#include "prompts/prompts.h"
#include "tests/unit/headless.h"

template <typename Prompt>
static void runPrompt(const std::string &keys, Prompt prompt)
{
    headlessSetup();
    typeKeys(keys);
    prompt();
    EXPECT_FALSE(keysOverrun()) << "the prompt did not end with the keys";
    EXPECT_EQ(keysLeft(), 0u) << "the prompt ended early";
}

static uint32_t typeFloat(float initial, const std::string &keys)
{
    float result = 0;
    runPrompt(keys, [&] { result = getFloat(initial); });
    return std::bit_cast<uint32_t>(result);
}

static std::string typeText(const char *start, const std::string &keys)
{
    char text[100];
    snprintf(text, sizeof text, "%s", start);
    runPrompt(keys, [&] { getFormula(text); });
    return text;
}

TEST(NumericEntry, Conversions)
{
    const std::string erase(8, '\b'), zeros(19, '0');   // erase removes "0.000000", the text of 0.0
    const float negativeNan = std::bit_cast<float>(0xFFC01234u);
    struct { float initial; std::string keys; float expected; } rows[] = {
        { 0, erase + "-\r", -0.0f }, { 0, erase + ".\r", 0.0f }, { 0, erase + "3.\r", 3 }, { 0, erase + "007\r", 7 },
        { 0, erase + "1.5.5\r", 2 }, { 0, erase + "-0.5\r", -0.5f }, { 0, erase + "-5-+e2\r", -52 },
        { 0, erase + "5-\r", 5 }, { 0, erase + zeros + "12\r", 1 }, { 0, erase + zeros + "12\b3\r", 3 },
        { 1e20f, "5.\r", 1e20f }, { -62.8318f, "\r", -62.8318f }, { -3.4028235e38f, "\r", -3.4028235e38f },
        { 3.14159f, "\r", 3.1415896f }, { negativeNan, "x\r", negativeNan }, { -INFINITY, "\r", -INFINITY },
        { INFINITY, "\b\r", 0 }, { INFINITY, "\b\b\b12\r", 12 }, { INFINITY, "5\r", 5 },
        { 0, erase + "12\t\x7f\x01\n", 12 },                // no control character; the keypad's Enter
        { -62.8318f, "99\x1b", -62.8318f } };               // Esc keeps the number
    for (auto &row : rows)
        EXPECT_EQ(typeFloat(row.initial, row.keys), std::bit_cast<uint32_t>(row.expected)) << row.initial << row.keys;
}

TEST(TextEntry, Edits)
{
    const struct { const char *start; std::string keys, expected; } rows[] = {
        { "x", " sin(Y)*z!\b\r", "x sin(Y)*z" },
        { "abc", "\b\b\b\bd\r", "d" },                      // one character per press, none past the start
        { "ab", "\t\x7f\x01\x1f~\x80\n", "ab~\x80" },       // below 32 and 127 never enter; 126 and 128 do
        { "y*2", "\b\bq\x1b", "y*2" } };                    // Esc keeps the old text
    for (auto &row : rows)
        EXPECT_EQ(typeText(row.start, row.keys), row.expected) << row.start << " " << row.keys;
}
