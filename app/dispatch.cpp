// Click dispatch: the panel button under the pointer and its action.
#include <climits>
#include <cmath>
#include "app/app.h"
#include "files/files.h"
#include "prompts/prompts.h"
#include "render/render.h"

int findButton(int px, int py)
{
    for (int id = 0; id < BUTTON_COUNT; id++) {
        const buttonRect &b = aButton[id];
        if (b.x <= px && px < b.x + b.w && b.y <= py && py < b.y + b.h)
            return id;
    }
    return -1;
}

static void editFormula(char *text, myFormula *record)
{
    getFormula(text);
    *record = toFormula(text);      // recompiled even when cancelled: new random constants
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
    int &c = Color[ColorCur * 3 + channel];
    c = truncToInt(getFloat((float)c));
    drawFIG();
}

static void stepPow(int step)
{
    if ((step > 0 && ColorPow == INT_MAX) || (step < 0 && ColorPow == INT_MIN))
        return;
    ColorPow += step;
    drawPowLabel();
    drawFIG();
}

static void selectStop(int stop)
{
    ColorCur = stop;
    drawStopLabel();
}

static void selectStyle(unsigned char newStyle, const char *banner)
{
    style = newStyle;
    drawStyleLabel();
    showBanner(banner);
}

// Range buttons 4..12 run Min X, Min Y, Min Z, Max X, ... ; Range is per axis.
static int rangeIndexOf(int id)
{
    int row = (id - 4) / 3, axis = (id - 4) % 3;
    return axis * 3 + row;
}

void scanClicks()
{
    int id = findButton(mouse_x, mouse_y);
    switch (id) {
    case 0: render(); drawFIG(); break;
    case 1: editFormula(aXForm, &myXForm); break;
    case 2: editFormula(aYForm, &myYForm); break;
    case 3: editFormula(aZForm, &myZForm); break;
    case 4: case 5: case 6: case 7: case 8: case 9: case 10: case 11: case 12: {
        float &r = Range[rangeIndexOf(id)];
        r = getFloat(r);
        break;
    }
    case 13: case 14: case 15: editChannel(id - 13); break;
    case 16: if (ColorCur > 0) selectStop(ColorCur - 1); break;
    case 17: if (ColorCur < ColorCnt - 1) selectStop(ColorCur + 1); break;
    case 18:
        if (style != 0)
            selectStyle(0, "Intersection Highlight (Crystal) Mode. Rerender to see changes. (Press Enter)");
        break;
    case 19:
        if (style != 1)
            selectStyle(1, "Highest Z (3D) Mode. Rerender to see changes. (Press Enter)");
        break;
    case 20: case 21: break;        // the stop count stays at four
    case 22: stepPow(+1); break;
    case 23: stepPow(-1); break;
    case 24: loadFIG(); break;
    case 25: saveFIG(); break;
    case 26: printscreen(); break;
    case 27: game = 0; break;
    default: break;
    }
}
