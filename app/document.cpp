// The current figure, its undo steps and its history file.
#include <memory>
#include "app/app.h"
#include "app/document.h"
#include "figure/history.h"
#include "render/colour.h"
#include "render/lattice.h"
#include "ui/input.h"
#include "ui/view.h"

static std::unique_ptr<figureSteps> steps;
static std::unique_ptr<figureHistory> history;
static figure cellsFigure;          // the figure whose cells life holds
static figure lastLogged;           // the figure of the history file's last record, as far as this run knows
static double lastGainChange;

const figure &currentFigure()
{
    return steps->current();
}

void openDocument(const figure &start, const std::string &historyPath)
{
    steps = std::make_unique<figureSteps>(start);
    history = std::make_unique<figureHistory>(historyPath);
    std::vector<figure> past = history->read();
    for (size_t i = past.size(); i-- > 0;)
        steps->addPast(past[i]);
    lastLogged = past.empty() ? figure{} : past.back();
}

static void logFigure(const figure &f, historyMark mark)
{
    history->append(f, mark);
    lastLogged = f;
}

static void logCurrent(historyMark mark)
{
    logFigure(steps->current(), mark);
}

// The last value of a gain run replaces its first in the history file.
static void endGainRun()
{
    if (!steps->inRun())
        return;
    steps->endRun();
    if (!sameFigure(steps->current(), lastLogged))
        logCurrent(historyMark::replaces);
}

void closeDocument()
{
    if (steps)
        endGainRun();
}

static void showLabels()
{
    drawValueLabel(VALUE_STYLE);
    drawValueLabel(VALUE_POW);
}

void changeFigure(const figure &next, changeKind kind)
{
    if (kind != changeKind::gain)
        endGainRun();
    const figure before = steps->current();
    figureSteps::outcome outcome = steps->change(next, kind);
    if (outcome == figureSteps::ADDED) {
        if (!sameFigure(before, lastLogged))    // the start figure, once something follows it
            logFigure(before, historyMark::reached);
        logCurrent(historyMark::reached);
    }
    if (kind == changeKind::gain)
        lastGainChange = clockHook();
    showLabels();
}

void settleGainRun()
{
    if (steps->inRun() && clockHook() - lastGainChange >= GAIN_RUN_GAP_S)
        endGainRun();
}

static void showStep()
{
    logCurrent(historyMark::reached);
    showLabels();
    if (sameCells(steps->current(), cellsFigure))
        paintFigure();
    else
        renderFigure();
}

void undoFigure()
{
    endGainRun();
    if (steps->undo())
        showStep();
}

void redoFigure()
{
    endGainRun();
    if (steps->redo())
        showStep();
}

void fitGain()
{
    int gain = fittingGain(life, (long long)AREA_PX * AREA_PX, cellsFigure.style);
    if (gain == NO_FITTING_GAIN)
        return;
    figure next = steps->current();
    next.ColorPow = gain;
    changeFigure(next);
    paintFigure();
}

void renderFigure()
{
    cellsFigure = steps->current();
    render(cellsFigure, PROGRESS_BOX);
    paintFigure();
}

void paintFigure()
{
    drawFIG(steps->current());
}
