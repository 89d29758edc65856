// Bringing the screen layer up and down.
#pragma once
#include <cstdio>

// The graphics library with a 640x480 32-bit display, the keyboard, the
// timer and the mouse, and the picture's bitmaps. On failure it says why on
// stderr and returns false.
bool openDisplay();

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
