// Renderer: sweeps the lattice into the cell buffer, and paints the cell
// buffer into the drawing area through the colour ramp.
#pragma once

void render();                      // the pass the program uses: renderBy(true)
void drawFIG();

// One render pass. compiled: the three formulas are compiled once for the
// pass and run as programs; otherwise each point calls evaluate on copies of
// the records. Both give the same cells, leave Time at the stop position and
// draw the same label, progress marks and refreshes.
void renderBy(bool compiled);

// The pass asks this at each of its three loop tests whether Esc is held.
// It reads key[KEY_ESC]; a test can point it elsewhere to cancel the pass at
// a chosen loop test. The final wait for Esc's release always reads key[].
extern bool (*renderEscHeld)();
bool escKeyHeld();

// Pixel column (or row) of a formula value: trunc(value * 240) + 240 with the
// product in single precision, or -1 when the point falls off the drawing
// area (NaN, infinite or huge values included).
int pixelOfValue(float value);

// Progress mark column for the current X, or -1 when none is drawn.
int progressColumn(float x, float xMin, float xMax);
