// The colour ramp: cells through the gain and four colour stops into pixels,
// for a grid of any size and pixels packed however the caller wants.
#pragma once
#include <cstdint>

// Each of the three ramp segments is 255 units wide, so scaled values past
// 765 all show stop 3.
const int RAMP_TOP = 3 * 255;

struct rampColour { int r, g, b; };     // channels in 0..255

// The colour of every scaled value 0..RAMP_TOP for the stops in color
// (four stops of red, green, blue).
void buildRamp(const int color[12], rampColour ramp[RAMP_TOP + 1]);

// A cell times the gain, clamped into 0..RAMP_TOP.
int scaledValue(int cell, int gain);

// Paints rows top..bottom-1 of the size x size picture of a grid (all of
// them by default): pixel x of rows[y - top] becomes palette[scaledValue(
// cells[x * size + y], gain)], where palette holds the caller's packed form
// of each ramp colour.
void paintCells(const int *cells, int size, int gain, const uint32_t *palette, uint32_t *const *rows,
                int top = 0, int bottom = -1);

// ---- a gain that fits the picture ----
// The brightest share of the lit cells that a fitting gain takes to the last stop.
const int FITTING_SHARE_PER_MILLE = 5;
const int NO_FITTING_GAIN = 0;          // no cell is lit: keep the gain there is

// The smallest gain at which the brightest 0.5% of the lit cells (at least
// one) reach RAMP_TOP, the ramp's last stop: with value v the lowest of
// them, the least g with v * g >= RAMP_TOP. A lit cell is one above 0: a
// count of points in style STYLE_COUNTS, a highest depth in STYLE_HIGHEST_Z
// (a sweep keeps depths above 0 only; a cell of 0 or below is dark either
// way). NO_FITTING_GAIN when none is lit, or for a style that records nothing.
int fittingGain(const int *cells, long long count, unsigned char style);
