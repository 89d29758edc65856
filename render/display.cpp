// The figure display: every cell of the drawing area through the gain and the
// four-stop colour ramp into buffer.
#include <algorithm>
#include <cstdint>
#include "app/app.h"
#include "render/render.h"

// Each of the three ramp segments is 255 units wide, so scaled values past
// 765 all show stop 3.
const int RAMP_TOP = 3 * 255;

// Truncation toward zero, then into 0..255 so that an out-of-range stop
// channel never spills into a neighbouring channel of the packed pixel.
static int channelOf(double value)
{
    if (value <= 0.0)
        return 0;
    if (value >= 255.0)
        return 255;
    return (int)value;
}

static int rampColour(int scaled)
{
    int segment = 0;
    int weight = scaled;
    if (weight > 255) {
        weight -= 255;
        segment = 1;
    }
    if (weight > 255) {
        weight -= 255;
        segment = 2;
    }
    int out[3];
    for (int c = 0; c < 3; c++) {
        // in double: the difference of two int channels may not fit an int
        double from = Color[segment * 3 + c];
        double to = Color[segment * 3 + 3 + c];
        out[c] = channelOf(from + weight * (to - from) / 255.0);
    }
    return makecol32(out[0], out[1], out[2]);
}

// The product of cell and gain is taken in 64 bits so that it cannot
// overflow; beyond either end of the ramp the colour no longer changes.
static int scaledValue(int cell, int gain)
{
    long long value = (long long)cell * gain;
    return (int)std::clamp(value, 0LL, (long long)RAMP_TOP);
}

// Rows are written in bands of 16 and blocks of 120 columns: the 120 cell
// columns of a block then stay in the first-level cache for all 16 rows,
// where a whole row would step through 480 columns of the cell buffer.
const int BAND_ROWS = 16;
const int BLOCK_COLUMNS = 120;

static void drawBlock(const int *rampTable, int gain, int top, int left)
{
    for (int y = top; y < top + BAND_ROWS; y++) {
        uintptr_t row = bmp_write_line(buffer, y);
        for (int x = left; x < left + BLOCK_COLUMNS; x++)
            bmp_write32(row + x * 4, rampTable[scaledValue(life[x * 480 + y], gain)]);
        bmp_unwrite_line(buffer);
    }
}

void drawFIG()
{
    // The colour depends only on the clamped scaled value: one ramp
    // evaluation per possible value instead of one per pixel.
    int rampTable[RAMP_TOP + 1];
    for (int v = 0; v <= RAMP_TOP; v++)
        rampTable[v] = rampColour(v);

    bmp_select(buffer);
    for (int top = 0; top < 480; top += BAND_ROWS)
        for (int left = 0; left < 480; left += BLOCK_COLUMNS)
            drawBlock(rampTable, ColorPow, top, left);
}
