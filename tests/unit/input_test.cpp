// The screen layer as a desktop program: Esc between activities and the main
// loop, the close button, and a picture copied only when something changed.
#include <gtest/gtest.h>
#include <memory>
#include "files/files.h"
#include "prompts/prompts.h"
#include "app/app.h"
#include "tests/unit/headless.h"

// The test's clock, in hundredths of a second from start; it starts far
// beyond any real clock other tests may have left times from.
static int tick;
static long long start = 100000000000LL;
static double testClock() { return (double)(start + tick) / 100.0; }

struct escPress { int down, up; };

// The first tick at which the main loop quits, looking every tick as its
// frames do; an activity is open from open to close and looks at Esc too.
static int quitTick(int open, int close, escPress first, escPress second)
{
    headlessSetup();
    clockHook = testClock;
    start += 1000;                  // the clock never goes back
    std::unique_ptr<modalActivity> activity;
    for (tick = 0; tick < 400; tick++) {
        key[KEY_ESC] = (first.down <= tick && tick < first.up) || (second.down <= tick && tick < second.up);
        if (tick == open)
            activity = std::make_unique<modalActivity>();
        if (tick == close)
            activity.reset();
        if (activity)
            keyHeld(Key::Esc);
        else if (escQuits())
            return tick;
    }
    return -1;
}

TEST(EscQuits, OnlyAFreshPressInTheIdleMainLoop)
{
    const int never = -1, none = 1000;
    // activity open..close, two Esc presses (down, up), first tick that quits
    const struct { int open, close; escPress first, second; int quits; } rows[] = {
        { none, none, { 100, 400 }, { none, none }, 100 },  // no activity: at once
        { 0, 100, { 50, 400 }, { none, none }, never },     // began inside, held on
        { 0, 100, { 120, 400 }, { none, none }, never },    // began just after it closed
        { 0, 100, { 149, 400 }, { none, none }, never },
        { 0, 100, { 150, 400 }, { none, none }, 150 },      // half a second after
        { 0, 100, { 50, 200 }, { 250, 400 }, 250 },         // released, pressed again
        { 0, 100, { 120, 130 }, { 140, 400 }, never },      // both presses in the grace
        { 100, 200, { 50, 400 }, { none, none }, 50 },      // before the activity opened
    };
    for (auto &r : rows)
        EXPECT_EQ(quitTick(r.open, r.close, r.first, r.second), r.quits) << r.open << " " << r.first.down;
}

TEST(CloseRequest, EndsEveryActivity)
{
    headlessSetup();
    closeRequested = true;
    EXPECT_EQ(getFloat(2.5f), 2.5f);
    char text[100] = "X";
    getFormula(text);
    EXPECT_STREQ(text, "X");
    showBanner("banner");
    saveFIG(fig);
    life[0] = 7;
    render(fig, PROGRESS_BOX);
    EXPECT_EQ(life[0], 0);          // cleared, then no point at all
    EXPECT_EQ(Time[0], fig.Range[0]);   // the X sweep ended at its first test
}

TEST(ShowFrame, CopiesOnlyWhenThePictureOrThePointerChanged)
{
    headlessSetup();
    const int mark = makecol(1, 2, 3);
    auto markStays = [&](void (*change)(), int mx) {
        showFrame(100, 100);
        putpixel(display(), 300, 300, mark);
        change();
        showFrame(mx, 100);
        return getpixel(display(), 300, 300) == mark;
    };
    EXPECT_TRUE(markStays([] {}, 100));
    EXPECT_FALSE(markStays([] {}, 101));
    EXPECT_FALSE(markStays(pictureChanged, 100));
    EXPECT_FALSE(markStays([] { drawFIG(fig); }, 100));
    EXPECT_FALSE(markStays([] { drawBox(display(), "box", PROMPT_BOX, 0, 1); }, 100));
}
