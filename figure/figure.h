// The figure settings, the document of the program: everything a figure file
// holds, plus the stop selected for editing. Every layer above reads them;
// the shell's actions, the prompts and the file loader write them.
#pragma once
#include <cstdio>
#include "formula/formula.h"

const int FORMULA_TEXT = 100;       // bytes of a formula text, terminator included

extern char aXForm[FORMULA_TEXT], aYForm[FORMULA_TEXT], aZForm[FORMULA_TEXT];
extern myFormula myXForm, myYForm, myZForm;   // always compiled from the texts above
extern float Range[9];              // Xmin Xmax Xskip Ymin Ymax Yskip Zmin Zmax Zskip
extern int Color[12];               // four stops of red, green, blue
extern int ColorCnt;                // stops in use: always 4
extern int ColorPow;                // gain: cell values are multiplied by it before colouring
extern int ColorCur;                // the stop the Red, Green and Blue buttons edit
extern unsigned char style;         // 0 hit counts, 1 highest Z

enum { STYLE_COUNTS = 0, STYLE_HIGHEST_Z = 1 };

void setDefaultTexts();             // the three default formula texts
void compileFormulas();             // myXForm, myYForm, myZForm from their texts, in that order
void setDefaultSettings();          // Range, Color, ColorCnt, ColorPow, ColorCur, style

// ---- figure files: one line of 26 fields ----
extern FILE *loadFile;              // the figure file being read or written

bool writeFIG(const char *path);    // true only if the whole record was written
bool readFIG(const char *path);     // true if the file opened; formulas are recompiled
