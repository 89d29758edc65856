// The figure display: gain, ramp segments, clamping, column-major cells, panel columns left alone.
#include <gtest/gtest.h>
#include <array>
#include <climits>
#include <cstring>
#include "render/lattice.h"
#include "tests/unit/headless.h"

// Rows are { cell, red, green, blue }; cell i is shown at pixel (i, 2i + 1), so a row-major mix-up shows.
static void expectColours(std::initializer_list<std::array<int, 4>> table)
{
    clear_to_color(buffer, makecol(1, 2, 3));
    memset(life, 0, AREA_PX * AREA_PX * sizeof life[0]);
    int i = 0;
    for (auto &row : table)
        life[i * AREA_PX + 2 * i + 1] = row[0], i++;
    drawFIG(fig);
    for (i = 0; auto &row : table) {
        rgb c = pixelAt(buffer, i, 2 * i + 1);
        i++;
        EXPECT_EQ((std::array{ c.r, c.g, c.b }), (std::array{ row[1], row[2], row[3] }))
            << "cell " << row[0] << " gain " << fig.ColorPow;
    }
}

TEST(DrawFIG, DefaultRamp)
{
    headlessSetup();
    expectColours({ { 0, 0, 0, 0 }, { 1, 0, 0, 100 }, { 3, 0, 45, 255 }, { 5, 0, 245, 255 },
                    { 6, 90, 255, 255 }, { 8, 255, 255, 255 }, { 1000, 255, 255, 255 } });
    fig.ColorPow = 1;
    expectColours({ { 255, 0, 0, 255 }, { 256, 0, 1, 255 }, { 511, 1, 255, 255 }, { 765, 255, 255, 255 } });
}

TEST(DrawFIG, FallingAndOverflowingChannels)
{
    headlessSetup();
    // stop 2 and stop 3 lie so far apart that their difference overflows an int
    const int ramp[12] = { 200, 100, 0,   0, 0, 0,   INT_MIN, INT_MAX, 0,   INT_MAX, INT_MIN, 300 };
    memcpy(fig.Color, ramp, sizeof ramp);
    fig.ColorPow = 1;
    expectColours({ { 100, 121, 60, 0 }, { 300, 0, 255, 0 }, { 700, 255, 0, 223 }, { 1000, 255, 0, 255 } });
    for (int gain : { 0, -1, INT_MIN }) {
        fig.ColorPow = gain;
        expectColours({ { 5, 200, 100, 0 }, { INT_MAX, 200, 100, 0 } });
    }
    fig.ColorPow = INT_MAX;             // 2 * INT_MAX wraps negative in 32 bits
    expectColours({ { 2, 255, 0, 255 }, { INT_MAX, 255, 0, 255 } });
    EXPECT_EQ(pixelAt(buffer, 480, 0).b, 3);
    EXPECT_EQ(pixelAt(buffer, 639, 479).b, 3);
}
