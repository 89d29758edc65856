// The library without a display: memory bitmaps stand in for the screen, and
// tests write key[] and mouse_* and feed waits through idleHook. Presses are
// made as the library's drivers make them: through its mouse and keyboard
// hooks.
#pragma once
#include <allegro.h>
#include <string>
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

// An instant press and release of a mouse button (1 left, 2 right) at
// picture pixel x, y, both seen by the library in one pass.
void clickAt(int x, int y, int button);

// Key presses for the keyboard buffer, one arriving at each wait, named by
// character: '\r' Enter, '\n' the keypad's Enter, 27 Esc, '\b' Backspace,
// '\t' Tab, 127 Delete, 1 Ctrl+A; any other byte is that character typed.
// A wait after the last press closes the window (and notes an overrun), so
// a prompt that wants more ends too.
void typeKeys(const std::string &keys);
size_t keysLeft();
bool keysOverrun();
