// Undo and redo over figure values.
#include "figure/undo.h"

figureSteps::figureSteps(const figure &start) : steps{ start } {}

figureSteps::outcome figureSteps::change(const figure &next, changeKind kind)
{
    if (sameFigure(next, steps[at])) {
        steps[at] = next;           // the same figure, perhaps with new random constants
        return UNCHANGED;
    }
    steps.resize(at + 1);
    if (kind == changeKind::gain && runOpen) {
        steps[at] = next;
        return REPLACED;
    }
    runOpen = kind == changeKind::gain;
    steps.push_back(next);
    if (steps.size() > UNDO_STEPS)
        steps.pop_front();
    at = steps.size() - 1;
    return ADDED;
}

bool figureSteps::undo()
{
    runOpen = false;
    if (at == 0)
        return false;
    at--;
    return true;
}

bool figureSteps::redo()
{
    runOpen = false;
    if (at + 1 >= steps.size())
        return false;
    at++;
    return true;
}

void figureSteps::addPast(const figure &value)
{
    if (sameFigure(value, steps.front()) || steps.size() >= UNDO_STEPS)
        return;
    steps.push_front(value);
    at++;
}
