// Application shell: start-up, main loop, control panel, click dispatch and
// the figure settings that every other part of the program reads and writes.
#pragma once
#include <allegro.h>
#include "formula/formula.h"

// ---- figure settings (the document) ----
const int FORMULA_TEXT = 100;       // bytes of a formula text, terminator included

extern char aXForm[FORMULA_TEXT], aYForm[FORMULA_TEXT], aZForm[FORMULA_TEXT];
extern myFormula myXForm, myYForm, myZForm;
extern float Range[9];              // Xmin Xmax Xskip Ymin Ymax Yskip Zmin Zmax Zskip
extern int Color[12];               // four stops of red, green, blue
extern int ColorCnt;
extern int ColorPow;
extern int ColorCur;
extern unsigned char style;         // 0 hit counts, 1 highest Z

// ---- working globals ----
const int SCREEN_W_PX = 640, SCREEN_H_PX = 480;
const int CELL_COUNT = 640 * 480;   // the cell buffer is column-major: x * 480 + y

extern BITMAP *buffer;              // the whole picture, copied to the screen each frame
extern BITMAP *mseBlock;            // rows 0..31 pointer image, rows 32..63 saved background
extern int *life;                   // cell buffer
extern unsigned char game;          // main loop runs while nonzero
extern PALETTE pal;

struct buttonRect { int x, y, w, h; };
const int BUTTON_COUNT = 28;
extern buttonRect aButton[BUTTON_COUNT];

// settings.cpp
void setDefaultTexts();             // the three default formula texts
void compileFormulas();             // myXForm, myYForm, myZForm from their texts, in that order
void setDefaultSettings();          // Range, Color, ColorCnt, ColorPow, ColorCur, style

// panel.cpp
void drawButton(BITMAP *target, const char *label, int x, int y, int w, int h,
                int colour, int border, int id);
void drawPanel();                   // the 40 buttons of the control panel into buffer
void drawStopLabel();
void drawStyleLabel();
void drawPowLabel();

// loop.cpp
int nextClickState(int state, int mouseButtons, bool rightRepeats);
void showFrame(int mx, int my);    // pointer on, buffer to screen, pointer off
void idle();                        // give the processor back while waiting for input
void waitKeyRelease(int scancode);
void showBanner(const char *text);  // full-width banner on the screen until Enter or Esc
void makePointerImage();
int startup();                      // 0 on success; prints the reason and returns nonzero otherwise
void mainLoop();
void shutdown();
bool startHeadless();                // no display: memory bitmaps, default settings

// dispatch.cpp
int findButton(int px, int py);     // button id under the point, or -1
void scanClicks();
