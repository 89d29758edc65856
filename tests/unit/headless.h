// Allegro without a display, for unit tests: memory bitmaps stand in for the
// screen and the picture, and key[] / mouse_* are written by the tests.
#pragma once
#include <allegro.h>
#include "app/app.h"

// Installs Allegro once with no system driver, then restores the default
// settings and formulas and releases every key and mouse button.
void headlessSetup();

struct rgb { int r, g, b; };
rgb pixelAt(BITMAP *bmp, int x, int y);
