// The entry prompts, driven by scripted key events through Allegro's keyboard
// hooks. A script is typed characters and these control codes: '\r' Enter,
// '\x1b' Esc, '\b' Backspace, '\x01' next character with Backspace held,
// '\x02' Enter and Esc together, '\n' keypad Enter, '\x03' a key with code 0.
// Characters before a '\x04' were queued before the prompt opened.
#include <gtest/gtest.h>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include "prompts/prompts.h"
#include "tests/unit/headless.h"

static std::string script;          // key events not yet delivered
static bool overrun;                // the prompt read past the end of the script

static int hold(int code, bool enter, bool esc, bool backspace, bool padEnter = false)
{
    key[KEY_ENTER] = enter;
    key[KEY_ENTER_PAD] = padEnter;
    key[KEY_ESC] = esc;
    key[KEY_BACKSPACE] = backspace;
    return code;
}

static int nextEvent()
{
    if (script.empty()) {           // end a prompt that would otherwise never return
        overrun = true;
        return hold(0, true, false, false);
    }
    int c = (unsigned char)script[0];
    script.erase(0, 1);
    switch (c) {
    case '\r': return hold(13, true, false, false);
    case '\x1b': return hold(27, false, true, false);
    case '\b': return hold(8, false, false, true);
    case 2: return hold(0, true, true, false);
    case 3: return hold(0, false, false, false);
    case '\n': return hold(13, false, false, false, true);
    case 1: c = (unsigned char)script[0]; script.erase(0, 1); return hold(c, false, false, true);
    default: return hold(c, false, false, false);
    }
}

// Only the characters queued ahead count as pressed; the rest come as the prompt waits.
static int hookKeypressed()
{
    return script.find('\x04') != std::string::npos ? TRUE : FALSE;
}

static int hookReadkey()
{
    if (!hookKeypressed())
        return nextEvent();
    int c = (unsigned char)script[0];
    script.erase(0, 1);
    return c == 4 ? 0 : c;
}

// Runs one prompt over a script. Esc is released by a second thread some time
// after it went down; escWaited tells whether the prompt returned only after that.
static bool escWaited;

template <typename Prompt>
static void runPrompt(const std::string &events, Prompt prompt)
{
    headlessSetup();
    clear(screen);
    clear(buffer);
    install_keyboard_hooks(hookKeypressed, hookReadkey);
    script = events;
    overrun = false;
    std::atomic<bool> released{ false }, done{ false };
    std::thread releaser([&] {
        while (!done && !key[KEY_ESC])
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (done)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        released = true;
        key[KEY_ESC] = 0;
    });
    prompt();
    escWaited = released;
    done = true;
    releaser.join();
    EXPECT_FALSE(overrun) << "the prompt did not end with the script";
    EXPECT_TRUE(script.empty()) << "the prompt ended early; left: " << script;
}

static float typeFloat(float initial, const std::string &events)
{
    float result = 0;
    runPrompt(events, [&] { result = getFloat(initial); });
    return result;
}

static std::string typeText(const std::string &start, const std::string &events)
{
    char text[100];
    snprintf(text, sizeof text, "%s", start.c_str());
    runPrompt(events, [&] { getFormula(text); });
    return text;
}

static uint32_t bits(float f)
{
    return std::bit_cast<uint32_t>(f);
}

// The band of the prompt box on the screen looks exactly like a box with this label.
static bool boxShows(const char *label)
{
    BITMAP *expected = create_bitmap(640, 480);
    clear(expected);
    drawButton(expected, label, 40, 224, 560, 32, makecol(32, 128, 64), 6, -1);
    bool same = true;
    for (int y = 224; y < 256; y++)
        for (int x = 0; x < 640; x++)
            same = same && getpixel(expected, x, y) == getpixel(screen, x, y);
    destroy_bitmap(expected);
    return same;
}

static const std::string eraseZero(8, '\b');    // removes "0.000000", the text of 0.0

TEST(NumericEntry, ConvertsDigitByDigitWithPointsRestartingTheTenths)
{
    EXPECT_EQ(bits(typeFloat(0, eraseZero + "\r")), bits(0.0f));
    EXPECT_EQ(bits(typeFloat(0, eraseZero + "-\r")), bits(-0.0f));
    EXPECT_EQ(bits(typeFloat(0, eraseZero + ".\r")), bits(0.0f));
    EXPECT_EQ(typeFloat(0, eraseZero + "3.\r"), 3.0f);
    EXPECT_EQ(typeFloat(0, eraseZero + "1.5.5\r"), 2.0f);
    EXPECT_EQ(typeFloat(0, eraseZero + "007\r"), 7.0f);
    EXPECT_EQ(typeFloat(0, eraseZero + "-0.5\r"), -0.5f);
    EXPECT_EQ(typeFloat(0, eraseZero + "0.25\r"), 0.25f);
}

TEST(NumericEntry, UneditedEnterReturnsTheValueOfTheWholeSixDecimalText)
{
    for (float v : { 0.5f, 255.0f, -62.8318f, 1e20f, -1e19f, -3.4028235e38f })
        EXPECT_EQ(bits(typeFloat(v, "\r")), bits(v)) << v;
    EXPECT_EQ(bits(typeFloat(3.14159f, "\r")), bits(3.1415896f));
    EXPECT_TRUE(boxShows("3.141590"));
}

TEST(NumericEntry, InfinityAndNanAreShownByNameAndKeptUntilEdited)
{
    uint32_t negativeNan = 0xFFC01234;      // sign bit and payload must survive
    EXPECT_EQ(bits(typeFloat(std::bit_cast<float>(negativeNan), "x\r")), negativeNan);
    EXPECT_TRUE(boxShows("nan"));
    EXPECT_EQ(bits(typeFloat(-INFINITY, "\r")), bits(-INFINITY));
    EXPECT_TRUE(boxShows("-inf"));
    EXPECT_EQ(typeFloat(INFINITY, "\b\r"), 0.0f);
    EXPECT_EQ(typeFloat(INFINITY, "\b\b\b12\r"), 12.0f);
    EXPECT_EQ(typeFloat(INFINITY, "5\r"), 5.0f);    // the letters carry no digits
}

TEST(NumericEntry, TypingStopsAtTwentyCharactersAndBackspaceMakesRoom)
{
    std::string zeros(19, '0');
    EXPECT_EQ(typeFloat(0, eraseZero + zeros + "12\r"), 1.0f);
    EXPECT_TRUE(boxShows((zeros + "1").c_str()));
    EXPECT_EQ(typeFloat(0, eraseZero + zeros + "12\b3\r"), 3.0f);
    EXPECT_EQ(bits(typeFloat(1e20f, "5.\r")), bits(1e20f));     // 28 characters to start with
}

TEST(NumericEntry, OnlyDigitsPointsAndALeadingMinusAreTaken)
{
    EXPECT_EQ(typeFloat(0, eraseZero + "-5-+e\x03\n2\r"), -52.0f);
    EXPECT_EQ(typeFloat(0, eraseZero + "5-\r"), 5.0f);
    EXPECT_EQ(typeFloat(0, eraseZero + "12\x01" "3\r"), 12.0f);  // appended, then removed
    EXPECT_EQ(typeFloat(0, "99\x04" + eraseZero + "1\r"), 1.0f);  // 99 typed before
    EXPECT_EQ(getpixel(buffer, 320, 240), 0);
}

TEST(NumericEntry, EscWinsAndReturnsTheInitialValueOnlyOnceReleased)
{
    EXPECT_EQ(bits(typeFloat(-62.8318f, "99\x1b")), bits(-62.8318f));
    EXPECT_TRUE(escWaited);
    EXPECT_EQ(bits(typeFloat(0.1f, eraseZero + "5\x02")), bits(0.1f));
    EXPECT_TRUE(escWaited);
}

TEST(TextEntry, AppendsAnyCharacterAsTypedAndEndsOnlyOnMainEnter)
{
    EXPECT_EQ(typeText("x", "q\x04 sin(Y)*z\x03\n!\r"), "x sin(Y)*z\r!");
    EXPECT_TRUE(boxShows("x sin(Y)*z\r!"));
    EXPECT_EQ(typeText("abc", "\x01" "d\r"), "ab");     // not added, one removed
    EXPECT_EQ(typeText("ab", "\b\b\b\r"), "");
}

TEST(TextEntry, HoldsAtMostNinetyNineCharacters)
{
    std::string a99(99, 'a');
    EXPECT_EQ(typeText("", a99 + "bc\r"), a99);
    EXPECT_EQ(typeText(a99, "b\bc\r"), a99.substr(0, 98) + "c");
}

TEST(TextEntry, EscLeavesTheCallerTextUntouchedOnceReleased)
{
    EXPECT_EQ(typeText("y*2", "\b\bq\x1b"), "y*2");
    EXPECT_TRUE(escWaited);
    EXPECT_EQ(typeText("y*2", "q\x02"), "y*2");
    EXPECT_TRUE(escWaited);
}

TEST(TextEntry, OverlongCallerTextIsCutToNinetyNineWithinTheCallerBytes)
{
    char text[200];
    memset(text, '#', sizeof text);
    memset(text, 'q', 150);
    text[150] = 0;
    runPrompt("\r", [&] { getFormula(text); });
    EXPECT_TRUE(boxShows(std::string(99, 'q').c_str()));
    EXPECT_EQ(std::string(text), std::string(99, 'q'));
    EXPECT_EQ(std::string(text + 100, 50), std::string(50, 'q'));
    EXPECT_EQ(text[150], 0);
    EXPECT_EQ(std::string(text + 151, 49), std::string(49, '#'));
}
