// The screen layer as a desktop program: Esc between activities and the main
// loop, the close button, and a picture copied only when something changed.
#include <gtest/gtest.h>
#include <memory>
#include "files/files.h"
#include "prompts/prompts.h"
#include "app/app.h"
#include "tests/unit/headless.h"
#include "ui/display.h"

// The test's clock, in hundredths of a second from start; it starts far
// beyond any real clock other tests may have left times from.
static int tick;
static long long start = 100000000000LL;
static double testClock() { return (double)(start + tick) / 100.0; }

struct escPress { int down, up; };

// Esc goes down or up as the keyboard driver reports it.
static void escEvent(bool down)
{
    key[KEY_ESC] = down;
    keyboard_lowlevel_callback(down ? KEY_ESC : KEY_ESC | 0x80);
}

// The first tick at which the main loop quits, looking every tick as its
// frames do; an activity is open from open to close and looks at Esc too.
// A press whose down and up fall on one tick is over before anyone looks.
static int quitTick(int open, int close, escPress first, escPress second)
{
    headlessSetup();
    clockHook = testClock;
    escEvent(false);
    modalActivity{};                // drops a press the last row left
    start += 1000;                  // the clock never goes back, and that close is long past
    std::unique_ptr<modalActivity> activity;
    for (tick = 0; tick < 400; tick++) {
        for (const escPress &press : { first, second }) {
            if (tick == press.down)
                escEvent(true);
            if (tick == press.up)
                escEvent(false);
        }
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
        { none, none, { 100, 100 }, { none, none }, 100 },  // an instant press
        { 0, 100, { 50, 50 }, { none, none }, never },      // an instant press inside the activity
        { 0, 100, { 120, 120 }, { 300, 300 }, 300 },        // instant, in the grace, then of its own
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

// What a frame copies to the screen: a mark on the screen stays where nothing was copied.
TEST(ShowFrame, CopiesOnlyWhatChanged)
{
    headlessSetup();
    const int mark = makecol(1, 2, 3);
    const struct { const char *what; void (*change)(); int pointerX; bool far, nearPointer; } rows[] = {
        // what changed, the change, pointer's new x, far mark stays, mark by the old pointer stays
        { "nothing", [] {}, 100, true, true },
        { "the pointer", [] {}, 140, true, false },
        { "the picture", pictureChanged, 100, false, false },
        { "the figure", [] { drawFIG(fig); }, 100, false, false },
        { "a box", [] { drawBox(display(), "box", PROMPT_BOX, 0, 1); }, 100, false, false },
    };
    for (auto &row : rows) {
        showFrame(100, 100);
        putpixel(screen, 300, 300, mark);
        putpixel(screen, 110, 110, mark);
        row.change();
        showFrame(row.pointerX, 100);
        EXPECT_EQ(getpixel(screen, 300, 300) == mark, row.far) << row.what;
        EXPECT_EQ(getpixel(screen, 110, 110) == mark, row.nearPointer) << row.what;
    }
    EXPECT_EQ(getpixel(buffer, 110, 110), getpixel(buffer, 300, 300)) << "buffer never holds the pointer";
}

TEST(Scale, LargestWindowInNinetyPercentOfTheDesktop)
{
    // desktop width, height, scale
    const int rows[][3] = { { 1920, 1080, 2 }, { 2560, 1440, 2 }, { 3840, 2160, 4 }, { 1280, 1024, 1 },
                            { 640, 480, 1 }, { 320, 200, 1 }, { 1423, 1067, 2 }, { 1422, 1067, 1 },
                            { 20000, 20000, SCALE_MAX } };
    for (auto &r : rows)
        EXPECT_EQ(fittingScale(r[0], r[1]), r[2]) << r[0] << "x" << r[1];
}
