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

// The grid is painted in tiles of 64 rows and 64 columns. A tile's cells
// are read a column at a time (side by side in memory) into a small buffer,
// whose rows are then copied out. Columns and rows of a large grid lie a
// power of two apart, so reading or writing across them directly would
// make the caches hold only a few of them at once. The columns a little
// ahead are fetched while a column is painted: the processor does not fetch
// ahead by itself across such strides.
const int TILE_ROWS = 64;
const int TILE_COLUMNS = 64;
const int CELLS_PER_LINE = 16;      // ints in a 64-byte cache line
const int FETCH_AHEAD = 8;          // columns

static void fetchColumn(const int *column, int top, int bottom)
{
    for (int y = top; y < bottom; y += CELLS_PER_LINE)
        __builtin_prefetch(column + y);
}

static void paintTile(const int *cells, int size, int gain, const uint32_t *palette, uint32_t *const *rows, int top,
                      int band, int bandEnd, int left, int right)
{
    uint32_t tile[TILE_ROWS][TILE_COLUMNS];
    for (int x = left; x < right; x++) {
        if (x + FETCH_AHEAD < size)
            fetchColumn(cells + (long)(x + FETCH_AHEAD) * size, band, bandEnd);
        const int *column = cells + (long)x * size;
        for (int y = band; y < bandEnd; y++)
            tile[y - band][x - left] = palette[scaledValue(column[y], gain)];
    }
    for (int y = band; y < bandEnd; y++)
        std::copy(tile[y - band], tile[y - band] + (right - left), rows[y - top] + left);
}

void paintCells(const int *cells, int size, int gain, const uint32_t *palette, uint32_t *const *rows,
                int top, int bottom)
{
    if (bottom < 0)
        bottom = size;
    for (int band = top; band < bottom; band += TILE_ROWS)
        for (int left = 0; left < size; left += TILE_COLUMNS)
            paintTile(cells, size, gain, palette, rows, top, band, std::min(band + TILE_ROWS, bottom), left,
                      std::min(left + TILE_COLUMNS, size));
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
