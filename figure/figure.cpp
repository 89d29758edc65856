// The figure value and its start-up values.
#include <cstdio>
#include <cstring>
#include "figure/figure.h"

static char *textOf(figure &f, int axis)
{
    return axis == AXIS_X ? f.aXForm : axis == AXIS_Y ? f.aYForm : f.aZForm;
}

const char *formulaText(const figure &f, int axis)
{
    return textOf(const_cast<figure &>(f), axis);
}

static myFormula &recordOf(figure &f, int axis)
{
    return axis == AXIS_X ? f.myXForm : axis == AXIS_Y ? f.myYForm : f.myZForm;
}

const myFormula &formulaRecord(const figure &f, int axis)
{
    return recordOf(const_cast<figure &>(f), axis);
}

void setFormula(figure &f, int axis, const char *text)
{
    char *own = textOf(f, axis);
    if (own != text)
        snprintf(own, FORMULA_TEXT, "%s", text);
    recordOf(f, axis) = toFormula(own);
}

void compileFormulas(figure &f)
{
    for (int axis = AXIS_X; axis <= AXIS_Z; axis++)
        setFormula(f, axis, textOf(f, axis));
}

figure defaultFigure()
{
    static const float defaultRange[9] = {
        -62.8318f, 62.8318f, 0.5f,
        -62.8318f, 62.8318f, 0.5f,
        0.0f, 0.0f, 1.0f };
    static const int defaultColor[12] = {
        0, 0, 0,   0, 0, 255,   0, 255, 255,   255, 255, 255 };

    figure f;
    memset(&f, 0, sizeof f);
    strcpy(f.aXForm, "CX*S(X/Y)");
    strcpy(f.aYForm, "SX*S(Y/X)");
    strcpy(f.aZForm, "Z");
    compileFormulas(f);
    memcpy(f.Range, defaultRange, sizeof f.Range);
    memcpy(f.Color, defaultColor, sizeof f.Color);
    f.ColorPow = 100;
    f.style = STYLE_COUNTS;
    return f;
}

bool sameCells(const figure &a, const figure &b)
{
    return strcmp(a.aXForm, b.aXForm) == 0 && strcmp(a.aYForm, b.aYForm) == 0
           && strcmp(a.aZForm, b.aZForm) == 0 && memcmp(a.Range, b.Range, sizeof a.Range) == 0
           && a.style == b.style;
}

bool sameFigure(const figure &a, const figure &b)
{
    return sameCells(a, b) && memcmp(a.Color, b.Color, sizeof a.Color) == 0 && a.ColorPow == b.ColorPow;
}
