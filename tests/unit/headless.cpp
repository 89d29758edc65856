#include <cstdlib>
#include "tests/unit/headless.h"
#include "ui/display.h"

figure fig;

static void releaseEsc()
{
    key[KEY_ESC] = 0;
}

void headlessSetup()
{
    if (!buffer && !openHeadless())
        abort();
    for (int k = 0; k < KEY_MAX; k++)
        key[k] = 0;
    mouse_b = 0;
    closeRequested = false;
    mouse_x = 0;
    mouse_y = 0;
    idleHook = releaseEsc;
    fig = defaultFigure();
}

rgb pixelAt(BITMAP *bmp, int x, int y)
{
    return coloursOf(getpixel(bmp, x, y));
}
