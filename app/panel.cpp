// The control panel: one row per box, each with its place, colour and, for
// a button, its id and the action a click runs.
#include <climits>
#include <cmath>
#include <cstdio>
#include "app/app.h"
#include "app/document.h"
#include "figure/figure.h"
#include "files/files.h"
#include "prompts/prompts.h"
#include "ui/input.h"
#include "ui/screen.h"
#include "ui/view.h"

// ---- actions ----
// Each works on a copy of the current figure and hands the result to
// changeFigure, which makes it an undo step when it differs.

int ColorCur;                       // the stop the Red, Green and Blue buttons edit; not part of the figure

static void renderAction(int)
{
    renderFigure();
}

// Recompiled even when cancelled, so a formula with R gets new random constants.
static void editFormula(int axis)
{
    figure next = currentFigure();
    char text[FORMULA_TEXT];
    snprintf(text, sizeof text, "%s", formulaText(next, axis));
    getFormula(text, drawFindingLine);
    setFormula(next, axis, text);
    changeFigure(next);
}

static void editRange(int index)
{
    figure next = currentFigure();
    next.Range[index] = getFloat(next.Range[index]);
    changeFigure(next);
}

// Colour channels are integers; a typed value beyond the int range (or NaN)
// must not reach an undefined conversion, so it saturates.
static int truncToInt(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0f)
        return INT_MAX;
    if (value <= -2147483648.0f)
        return INT_MIN;
    return (int)value;
}

static void editChannel(int channel)
{
    figure next = currentFigure();
    int &c = next.Color[ColorCur * 3 + channel];
    c = truncToInt(getFloat((float)c));
    changeFigure(next);
    paintFigure();
}

// No wrap-around: at the first or the last stop the click does nothing.
static void stepStop(int step)
{
    int stop = ColorCur + step;
    if (stop < 0 || stop > ColorCnt - 1)
        return;
    ColorCur = stop;
    drawValueLabel(VALUE_STOP);
}

static const char *const styleBanner[2] = {
    "Intersection Highlight (Crystal) Mode. Rerender to see changes. (Press Enter)",
    "Highest Z (3D) Mode. Rerender to see changes. (Press Enter)",
};

static void selectStyle(int newStyle)
{
    if (currentFigure().style == newStyle)
        return;
    figure next = currentFigure();
    next.style = (unsigned char)newStyle;
    changeFigure(next);
    showBanner(styleBanner[newStyle]);
}

static void stepPow(int step)
{
    figure next = currentFigure();
    if ((step > 0 && next.ColorPow == INT_MAX) || (step < 0 && next.ColorPow == INT_MIN))
        return;
    next.ColorPow += step;
    changeFigure(next, changeKind::gain);
    paintFigure();
}

// Fields the file lacks keep the current values.
static void loadFigure(int)
{
    figure next = currentFigure();
    if (loadFIG(next)) {
        changeFigure(next);
        renderFigure();
    }
    paintFigure();
}

// How long "Saved NAME" stays in the Loading Bar box.
const double SAVED_NOTE_S = 2.0;

static void noteSaved(const std::string &name)
{
    if (!name.empty())
        showNote("Saved " + name, PROGRESS_BOX, rgbColour(48, 192, 96), SAVED_NOTE_S);
}

static void saveFigure(int) { noteSaved(saveFIG(currentFigure())); }
static void takeScreenshot(int) { noteSaved(printscreen()); }
static void quit(int) { game = 0; }

// ---- the rows ----

struct panelRow {
    const char *label;              // a value label's text comes from the settings instead
    buttonRect box;
    int r, g, b;
    int border;
    int id;                         // button id, or -1 for headings and value labels
    void (*action)(int argument);   // run by a click on the button; none on headings
    int argument;
    valueLabel value;
};

// 40 rows, 28 of them clickable buttons (ids 0..27). Ids follow the rows but
// in the stop-count and Pow rows, where "+" has the lower id. The stop count
// stays at four, so its "-" and "+" have no action. Range buttons carry their
// index in Range: per axis minimum, maximum, skip.
// label, box, colour r g b, border, id, action, argument, value label
static const panelRow panelRows[] = {
    { "Render",      { 496,   0, 128, 32 },  64, 128, 255, 4,  0, renderAction,   0,  VALUE_NONE },
    { "Formulas",    { 496,  32, 128, 32 }, 128, 128, 128, 4, -1, nullptr,        0,  VALUE_NONE },
    { "X",           { 496,  64,  43, 16 },  64, 128, 255, 4,  1, editFormula,    0,  VALUE_NONE },
    { "Y",           { 539,  64,  43, 16 },  64, 128, 255, 4,  2, editFormula,    1,  VALUE_NONE },
    { "Z",           { 582,  64,  42, 16 },  64, 128, 255, 4,  3, editFormula,    2,  VALUE_NONE },
    { "Ranges",      { 496,  80, 128, 32 }, 128, 128, 128, 4, -1, nullptr,        0,  VALUE_NONE },
    { "X",           { 496, 112,  43, 16 }, 255, 128,  64, 3, -1, nullptr,        0,  VALUE_NONE },
    { "Y",           { 539, 112,  43, 16 }, 255, 128,  64, 3, -1, nullptr,        0,  VALUE_NONE },
    { "Z",           { 582, 112,  42, 16 }, 255, 128,  64, 3, -1, nullptr,        0,  VALUE_NONE },
    { "Min",         { 496, 128,  43, 16 },  64, 128, 255, 3,  4, editRange,      0,  VALUE_NONE },
    { "Min",         { 539, 128,  43, 16 },  64, 128, 255, 3,  5, editRange,      3,  VALUE_NONE },
    { "Min",         { 582, 128,  42, 16 },  64, 128, 255, 3,  6, editRange,      6,  VALUE_NONE },
    { "Max",         { 496, 144,  43, 16 },  48,  96, 192, 3,  7, editRange,      1,  VALUE_NONE },
    { "Max",         { 539, 144,  43, 16 },  48,  96, 192, 3,  8, editRange,      4,  VALUE_NONE },
    { "Max",         { 582, 144,  42, 16 },  48,  96, 192, 3,  9, editRange,      7,  VALUE_NONE },
    { "Skip",        { 496, 160,  43, 16 },  64, 128, 255, 3, 10, editRange,      2,  VALUE_NONE },
    { "Skip",        { 539, 160,  43, 16 },  64, 128, 255, 3, 11, editRange,      5,  VALUE_NONE },
    { "Skip",        { 582, 160,  42, 16 },  64, 128, 255, 3, 12, editRange,      8,  VALUE_NONE },
    { "Color",       { 496, 176, 128, 32 }, 128, 128, 128, 4, -1, nullptr,        0,  VALUE_NONE },
    { "Red",         { 496, 208,  43, 32 }, 128,   0,   0, 4, 13, editChannel,    0,  VALUE_NONE },
    { "Green",       { 539, 208,  43, 32 },   0, 128,   0, 4, 14, editChannel,    1,  VALUE_NONE },
    { "Blue",        { 582, 208,  42, 32 },   0,   0, 128, 4, 15, editChannel,    2,  VALUE_NONE },
    { "<",           { 496, 240,  32, 16 },  64, 128, 255, 4, 16, stepStop,      -1,  VALUE_NONE },
    { nullptr,       { 528, 240,  64, 16 }, 255, 128,  64, 4, -1, nullptr,        0,  VALUE_STOP },
    { ">",           { 592, 240,  32, 16 },  64, 128, 255, 4, 17, stepStop,      +1,  VALUE_NONE },
    { "-",           { 496, 256,  32, 16 }, 128, 128, 128, 4, 21, nullptr,        0,  VALUE_NONE },
    { "of 4",        { 528, 256,  64, 16 }, 192,  96,  48, 4, -1, nullptr,        0,  VALUE_NONE },
    { "+",           { 592, 256,  32, 16 }, 128, 128, 128, 4, 20, nullptr,        0,  VALUE_NONE },
    { "<",           { 496, 272,  32, 16 },  64, 128, 255, 4, 18, selectStyle,    0,  VALUE_NONE },
    { nullptr,       { 528, 272,  64, 16 }, 255, 128,  64, 4, -1, nullptr,        0,  VALUE_STYLE },
    { ">",           { 592, 272,  32, 16 },  64, 128, 255, 4, 19, selectStyle,    1,  VALUE_NONE },
    { "-",           { 496, 288,  32, 16 },  48,  96, 192, 4, 23, stepPow,       -1,  VALUE_NONE },
    { nullptr,       { 528, 288,  64, 16 }, 192,  96,  48, 4, -1, nullptr,        0,  VALUE_POW },
    { "+",           { 592, 288,  32, 16 },  48,  96, 192, 4, 22, stepPow,       +1,  VALUE_NONE },
    { "I/O",         { 496, 304, 128, 32 }, 128, 128, 128, 4, -1, nullptr,        0,  VALUE_NONE },
    { "Load",        { 496, 336,  64, 16 },  64, 128, 255, 4, 24, loadFigure,     0,  VALUE_NONE },
    { "Save",        { 560, 336,  64, 16 },  64, 128, 255, 4, 25, saveFigure,     0,  VALUE_NONE },
    { "ScreenShot",  { 496, 352, 128, 16 },  64, 128, 255, 4, 26, takeScreenshot, 0,  VALUE_NONE },
    { "Loading Bar", PROGRESS_BOX,          128, 128, 128, 4, -1, nullptr,        0,  VALUE_NONE },
    { "Exit",        { 496, 464, 128, 16 },  64, 128, 255, 4, 27, quit,           0,  VALUE_NONE },
};

static void labelText(const panelRow &row, char *text, int size)
{
    switch (row.value) {
    case VALUE_STOP:  snprintf(text, size, "Color %d", ColorCur + 1); break;
    case VALUE_STYLE: snprintf(text, size, "Style %d", currentFigure().style + 1); break;
    case VALUE_POW:   snprintf(text, size, "Pow %d", currentFigure().ColorPow); break;
    default:          snprintf(text, size, "%s", row.label); break;
    }
}

static void drawRow(const panelRow &row)
{
    char text[32];
    labelText(row, text, sizeof text);
    drawButton(buffer, text, row.box.x, row.box.y, row.box.w, row.box.h, rgbColour(row.r, row.g, row.b), row.border);
}

void drawPanel()
{
    for (const panelRow &row : panelRows)
        drawRow(row);
}

void drawValueLabel(valueLabel label)
{
    for (const panelRow &row : panelRows)
        if (row.value == label)
            drawRow(row);
}

int findButton(int px, int py)
{
    for (const panelRow &row : panelRows) {
        const buttonRect &b = row.box;
        if (row.id >= 0 && b.x <= px && px < b.x + b.w && b.y <= py && py < b.y + b.h)
            return row.id;
    }
    return -1;
}

void scanClicks(int px, int py)
{
    int id = findButton(px, py);
    if (id < 0)
        return;
    for (const panelRow &row : panelRows) {
        if (row.id == id && row.action) {
            row.action(row.argument);
            return;
        }
    }
}
