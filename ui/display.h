// Bringing the screen layer up and down.
#pragma once
#include <cstdio>

// The graphics library with a window showing the 640x480 32-bit picture at
// a whole scale (0: the largest that fits the desktop, see fittingScale),
// the keyboard, the timer and the mouse, and the picture's bitmaps. On
// failure it says why on stderr and returns false.
bool openDisplay(int scale = 0);

// The largest scale whose window fits in 90% of the desktop's width and
// height, from 1 to SCALE_MAX.
int fittingScale(int desktopW, int desktopH);
// One step larger (+1) or smaller (-1), never beyond what fits the desktop
// (a larger scale asked for at start may only shrink): the window is made
// again at the new size and shows the same picture. False if it stays.
bool changeScale(int step);

// The library without a display, for the tools and the tests: memory
// bitmaps stand in for the screen; keys and mouse are plain state.
bool openHeadless();

void closeDisplay();                // releases what either of them made

// The window's title: "latticegraph", then " - NAME" for the figure file
// last loaded or saved (the name without its folders); null for none.
void showFigureName(const char *path);

// buffer as a BMP file into an open file; true only when every byte was
// handed to it. The caller flushes and closes it (and sees errors there).
bool writeBufferBMP(FILE *file);
