// The library without a display: memory bitmaps stand in for the screen, and
// tests write key[] and mouse_* and feed waits through idleHook.
#pragma once
#include <allegro.h>
#include "figure/figure.h"
#include "ui/input.h"
#include "ui/screen.h"
#include "ui/view.h"

// Starts the library once with no display, then restores the default
// settings and formulas, releases every key and button, and makes every
// wait release Esc (as a user lifting the key would).
void headlessSetup();
extern figure fig;                  // the tests' figure: the defaults after headlessSetup

rgb pixelAt(BITMAP *bmp, int x, int y);
