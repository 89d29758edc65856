// Evaluation ahead of the render pass, for the compiled path only (evaluate
// reads the global Time, a program takes its point as an argument).
#pragma once
#include "formula/formula.h"

// Starts a second thread on the lattice of Range; the three programs must
// stay unchanged until evaluationAheadStop.
void evaluationAheadStart(const formulaProgram *x, const formulaProgram *y, const formulaProgram *z);

// The X, Y and Z formula values at the point in Time, which must be the next
// point of the sweep (after a cancel that the sweep did not follow, the pass
// may stray from that order: the values are then computed here).
void evaluationAheadValues(float values[3]);

// Stops and joins the thread; values computed for points never reached are dropped.
void evaluationAheadStop();
