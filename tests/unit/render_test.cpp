// The render pass on small lattices: cells, dropped points, progress marks, cancel.
#include <gtest/gtest.h>
#include <bit>
#include <cmath>
#include <thread>
#include <unistd.h>
#include "render/render.h"
#include "tests/unit/headless.h"

static void setFigure(const char *x, const char *y, const char *z, std::vector<float> range)
{
    headlessSetup();
    myXForm = toFormula(x);
    myYForm = toFormula(y);
    myZForm = toFormula(z);
    if (!range.empty())
        memcpy(Range, range.data(), sizeof Range);
    clear(screen);
}

static int cellAt(int x, int y) { return life[x * 480 + y]; }
static long cellSum() { long sum = 0; for (int i = 0; i < CELL_COUNT; i++) sum += life[i]; return sum; }
static bool isGreenMark(int x) { return getpixel(screen, x, 373) == makecol(64, 192, 96); }

TEST(Render, MapsValuesToPixelsAndDropsUnusablePoints)
{
    const std::pair<float, int> rows[] = { { 0, 240 }, { 0.5f, 360 }, { -0.5f, 120 }, { -1, 0 }, { 0.999f, 479 },
        { 0.004f, 240 }, { -0.004f, 240 }, { -0.0042f, 239 }, { -1.004f, 0 }, { 0.770833313f, 425 }, { 1.0f, -1 },
        { -241.0f / 240, -1 }, { NAN, -1 }, { INFINITY, -1 }, { -INFINITY, -1 }, { 3e9f, -1 }, { -3e9f, -1 } };
    for (auto &[value, column] : rows)
        EXPECT_EQ(pixelOfValue(value), column) << value;
    struct { const char *x, *z; int column, depth; } cases[] = {
        { "0.999", "5", 479, 5 }, { "-1", "5", 0, 5 }, { "1", "5", -1, 0 }, { "(0+-1)^.5", "5", -1, 0 },
        { "1/0", "5", -1, 0 }, { "0", "(0+-1)^.5", 240, 0 }, { "0", "1/0", 240, 0 },
        { "0", "99999*99999", 240, 0 }, { "0", "46340*46340", 240, (int)(46340.0f * 46340.0f) } };
    for (auto &c : cases) {
        setFigure(c.x, "0", c.z, { 0, 0, 1, 0, 0, 1, 0, 0, 1 });
        style = 1;
        renderBy(true);
        EXPECT_TRUE(cellSum() == c.depth && (c.column < 0 || cellAt(c.column, 240) == c.depth)) << c.x << " " << c.z;
    }
}

TEST(Render, CountsPerStyleAndVisitsTheDefault63504PointsWithMarksOnlyWhileXRuns)
{
    setFigure("X", "Y", "Z", { 0, 0.5f, 0.25f, 0, 0.5f, 0.25f, 3, 7, 2 });
    const int styles[4] = { 0, 1, 1, 2 }, expected[4] = { 3, 7, 0, 0 };   // run 2 has depths <= 0
    for (int run = 0; run < 4; run++) {
        style = styles[run];
        if (run == 2)
            myZForm = toFormula("-Z");
        renderBy(run % 2);
        int e = expected[run];
        EXPECT_TRUE(cellAt(240, 240) == e && cellAt(300, 360) == e && cellAt(360, 300) == e) << run;
        EXPECT_EQ(cellSum(), 9L * e);
    }
    setFigure("0", "0", "0", {});
    renderBy(true);
    EXPECT_EQ(cellAt(240, 240), 63504);
    EXPECT_TRUE(isGreenMark(500) && isGreenMark(619) && !isGreenMark(499) && !isGreenMark(620));
}

// Esc shows from loop test escFromTest on, or (when negative) at that one test only.
static int escTests, escFromTest;
static bool escFromNthTest()
{
    escTests++;
    return escFromTest > 0 ? escTests >= escFromTest : escTests == -escFromTest;
}

static void renderCancelledAt(int escTest, bool compiled)
{
    escTests = 0, escFromTest = escTest;
    renderEscHeld = escTest ? escFromNthTest : escKeyHeld;
    renderBy(compiled);
    renderEscHeld = escKeyHeld;
}

TEST(Render, CancelEndsEachSweepAtItsNextTestTheSameOnBothPaths)
{
    setFigure("X", "Y", "0", { 0, 0.5f, 0.25f, 0, 0.5f, 0.25f, 0, 0, 1 });
    renderCancelledAt(5, true);                 // loop tests: X, Y, Z (point 0,0), Y, Z <- Esc
    EXPECT_TRUE(cellSum() == 1 && cellAt(240, 240) == 1 && isGreenMark(500) && !isGreenMark(560));
    EXPECT_TRUE(Time[0] == 0.25f && Time[1] == 0.5f && Time[2] == 0.0f);
    const char *figures[][3] = { { "CX*S(X/Y)", "SX*S(Y/X)", "Z" }, { "S(X*Z)", "C(Y+Z)", "Z*X^Y" },
                                 { "X^.5/4", "T(Y)/9", "9/Z" } };
    for (int f = 0; f < 3; f++)
        for (int cancelAt : { 0, 700, -700, 40000, -40000 }) {
            std::vector<int> state[2];      // the cells, then the bits of the last point
            for (int path = 0; path < 2; path++) {
                setFigure(figures[f][0], figures[f][1], figures[f][2], {});
                Range[7] = f, style = f % 2;
                renderCancelledAt(cancelAt, path == 1);
                state[path].assign(life, life + CELL_COUNT);
                for (float t : Time)
                    state[path].push_back(std::bit_cast<int>(t));
            }
            EXPECT_TRUE(state[0] == state[1]) << f << " " << cancelAt;
            EXPECT_TRUE(cancelAt > 0 || cellSum() > 0) << f;
        }
}

TEST(Render, EscHeldAtStartDrawsTheLabelClearsTheCellsAndReturnsOnlyOnceReleased)
{
    setFigure("X", "Y", "Z", {});
    life[100] = 7;
    key[KEY_ESC] = 1;
    bool released = false;
    std::thread releaser([&] { usleep(30000); released = true; key[KEY_ESC] = 0; });
    render();
    EXPECT_TRUE(released);
    releaser.join();
    EXPECT_TRUE(cellSum() == 0 && !isGreenMark(500));
    EXPECT_EQ(getpixel(screen, 496, 368), makecol(99, 99, 99));     // the cancel label's ring
}
