// The shell: start-up, the main loop, the control panel and the dispatch of
// clicks to the panel's actions. The top layer: it includes the feature
// folders and the screen layer; nothing includes it.
#pragma once
#include "figure/figure.h"
#include "ui/input.h"
#include "ui/screen.h"

extern unsigned char game;          // the main loop runs while it is nonzero
extern int ColorCur;                // the stop the Red, Green and Blue buttons edit (0-based)

// The panel's "Loading Bar": render progress, and the note after a save.
const buttonRect PROGRESS_BOX = { 496, 368, 128, 32 };

// false after saying on stderr why the program cannot run. With loaded the
// window opens on that figure (read from a file, as if chosen with Load);
// otherwise on the default figure.
bool startup(const figure *loaded = nullptr, const char *loadedPath = nullptr);
void mainLoop();
void shutdown();

// The panel's labels that show a setting; each is redrawn from its row.
enum valueLabel { VALUE_NONE, VALUE_STOP, VALUE_STYLE, VALUE_POW };

void drawPanel();                   // every row of the panel into buffer
void drawValueLabel(valueLabel label);
int findButton(int px, int py);     // button id under the point, or -1
void scanClicks(int px, int py);    // runs the action of the button under the point

// Keys of the main loop: Ctrl+Z undo, Ctrl+Y and Ctrl+Shift+Z redo, Ctrl+G
// the gain that fits the picture.
void dispatchKey(const keyPress &press);
