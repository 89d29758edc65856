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
