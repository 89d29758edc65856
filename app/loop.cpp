// Start-up, the main loop with its software pointer, and shutdown.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include "app/app.h"
#include "render/render.h"

// Click state: 0 released, 1 dispatch in this frame, 2 held since its dispatch.
// A held right button dispatches every frame (where rightRepeats) so actions repeat.
int nextClickState(int state, int mouseButtons, bool rightRepeats)
{
    if (state == 1)
        state = 2;
    if (mouseButtons == 0)
        state = 0;
    if ((mouseButtons & 1) && state == 0)
        state = 1;
    if (rightRepeats && (mouseButtons & 2))
        state = 1;
    return state;
}

// The pointer is drawn into buffer only for the copy to the screen, so
// everything else always sees buffer without it.
void showFrame(int mx, int my)
{
    blit(buffer, mseBlock, mx, my, 0, 32, 32, 32);
    masked_blit(mseBlock, buffer, 0, 0, mx, my, 32, 32);
    acquire_screen();
    blit(buffer, screen, 0, 0, 0, 0, SCREEN_W_PX, SCREEN_H_PX);
    release_screen();
    blit(mseBlock, buffer, 0, 32, mx, my, 32, 32);
}

// Waiting loops and frame loops rest between passes. 5 ms keeps the pointer
// smooth (about 200 frames a second at most) while an idle program costs a
// few percent of one core; with 1 ms the full-picture copy every frame took
// about 13% here.
void idle()
{
    rest(5);
}

void waitKeyRelease(int scancode)
{
    while (key[scancode])
        idle();
}

// Enter or Esc dismisses the banner; Esc is waited out so that the main loop
// does not take the same press as the command to quit.
void showBanner(const char *text)
{
    drawButton(screen, text, 0, 224, 640, 32, makecol(255, 128, 64), 1, -1);
    while (!key[KEY_ENTER] && !key[KEY_ESC])
        idle();
    waitKeyRelease(KEY_ESC);
}

void makePointerImage()
{
    clear_to_color(mseBlock, makecol(255, 0, 255));
    for (int i = 0; i < 32; i++) {
        int r = std::min(16 * i, 255);
        int g = 8 * i;
        int b = std::clamp(16 * i - 128, 0, 255);
        line(mseBlock, 31 - i, i, 0, 0, makecol(r, g, b));
    }
}

static int fail(const char *what)
{
    fprintf(stderr, "latticegraph: %s\n", what);
    return 1;
}

static int openDisplay()
{
    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0)
        return fail("cannot open a display. It needs a graphical desktop (X11 with DISPLAY set); "
                    "without one, run it under xvfb-run.");
    if (install_keyboard() != 0) {
        allegro_exit();
        return fail("cannot use the keyboard of the display.");
    }
    install_timer();
    set_color_depth(32);
    if (set_gfx_mode(GFX_AUTODETECT, 640, 480, 0, 0) != 0) {
        char line[400];
        snprintf(line, sizeof line, "the display refused the 640x480 32-bit graphics mode (%s). "
                 "Use a display that offers it, for example xvfb-run -s \"-screen 0 640x480x24\".",
                 allegro_error);
        allegro_exit();
        return fail(line);
    }
    install_mouse();
    return 0;
}

static int createSurfaces()
{
    buffer = create_bitmap(SCREEN_W_PX, SCREEN_H_PX);
    mseBlock = create_bitmap(32, 64);
    life = new (std::nothrow) int[CELL_COUNT];
    if (!buffer || !mseBlock || !life) {
        shutdown();
        allegro_exit();
        return fail("out of memory: cannot create the picture bitmaps or the cell buffer.");
    }
    clear(buffer);
    makePointerImage();
    return 0;
}

int startup()
{
    if (openDisplay() != 0 || createSurfaces() != 0)
        return 1;
    fillSignOf();
    setDefaultTexts();
    compileFormulas();
    setDefaultSettings();
    drawPanel();
    srand(time(nullptr));
    render();
    drawFIG();
    return 0;
}

void mainLoop()
{
    int clickState = 0;
    while (game) {
        poll_mouse();
        clickState = nextClickState(clickState, mouse_b, true);
        showFrame(mouse_x, mouse_y);
        if (clickState == 1)
            scanClicks();
        if (key[KEY_ESC])
            game = 0;
        idle();
    }
}

void shutdown()
{
    if (buffer)
        destroy_bitmap(buffer);
    if (mseBlock)
        destroy_bitmap(mseBlock);
    delete[] life;
    buffer = nullptr;
    mseBlock = nullptr;
    life = nullptr;
}

// Allegro without a display, for the tools and the tests: memory bitmaps
// stand in for the screen and the picture.
bool startHeadless()
{
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return false;
    set_color_depth(32);
    buffer = create_bitmap(SCREEN_W_PX, SCREEN_H_PX);
    mseBlock = create_bitmap(32, 64);
    screen = create_bitmap(SCREEN_W_PX, SCREEN_H_PX);
    life = new (std::nothrow) int[CELL_COUNT]();
    if (!buffer || !mseBlock || !screen || !life)
        return false;
    clear(buffer);
    makePointerImage();
    fillSignOf();
    setDefaultTexts();
    compileFormulas();
    setDefaultSettings();
    return true;
}
