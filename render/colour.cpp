// The colour ramp: every cell of a grid through the gain and the four-stop
// ramp. Only the clamped scaled value decides a colour, so the ramp is worked
// out once per possible value instead of once per pixel.
#include <algorithm>
#include <vector>
#include "figure/figure.h"
#include "render/colour.h"

// Truncation toward zero, then into 0..255 so that an out-of-range stop
// channel never spills into a neighbouring channel of a packed pixel.
static int channelOf(double value)
{
    if (value <= 0.0)
        return 0;
    if (value >= 255.0)
        return 255;
    return (int)value;
}

static rampColour colourAt(const int color[12], int scaled)
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
        double from = color[segment * 3 + c];
        double to = color[segment * 3 + 3 + c];
        out[c] = channelOf(from + weight * (to - from) / 255.0);
    }
    return rampColour{ out[0], out[1], out[2] };
}

void buildRamp(const int color[12], rampColour ramp[RAMP_TOP + 1])
{
    for (int v = 0; v <= RAMP_TOP; v++)
        ramp[v] = colourAt(color, v);
}

// The product of cell and gain is taken in 64 bits so that it cannot
// overflow; beyond either end of the ramp the colour no longer changes.
int scaledValue(int cell, int gain)
{
    long long value = (long long)cell * gain;
    return (int)std::clamp(value, 0LL, (long long)RAMP_TOP);
}

// Rows are written in bands of 16 and blocks of 120 columns: the 120 cell
// columns of a block then stay in the first-level cache for all 16 rows,
// where a whole row would step through every column of the grid.
const int BAND_ROWS = 16;
const int BLOCK_COLUMNS = 120;

void paintCells(const int *cells, int size, int gain, const uint32_t *palette, uint32_t *const *rows,
                int top, int bottom)
{
    if (bottom < 0)
        bottom = size;
    for (int band = top; band < bottom; band += BAND_ROWS) {
        int bandEnd = std::min(band + BAND_ROWS, bottom);
        for (int left = 0; left < size; left += BLOCK_COLUMNS) {
            int right = std::min(left + BLOCK_COLUMNS, size);
            for (int y = band; y < bandEnd; y++)
                for (int x = left; x < right; x++)
                    rows[y - top][x] = palette[scaledValue(cells[(long)x * size + y], gain)];
        }
    }
}

// Every value from RAMP_TOP up reaches the last stop at gain 1, so one
// counter stands for all of them and the cells are counted in one pass.
int fittingGain(const int *cells, long long count, unsigned char style)
{
    if (style != STYLE_COUNTS && style != STYLE_HIGHEST_Z)
        return NO_FITTING_GAIN;
    std::vector<long long> cellsAt(RAMP_TOP + 1, 0);
    long long lit = 0;
    for (long long i = 0; i < count; i++) {
        if (cells[i] > 0) {
            cellsAt[std::min(cells[i], RAMP_TOP)]++;
            lit++;
        }
    }
    if (lit == 0)
        return NO_FITTING_GAIN;
    long long brightest = std::max(1LL, (lit * FITTING_SHARE_PER_MILLE + 999) / 1000);
    int value = RAMP_TOP;
    for (long long seen = cellsAt[value]; seen < brightest; seen += cellsAt[value])
        value--;
    return (RAMP_TOP + value - 1) / value;
}
