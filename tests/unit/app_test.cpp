// The application shell: click state, drawButton and the control panel.
#include <gtest/gtest.h>
#include "tests/unit/headless.h"

TEST(ClickState, DispatchTable)
{
    // { state, buttons, main loop, next }: left once until all are up, right every main loop frame, middle never
    const int rows[][4] = { { 0, 1, 1, 1 }, { 1, 1, 1, 2 }, { 2, 1, 1, 2 }, { 2, 0, 1, 0 }, { 0, 2, 1, 1 },
                            { 1, 2, 1, 1 }, { 0, 2, 0, 0 }, { 1, 3, 0, 2 }, { 0, 4, 1, 0 }, { 1, 4, 1, 2 },
                            { 2, 4, 1, 2 }, { 2, 5, 1, 2 } };
    for (auto &r : rows)
        EXPECT_EQ(nextClickState(r[0], r[1], r[2]), r[3]) << r[0] << " " << r[1] << " " << r[2];
}

static bool anyPixelIn(BITMAP *bmp, int colour, int x0, int y0, int x1, int y1)
{
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++)
            if ((getpixel(bmp, x, y) & 0xFFFFFF) == colour)
                return true;
    return false;
}

TEST(DrawButton, ShadesAndClampsTheRingCentresTheLabelAndPlacesAnOverlongOneAsIfItHadOneHundredCharacters)
{
    headlessSetup();
    clear(buffer);
    drawButton(buffer, "", 10, 20, 128, 32, makecol(128, 128, 128), 4, -1);
    EXPECT_TRUE(pixelAt(buffer, 10, 20).r == 99 && pixelAt(buffer, 137, 20).g == 226);
    EXPECT_TRUE(pixelAt(buffer, 10, 51).b == 68 && pixelAt(buffer, 13, 24).r == 128 - 29 + 3 - 4);
    EXPECT_TRUE(pixelAt(buffer, 14, 24).r == 128 && pixelAt(buffer, 9, 20).r == 0);
    drawButton(buffer, "", 0, 0, 560, 32, makecol(250, 10, 128), 6, -1);
    EXPECT_TRUE(pixelAt(buffer, 559, 0).r == 255 && pixelAt(buffer, 0, 31).g == 0);        // clamped
    EXPECT_TRUE(pixelAt(buffer, 100, 6).r == 250 && pixelAt(buffer, 100, 25).r == 250);    // 20 flat rows
    clear_to_color(buffer, makecol(255, 255, 255));
    drawButton(buffer, "Render", 496, 0, 128, 32, makecol(64, 128, 255), 4, -1);
    EXPECT_TRUE(anyPixelIn(buffer, 0, 536, 12, 583, 19));
    EXPECT_FALSE(anyPixelIn(buffer, 0, 500, 4, 535, 27) || anyPixelIn(buffer, 0, 584, 4, 619, 27));
    BITMAP *wide = create_bitmap(2000, 40);
    clear_to_color(wide, makecol(255, 255, 255));
    drawButton(wide, std::string(150, 'W').c_str(), 1000, 0, 100, 32, makecol(64, 128, 255), 4, -1);
    EXPECT_TRUE(anyPixelIn(wide, 0, 650, 12, 657, 19) && !anyPixelIn(wide, 0, 649, 12, 649, 19));  // 1000+50-400
    destroy_bitmap(wide);
}

static std::string labelPixels(const char *label)
{
    clear(buffer);
    drawButton(buffer, label, 0, 0, 200, 32, makecol(64, 128, 255), 4, -1);
    std::string rows;
    for (int y = 0; y < 32; y++)
        rows.append((const char *)buffer->line[y], 200 * 4);
    return rows;
}

// A byte that starts no whole UTF-8 character (a typed Latin-1 letter keeps
// only its low byte; a file may hold anything) is drawn as '?', and drawing
// returns; whole characters are drawn as they are.
TEST(DrawButton, DrawsBrokenUtf8AsQuestionMarks)
{
    headlessSetup();
    EXPECT_EQ(labelPixels("a\xfd\xbf" "b"), labelPixels("a??b"));
    EXPECT_EQ(labelPixels("\xe9X\xc0\x80"), labelPixels("?X??"));
    EXPECT_EQ(labelPixels("\xf4\x80\x80"), labelPixels("???"));         // cut short by the terminator
    EXPECT_EQ(labelPixels("\xfd\x97\x97\x97\x97\x97"), labelPixels("??????"));  // a six-byte form the library never leaves
    EXPECT_NE(labelPixels("caf\xc3\xa9"), labelPixels("caf??"));
}

TEST(Panel, RecordsTheTwentyEightHitRectangles)
{
    headlessSetup();
    drawPanel();
    const int hits[][3] = { { 496, 0, 0 }, { 624, 0, -1 }, { 495, 100, -1 }, { 600, 40, -1 }, { 539, 64, 2 },
        { 538, 79, 1 }, { 623, 175, 12 }, { 500, 260, 21 }, { 600, 290, 22 }, { 560, 300, -1 }, { 500, 430, -1 } };
    for (auto &h : hits)
        EXPECT_EQ(findButton(h[0], h[1]), h[2]) << h[0] << "," << h[1];
    for (int id = 0; id < BUTTON_COUNT; id++) {     // every rectangle, corner to corner
        const buttonRect &b = aButton[id];
        EXPECT_TRUE(findButton(b.x, b.y) == id && findButton(b.x + b.w - 1, b.y + b.h - 1) == id) << id;
    }
}
