// The figure: the document of the program, everything a figure file holds,
// as one value. The shell keeps the current one and hands it down; nothing
// below the shell keeps figure settings of its own.
#pragma once
#include <cstddef>
#include "formula/formula.h"

const int FORMULA_TEXT = 100;       // bytes of a formula text, terminator included
const int ColorCnt = 4;             // stops of the colour ramp: always four

enum { STYLE_COUNTS = 0, STYLE_HIGHEST_Z = 1 };

// A plain value, copied whole. Each compiled record belongs to its text: it
// is made by setFormula (or compileFormulas) whenever the text is set, and
// travels with it, so a copy keeps the random constants its text drew.
struct figure {
    char aXForm[FORMULA_TEXT], aYForm[FORMULA_TEXT], aZForm[FORMULA_TEXT];
    myFormula myXForm, myYForm, myZForm;
    float Range[9];                 // Xmin Xmax Xskip Ymin Ymax Yskip Zmin Zmax Zskip
    int Color[12];                  // four stops of red, green, blue
    int ColorPow;                   // gain: cell values are multiplied by it before colouring
    unsigned char style;            // STYLE_COUNTS or STYLE_HIGHEST_Z as the panel sets it
};

// The start-up figure, its three formulas compiled in the order X, Y, Z.
figure defaultFigure();

enum axis { AXIS_X = 0, AXIS_Y = 1, AXIS_Z = 2 };
const char *formulaText(const figure &f, int axis);
const myFormula &formulaRecord(const figure &f, int axis);
// The text (at most 99 characters of it) and its record, compiled at once.
void setFormula(figure &f, int axis, const char *text);
void compileFormulas(figure &f);    // the three records from their texts, X, Y, Z

// Everything a figure file holds is the same (the texts, the ranges bit for
// bit, the colours, the style and the gain); the records are not compared.
bool sameFigure(const figure &a, const figure &b);
// The cells of a are those of b: the same texts, ranges and style.
bool sameCells(const figure &a, const figure &b);

// ---- figure files: one line of 26 fields ----

// A figure file is one line of 26 fields; a field a program writes has at
// most 99 characters, so 26 of them and their separators take 2,600 bytes.
// A larger file is not a figure and is refused without being read.
const int FIGURE_FILE_LIMIT = 4096;

// Both give, on failure, the reason in plain words in *reason (when given),
// for a banner or a message line: "the disk is full", "not a regular file".
// writeFIG replaces the file whole or leaves it exactly as it was; true only
// if the whole record reached the disk.
bool writeFIG(const char *path, const figure &f, const char **reason = nullptr);
// Reads only a regular file of at most FIGURE_FILE_LIMIT bytes, without ever
// blocking; when refused, into is left as it was. A file may end early: the
// fields it lacks keep the values into had, so a Load in the window keeps
// the current values for them and the command line, which starts from
// defaultFigure(), the defaults. On success the formulas are recompiled.
bool readFIG(const char *path, figure &into, const char **reason = nullptr);
// The command line's way: the defaults, then every field the file holds.
bool readFigureOverDefaults(const char *path, figure &into, const char **reason = nullptr);

// The record as a figure file holds it, without its line end; at most
// FIGURE_FILE_LIMIT bytes. For files that keep many figures, one a line.
size_t figureRecord(const figure &f, char *text, size_t size);
// Reads a record from memory exactly as readFIG reads a file's bytes.
void scanFigureRecord(const char *bytes, size_t size, figure &into);
