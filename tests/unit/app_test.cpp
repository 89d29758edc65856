// The application shell: click state, drawButton and the control panel.
#include <gtest/gtest.h>
#include "tests/unit/headless.h"

TEST(ClickState, LeftPressDispatchesOnceUntilAllButtonsAreReleased)
{
    int s = 0;
    s = nextClickState(s, 1, true);  EXPECT_EQ(s, 1);
    s = nextClickState(s, 1, true);  EXPECT_EQ(s, 2);
    s = nextClickState(s, 1, true);  EXPECT_EQ(s, 2);
    s = nextClickState(s, 0, true);  EXPECT_EQ(s, 0);
    s = nextClickState(s, 1, true);  EXPECT_EQ(s, 1);
}

TEST(ClickState, RightButtonDispatchesEveryFrameInTheMainLoopOnly)
{
    int s = 0;
    for (int i = 0; i < 3; i++) {
        s = nextClickState(s, 2, true);
        EXPECT_EQ(s, 1);
    }
    EXPECT_EQ(nextClickState(0, 2, false), 0);
    EXPECT_EQ(nextClickState(1, 3, false), 2);
}

TEST(ClickState, MiddleButtonAloneNeverDispatchesButKeepsALeftPressHeld)
{
    EXPECT_EQ(nextClickState(0, 4, true), 0);
    EXPECT_EQ(nextClickState(1, 4, true), 2);
    EXPECT_EQ(nextClickState(2, 4, true), 2);
    // left, then middle added, left released and pressed again: no second dispatch
    int s = nextClickState(0, 1, true);
    s = nextClickState(s, 5, true);
    s = nextClickState(s, 4, true);
    s = nextClickState(s, 5, true);
    EXPECT_EQ(s, 2);
}

TEST(DrawButton, ShadesTheRingAndFillsTheInside)
{
    headlessSetup();
    clear(buffer);
    drawButton(buffer, "", 10, 20, 128, 32, makecol(128, 128, 128), 4, -1);
    EXPECT_EQ(pixelAt(buffer, 10, 20).r, 99);          // top-left corner
    EXPECT_EQ(pixelAt(buffer, 10 + 127, 20).g, 226);   // top-right
    EXPECT_EQ(pixelAt(buffer, 10, 20 + 31).b, 68);     // bottom-left
    EXPECT_EQ(pixelAt(buffer, 137, 51).r, 195);        // bottom-right
    EXPECT_EQ(pixelAt(buffer, 14, 24).r, 128);         // first inside pixel
    EXPECT_EQ(pixelAt(buffer, 13, 24).r, 128 - 29 + 3 - 4);
    EXPECT_EQ(pixelAt(buffer, 9, 20).r, 0);            // nothing outside
}

TEST(DrawButton, ClampsShadesAndLeavesSixPixelBorderWithTwentyFlatRows)
{
    headlessSetup();
    clear(buffer);
    drawButton(buffer, "", 0, 0, 560, 32, makecol(250, 10, 128), 6, -1);
    rgb corner = pixelAt(buffer, 559, 0);
    EXPECT_EQ(corner.r, 255);
    EXPECT_EQ(corner.g, 10 - 29 + 559 > 255 ? 255 : 10 - 29 + 559);
    rgb low = pixelAt(buffer, 0, 31);
    EXPECT_EQ(low.g, 0);
    EXPECT_EQ(pixelAt(buffer, 100, 5).r, 250 - 29 + 100 - 5 > 255 ? 255 : 250 - 29 + 100 - 5);
    EXPECT_EQ(pixelAt(buffer, 100, 6).r, 250);
    EXPECT_EQ(pixelAt(buffer, 100, 25).r, 250);
    EXPECT_NE(pixelAt(buffer, 100, 26).g, 10);
}

static bool anyBlackIn(int x0, int y0, int x1, int y1)
{
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            rgb p = pixelAt(buffer, x, y);
            if (p.r == 0 && p.g == 0 && p.b == 0)
                return true;
        }
    return false;
}

TEST(DrawButton, CentresTheLabelWithThreeTextPasses)
{
    headlessSetup();
    clear_to_color(buffer, makecol(255, 255, 255));
    drawButton(buffer, "Render", 496, 0, 128, 32, makecol(64, 128, 255), 4, -1);
    // black pass at y 12..19 starting at x 536; nothing black left of 536
    EXPECT_TRUE(anyBlackIn(536, 12, 583, 19));
    EXPECT_FALSE(anyBlackIn(500, 4, 535, 27));
    EXPECT_FALSE(anyBlackIn(584, 4, 619, 27));
    // the light pass shows one row above the black text, the dark one below
    bool light = false, dark = false;
    for (int x = 536; x < 584; x++) {
        rgb above = pixelAt(buffer, x, 11);
        if (above.r == 104 && above.g == 168 && above.b == 255) light = true;
        for (int y = 13; y <= 20; y++) {
            rgb p = pixelAt(buffer, x, y);
            if (p.r == 24 && p.g == 88 && p.b == 215) dark = true;
        }
    }
    EXPECT_TRUE(light);
    EXPECT_TRUE(dark);
}

TEST(DrawButton, PlacesAnOverlongLabelAsIfItHadOneHundredCharacters)
{
    headlessSetup();
    static char label[151];
    for (int i = 0; i < 150; i++) label[i] = 'W';
    label[150] = 0;
    BITMAP *wide = create_bitmap(2000, 40);
    clear_to_color(wide, makecol(255, 255, 255));
    drawButton(wide, label, 1000, 0, 100, 32, makecol(64, 128, 255), 4, -1);
    // starts at 1000 + 50 - 400 = 650
    bool blackAt650 = false, blackBefore = false;
    for (int y = 12; y < 20; y++) {
        for (int x = 650; x < 658; x++) {
            int c = getpixel(wide, x, y);
            if (getr32(c) == 0 && getg32(c) == 0 && getb32(c) == 0) blackAt650 = true;
        }
        int c = getpixel(wide, 649, y);
        if (getr32(c) == 0 && getg32(c) == 0 && getb32(c) == 0) blackBefore = true;
    }
    EXPECT_TRUE(blackAt650);
    EXPECT_FALSE(blackBefore);
    destroy_bitmap(wide);
}

TEST(Panel, RecordsTheTwentyEightHitRectangles)
{
    headlessSetup();
    drawPanel();
    EXPECT_EQ(findButton(496, 0), 0);
    EXPECT_EQ(findButton(624, 0), -1);
    EXPECT_EQ(findButton(495, 100), -1);
    EXPECT_EQ(findButton(600, 40), -1);                 // "Formulas" heading
    EXPECT_EQ(findButton(539, 64), 2);
    EXPECT_EQ(findButton(538, 79), 1);
    EXPECT_EQ(findButton(623, 175), 12);                // Skip, column Z
    EXPECT_EQ(findButton(500, 260), 21);                // "-" of the stop count
    EXPECT_EQ(findButton(600, 260), 20);
    EXPECT_EQ(findButton(500, 290), 23);
    EXPECT_EQ(findButton(600, 290), 22);
    EXPECT_EQ(findButton(560, 300), -1);                // Pow label
    EXPECT_EQ(findButton(560, 340), 25);
    EXPECT_EQ(findButton(500, 479), 27);
    EXPECT_EQ(findButton(500, 430), -1);                // the empty band
    for (int id = 0; id < BUTTON_COUNT; id++) {
        const buttonRect &b = aButton[id];
        EXPECT_EQ(findButton(b.x, b.y), id);
        EXPECT_EQ(findButton(b.x + b.w - 1, b.y + b.h - 1), id);
    }
}

TEST(Panel, PointerImageFansFromTheApexOverMagenta)
{
    headlessSetup();
    makePointerImage();
    rgb top = pixelAt(mseBlock, 20, 0);
    EXPECT_EQ(top.r + top.g + top.b, 0);
    rgb left = pixelAt(mseBlock, 0, 31);
    EXPECT_EQ(left.r, 255); EXPECT_EQ(left.g, 248); EXPECT_EQ(left.b, 255);
    rgb outside = pixelAt(mseBlock, 31, 31);
    EXPECT_EQ(outside.r, 255); EXPECT_EQ(outside.g, 0); EXPECT_EQ(outside.b, 255);
}

TEST(Pointer, LeavesNoTraceInTheBufferEvenWhenClippedAtTheEdge)
{
    headlessSetup();
    drawPanel();
    BITMAP *before = create_bitmap(640, 480);
    blit(buffer, before, 0, 0, 0, 0, 640, 480);
    showFrame(630, 470);
    showFrame(100, 100);
    for (int y = 0; y < 480; y += 1)
        for (int x = 0; x < 640; x += 1)
            ASSERT_EQ(getpixel(buffer, x, y), getpixel(before, x, y));
    // the screen got the pointer, clipped to 10 x 10 at the corner
    rgb tip = pixelAt(screen, 100, 110);
    EXPECT_EQ(tip.r, 255);
    destroy_bitmap(before);
}
