// The figure display: gain, ramp segments, clamping, column-major cells, panel columns left alone.
#include <gtest/gtest.h>
#include <array>
#include <climits>
#include <cstring>
#include <vector>
#include "render/colour.h"
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

// Columns: the cells as { value, how many } besides 1000 empty ones, the style, the fitting gain.
static const struct fittingCase {
    std::vector<std::array<int, 2>> cells;
    unsigned char style;
    int gain;
} FITTING_CASES[] = {
    { {}, STYLE_COUNTS, NO_FITTING_GAIN },                          // nothing lit
    { { { 1, 1 } }, STYLE_COUNTS, 765 },
    { { { 3, 1 } }, STYLE_COUNTS, 255 },                            // 3 x 255 is the last stop exactly
    { { { 10, 1 }, { 1, 199 } }, STYLE_COUNTS, 77 },                // 1 of 200 lit is the brightest 0.5%
    { { { 10, 1 }, { 1, 200 } }, STYLE_COUNTS, 765 },               // of 201, the brightest 2 reach down to 1
    { { { 5000, 3 }, { 2, 500 } }, STYLE_COUNTS, 1 },               // beyond the last stop at gain 1 already
    { { { 7, 1 } }, STYLE_HIGHEST_Z, 110 },                         // a depth as a count
    { { { -5, 10 } }, STYLE_HIGHEST_Z, NO_FITTING_GAIN },           // depths below 0 are dark
    { { { 4, 1 } }, 2, NO_FITTING_GAIN },                           // a style that records nothing
};

TEST(FittingGain, Table)
{
    for (const fittingCase &c : FITTING_CASES) {
        std::vector<int> grid(1000, 0);
        for (auto [value, many] : c.cells)
            grid.insert(grid.begin() + grid.size() / 2, many, value);
        EXPECT_EQ(fittingGain(grid.data(), (long long)grid.size(), c.style), c.gain)
            << c.cells.size() << " values, style " << (int)c.style;
    }
}
