// The figure settings and their start-up values.
#include <cstring>
#include "figure/figure.h"

char aXForm[FORMULA_TEXT], aYForm[FORMULA_TEXT], aZForm[FORMULA_TEXT];
myFormula myXForm, myYForm, myZForm;
float Range[9];
int Color[12];
int ColorCnt;
int ColorPow;
int ColorCur;
unsigned char style;

void setDefaultTexts()
{
    strcpy(aXForm, "CX*S(X/Y)");
    strcpy(aYForm, "SX*S(Y/X)");
    strcpy(aZForm, "Z");
}

void compileFormulas()
{
    myXForm = toFormula(aXForm);
    myYForm = toFormula(aYForm);
    myZForm = toFormula(aZForm);
}

void setDefaultSettings()
{
    static const float defaultRange[9] = {
        -62.8318f, 62.8318f, 0.5f,
        -62.8318f, 62.8318f, 0.5f,
        0.0f, 0.0f, 1.0f };
    static const int defaultColor[12] = {
        0, 0, 0,   0, 0, 255,   0, 255, 255,   255, 255, 255 };

    memcpy(Range, defaultRange, sizeof Range);
    memcpy(Color, defaultColor, sizeof Color);
    ColorCnt = 4;
    ColorPow = 100;
    ColorCur = 0;
    style = STYLE_COUNTS;
}
