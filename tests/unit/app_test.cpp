// The shell and the screen layer: click state, drawButton, the panel's rows.
#include <gtest/gtest.h>
#include <string>
#include "app/app.h"
#include "app/document.h"
#include "tests/unit/headless.h"

TEST(ClickState, Table)
{
    // { state, buttons, main loop, next }: left once until all are up, right every main loop frame, middle never
    const int rows[][4] = { { 0, 1, 1, 1 }, { 1, 1, 1, 2 }, { 2, 1, 1, 2 }, { 2, 0, 1, 0 }, { 0, 2, 1, 1 },
                            { 1, 2, 1, 1 }, { 0, 2, 0, 0 }, { 1, 3, 0, 2 }, { 0, 4, 1, 0 }, { 1, 4, 1, 2 },
                            { 2, 4, 1, 2 }, { 2, 5, 1, 2 } };
    for (auto &r : rows)
        EXPECT_EQ(nextClickState(r[0], r[1], r[2]), r[3]) << r[0] << " " << r[1] << " " << r[2];
}

static int brightness(int x, int y) { rgb c = pixelAt(buffer, x, y); return c.r + c.g + c.b; }

static int blackColumn(bool leftmost, int x0, int x1, int y0, int y1)
{
    for (int i = 0; i <= x1 - x0; i++) {
        int x = leftmost ? x0 + i : x1 - i;
        for (int y = y0; y <= y1; y++)
            if ((getpixel(buffer, x, y) & 0xFFFFFF) == 0)
                return x;
    }
    return -1;
}

TEST(DrawButton, FlatFaceAndShadedRing)
{
    headlessSetup();
    clear_to_color(buffer, makecol(255, 255, 255));
    const int base = makecol(128, 128, 128);
    drawButton(buffer, "", 10, 20, 128, 32, base, 4);
    EXPECT_EQ(getpixel(buffer, 14, 24), base);                  // first face pixel
    EXPECT_EQ(getpixel(buffer, 133, 47), base);                 // last face pixel
    EXPECT_NE(getpixel(buffer, 13, 24), base);                  // the ring is 4 wide
    EXPECT_LT(brightness(10, 51), brightness(10, 20));          // darker toward the bottom
    EXPECT_GT(brightness(137, 20), brightness(10, 20));         // lighter toward the right
    EXPECT_EQ(brightness(11, 21), brightness(10, 20));          // constant along a diagonal
    EXPECT_EQ(brightness(9, 20), 3 * 255);                      // nothing outside
    drawButton(buffer, "", 0, 0, 560, 32, makecol(250, 10, 128), 6);
    EXPECT_EQ(pixelAt(buffer, 559, 0).r, 255);                  // each channel clamped on its own
    EXPECT_EQ(pixelAt(buffer, 0, 31).g, 0);
}

TEST(DrawButton, CentresTheLabel)
{
    headlessSetup();
    clear_to_color(buffer, makecol(255, 255, 255));
    drawButton(buffer, "Render", 496, 0, 128, 32, makecol(64, 128, 255), 4);
    EXPECT_EQ(blackColumn(true, 500, 619, 4, 27), 536);        // 560 - 4 * 6
    EXPECT_LT(blackColumn(false, 500, 619, 4, 27), 584);
    // an overlong label is placed as if it had 100 characters: 600 - 400
    drawButton(buffer, std::string(150, 'W').c_str(), 500, 100, 200, 32, makecol(64, 128, 255), 4);
    EXPECT_EQ(blackColumn(true, 0, 639, 112, 119), 200);
}

static std::string labelPixels(const char *label)
{
    clear(buffer);
    drawButton(buffer, label, 0, 0, 200, 32, makecol(64, 128, 255), 4);
    std::string rows;
    for (int y = 0; y < 32; y++)
        rows.append((const char *)buffer->line[y], 200 * 4);
    return rows;
}

// A byte that starts no whole UTF-8 character (a typed Latin-1 letter keeps
// only its low byte; a file may hold anything) is drawn as '?'.
TEST(DrawButton, BrokenUtf8IsDrawnAsQuestionMarks)
{
    headlessSetup();
    EXPECT_EQ(labelPixels("a\xfd\xbf" "b"), labelPixels("a??b"));
    EXPECT_EQ(labelPixels("\xe9X\xc0\x80"), labelPixels("?X??"));
    EXPECT_EQ(labelPixels("\xf4\x80\x80"), labelPixels("???"));         // cut short by the terminator
    EXPECT_EQ(labelPixels("\xfd\x97\x97\x97\x97\x97"), labelPixels("??????"));
    EXPECT_NE(labelPixels("caf\xc3\xa9"), labelPixels("caf??"));
}

TEST(Panel, HitRectangles)
{
    headlessSetup();
    openDocument(defaultFigure(), "");
    drawPanel();
    const int hits[][3] = { { 496, 0, 0 }, { 624, 0, -1 }, { 495, 100, -1 }, { 600, 40, -1 }, { 539, 64, 2 },
        { 538, 79, 1 }, { 623, 175, 12 }, { 500, 260, 21 }, { 600, 290, 22 }, { 560, 300, -1 }, { 500, 430, -1 } };
    for (auto &h : hits)
        EXPECT_EQ(findButton(h[0], h[1]), h[2]) << h[0] << "," << h[1];
}

static std::string heldKeys;        // at each look of a wait: E Enter, X Esc, . none; Esc after the end
static size_t looks;

static void lookAgain()
{
    char c = ++looks < heldKeys.size() ? heldKeys[looks] : 'X';
    key[KEY_ENTER] = c == 'E';
    key[KEY_ESC] = c == 'X';
}

// A key held as a banner opens does not close it; the next press does; Esc is waited out.
TEST(Banner, WaitsForAFreshPress)
{
    headlessSetup();
    idleHook = lookAgain;
    const std::pair<std::string, size_t> rows[] = { { ".E", 1 }, { "EEE..E", 5 }, { "X.E", 2 }, { "E.XXX.", 5 } };
    for (auto &[keys, closesAt] : rows) {
        heldKeys = keys;
        looks = SIZE_MAX;
        lookAgain();                                // look 0: the keys held as it opens
        showBanner("Could not write a.fig: read-only file system. (Press Enter)");
        EXPECT_EQ(looks, closesAt) << keys;
    }
}
