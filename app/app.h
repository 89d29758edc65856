// The shell: start-up, the main loop, the control panel and the dispatch of
// clicks to the panel's actions. The top layer: it includes the feature
// folders and the screen layer; nothing includes it.
#pragma once

extern unsigned char game;          // the main loop runs while it is nonzero

// false after saying on stderr why the program cannot run. With
// figureLoaded the figure settings already hold a figure read from a file,
// which is shown as if chosen with Load; otherwise the defaults are set.
// scale: the window's scale, 0 for the largest that fits the desktop.
bool startup(const char *figureLoaded = nullptr, int scale = 0);  // the path of a figure already read, if any
void mainLoop();
void shutdown();

// The panel's labels that show a setting; each is redrawn from its row.
enum valueLabel { VALUE_NONE, VALUE_STOP, VALUE_STYLE, VALUE_POW };

void drawPanel();                   // every row of the panel into buffer
void drawValueLabel(valueLabel label);
int findButton(int px, int py);     // button id under the point, or -1
void scanClicks(int px, int py);    // runs the action of the button under the point

struct keyPress;
void runShortcut(const keyPress &press);   // the action of a key shortcut of the main loop, if it is one
