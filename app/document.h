// The shell's figure: the current value, its undo steps and its history
// file, and what the screen shows of it. Panel actions change the figure only
// through here, so every change is one step that Ctrl+Z can take back.
#pragma once
#include <string>
#include "figure/undo.h"

const figure &currentFigure();

// The figure at start (its formulas already compiled) and the history file,
// whose figures become the steps before it: the first undo after a start
// brings back the last figure of the run before.
void openDocument(const figure &start, const std::string &historyPath);
void closeDocument();               // writes what a gain run still holds

// next becomes the current figure. Unless it equals the current one, it is a
// step of its own (or the end of a gain run, see figureSteps) and is written
// to the history file. The panel's labels show it; the picture is the
// caller's to render or recolour.
void changeFigure(const figure &next, changeKind kind = changeKind::edit);

// Ctrl+Z and Ctrl+Y: the step before or after, shown at once: the labels,
// and the picture re-rendered when the cells were made from other formulas,
// ranges or style, else only recoloured.
void undoFigure();
void redoFigure();

// Ctrl+G: the gain that makes the last render's cells use the whole ramp
// (fittingGain), one step, recoloured at once; nothing when no cell is lit.
void fitGain();

// A run of gain steps ends once the gain has been left alone this long.
const double GAIN_RUN_GAP_S = 1.0;
void settleGainRun();               // for the main loop, every frame

// The render and the repaint of the current figure; the cells remember
// which figure they were rendered from.
void renderFigure();
void paintFigure();
