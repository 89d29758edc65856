// The entry prompts, driven by scripted key events through Allegro's keyboard hooks:
// typed characters and '\r' Enter, '\x1b' Esc, '\b' Backspace, '\x02' Enter and Esc together,
// '\x03' the next character typed while Backspace is held. Each wait releases Esc and lets
// the next event arrive, so clearing the queue at the start drops nothing.
#include <gtest/gtest.h>
#include <bit>
#include <cmath>
#include "prompts/prompts.h"
#include "tests/unit/headless.h"

static std::string script;          // key events not yet delivered
static bool overrun, backspaceNext; // overrun: read past the end of the script
static bool eventWaiting;

static int nextEvent()
{
    int c = script.empty() ? '\r' : (unsigned char)script[0];
    overrun = overrun || script.empty();        // ends a prompt that would never return
    script.erase(0, script.empty() ? 0 : 1);
    key[KEY_ENTER] = c == '\r' || c == 2;
    key[KEY_ESC] = c == 27 || c == 2;
    key[KEY_BACKSPACE] = c == '\b' || backspaceNext;
    backspaceNext = c == 3;
    eventWaiting = false;
    return c == 2 || c == 3 ? 0 : c;
}

template <typename Prompt>
static void runPrompt(const std::string &events, Prompt prompt)
{
    headlessSetup();
    install_keyboard_hooks([] { return eventWaiting ? TRUE : FALSE; }, nextEvent);
    idleHook = [] { key[KEY_ESC] = 0; eventWaiting = true; };
    script = events;
    overrun = false;
    eventWaiting = false;
    prompt();
    EXPECT_FALSE(overrun) << "the prompt did not end with the script";
    EXPECT_EQ(script, "") << "the prompt ended early";
    EXPECT_EQ(key[KEY_ESC], 0) << "returned while Esc was held";
}

static uint32_t typeFloat(float initial, const std::string &events)
{
    float result = 0;
    runPrompt(events, [&] { result = getFloat(initial); });
    return std::bit_cast<uint32_t>(result);
}

static std::string typeText(const char *start, const std::string &events)
{
    char text[100];
    snprintf(text, sizeof text, "%s", start);
    runPrompt(events, [&] { getFormula(text); });
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
        { 0, erase + "12\x03" "5\r", 12 },                  // added, then removed again
        { -62.8318f, "99\x1b", -62.8318f }, { 0.1f, "\b5\x02", 0.1f } };   // Esc wins
    for (auto &row : rows)
        EXPECT_EQ(typeFloat(row.initial, row.keys), std::bit_cast<uint32_t>(row.expected)) << row.initial << row.keys;
}

TEST(TextEntry, Edits)
{
    const struct { const char *start; std::string keys, expected; } rows[] = {
        { "x", " sin(Y)*z!\b\r", "x sin(Y)*z" },
        { "abc", "\x03" "d\r", "ab" },                      // not added, and one character goes
        { "y*2", "\b\bq\x1b", "y*2" },
        { "y*2", "q\x02", "y*2" } };
    for (auto &row : rows)
        EXPECT_EQ(typeText(row.start, row.keys), row.expected) << row.start << " " << row.keys;
}
