#include "tests/unit/headless.h"
#include <cerrno>
#include <cstdlib>

void headlessSetup()
{
    if (!buffer) {
        install_allegro(SYSTEM_NONE, &errno, atexit);
        set_color_depth(32);
        buffer = create_bitmap(640, 480);
        screen = create_bitmap(640, 480);
        life = new int[CELL_COUNT]();
        fillSignOf();
        clear(buffer);
    }
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
