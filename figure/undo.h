// Undo and redo over figure values: the steps the user has reached, in order,
// with the current one among them. Knows no screen and no files.
#pragma once
#include <deque>
#include "figure/figure.h"

const size_t UNDO_STEPS = 10000;    // the oldest steps go beyond this

// Where a change came from. Gain changes in a row (a run of Pow clicks, or a
// held right button on Pow) make one step together.
enum class changeKind { edit, gain };

class figureSteps {
public:
    explicit figureSteps(const figure &start);

    const figure &current() const { return steps[at]; }

    // A value equal to the current one (sameFigure) makes no step. Else it
    // becomes the current step, dropping the steps that redo would have
    // reached. A gain change right after a gain change replaces the current
    // step instead, unless endRun(), an undo or a redo came between.
    enum outcome { UNCHANGED, ADDED, REPLACED };
    outcome change(const figure &next, changeKind kind = changeKind::edit);
    void endRun() { runOpen = false; }
    bool inRun() const { return runOpen; }

    // Move to the step before or after the current one; false at either end.
    bool undo();
    bool redo();

    // Steps before the current one, for seeding from an earlier run: value
    // becomes the oldest step unless equal to the oldest one there.
    void addPast(const figure &value);
    size_t count() const { return steps.size(); }

private:
    std::deque<figure> steps;
    size_t at = 0;
    bool runOpen = false;
};
