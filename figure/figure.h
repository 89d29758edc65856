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

// A figure file is one line of 26 fields; a field a program writes has at
// most 99 characters, so 26 of them and their separators take 2,600 bytes.
// A larger file is not a figure and is refused without being read.
const int FIGURE_FILE_LIMIT = 4096;

// Both give, on failure, the reason in plain words in *reason (when given),
// for a banner or a message line: "the disk is full", "not a regular file".
// writeFIG replaces the file whole or leaves it exactly as it was; true only
// if the whole record reached the disk.
bool writeFIG(const char *path, const char **reason = nullptr);
// Reads only a regular file of at most FIGURE_FILE_LIMIT bytes, without ever
// blocking; when refused no setting changes. On success the formulas are
// recompiled.
bool readFIG(const char *path, const char **reason = nullptr);
