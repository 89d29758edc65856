// The figure on the screen: the drawing area's cells, their picture in
// buffer, and the render pass as the user watches it.
#pragma once

extern int *life;                   // AREA_PX x AREA_PX cells of the drawing area, column-major

// Repaints the drawing area of buffer from life through the colour ramp and
// the gain; the panel columns are left alone.
void drawFIG();

// Renders the figure settings into life, showing "Esc to Cancel" and
// progress marks in the progress box. Esc ends the render at the next loop
// test and is waited out; F1, F2 and F3 held show the figure as it grows
// after every point, every Z sweep and every Y sweep.
// The sweep records as the batched path computes, in sweep order, and looks
// at Esc at least every run of points (microseconds apart); a second thread
// computes the values ahead where the machine has a core to spare.
void render();
extern int renderThreads;           // 1 or 2 forces that many; 0 (the default) decides at each render

// Column of the progress marks for the current X, or -1 when none is drawn.
int progressColumn(float x, float xMin, float xMax);
