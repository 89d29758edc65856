// Allegro without a display: memory bitmaps stand in for the screen; tests write key[] and mouse_*.
#pragma once
#include <allegro.h>
#include "app/app.h"

// Installs Allegro once with no system driver, then restores the default
// settings and formulas and releases every key and mouse button.
void headlessSetup();

struct rgb { int r, g, b; };
rgb pixelAt(BITMAP *bmp, int x, int y);
