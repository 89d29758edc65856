#include "tests/unit/headless.h"

void headlessSetup()
{
    if (!buffer && !startHeadless())
        abort();
    for (int k = 0; k < KEY_MAX; k++)
        key[k] = 0;
    mouse_b = 0; mouse_x = 0; mouse_y = 0;
    setDefaultTexts();
    compileFormulas();
    setDefaultSettings();
}

rgb pixelAt(BITMAP *bmp, int x, int y)
{
    int c = getpixel(bmp, x, y);
    return rgb{ getr32(c), getg32(c), getb32(c) };
}
