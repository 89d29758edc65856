// The figure on the screen: the drawing area's cells, their picture in
// buffer, and the render pass as the user watches it.
#pragma once
#include "figure/figure.h"
#include "ui/screen.h"

extern int *life;                   // AREA_PX x AREA_PX cells of the drawing area, column-major

// Repaints the drawing area of buffer from life through the figure's colour
// ramp and gain; the panel columns are left alone.
void drawFIG(const figure &f);

// Renders the figure into life, showing "Esc to Cancel" and progress marks
// in the box progress. Esc ends the render at the next loop test and is
// waited out; F1, F2 and F3 held show the figure as it grows after every
// point, every Z sweep and every Y sweep. The sweep records as the batched
// path computes, in sweep order, and looks at Esc at least every run of
// points (microseconds apart). Where the machine has a core to spare, no key
// watches the steps and the render lasts, a second thread sweeps the last X
// values into cells of its own, which join the figure when the sweep
// reaches them.
void render(const figure &f, buttonRect progress);
extern int renderThreads;           // threads of the window's render: one per core

// Column of the progress marks in the box for the current X, or -1 when none is drawn.
int progressColumn(float x, float xMin, float xMax, buttonRect progress);
