// Allegro without a display, for unit tests: memory bitmaps stand in for the
// screen and the picture, and key[] / mouse_* are written by the tests.
#pragma once
#include <allegro.h>
#include "app/app.h"

// Idempotent: installs Allegro with no system driver, sets 32-bit colour,
// creates buffer, mseBlock, life and a memory bitmap as `screen`, fills
// signOf, sets the default settings and compiles the default formulas.
void headlessSetup();

// Releases every key and mouse button the tests may have pressed.
void releaseInput();

// Channels of a pixel, independent of the packed layout.
struct rgb { int r, g, b; };
rgb pixelAt(BITMAP *bmp, int x, int y);
