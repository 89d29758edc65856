// Held keys, typed characters, the mouse and the waiting loops.
#include <allegro.h>
#include "ui/input.h"
#include "ui/screen.h"

static const int scancodeOf[] = {
    KEY_ESC, KEY_ENTER, KEY_BACKSPACE, KEY_DEL, KEY_Y, KEY_N, KEY_Q, KEY_W, KEY_F1, KEY_F2, KEY_F3,
};

bool keyHeld(Key k)
{
    return key[scancodeOf[(int)k]] != 0;
}

void clearTypedKeys()
{
    clear_keybuf();
}

int readTypedKey()
{
    return ureadkey(nullptr);
}

void stopKeyRepeat()
{
    set_keyboard_rate(0, 0);
}

int nextClickState(int state, int mouseButtons, bool rightRepeats)
{
    if (state == CLICK_NOW)
        state = CLICK_HELD;
    if (mouseButtons == 0)
        state = CLICK_NONE;
    if ((mouseButtons & 1) && state == CLICK_NONE)
        state = CLICK_NOW;
    if (rightRepeats && (mouseButtons & 2))
        state = CLICK_NOW;
    return state;
}

frameInput nextFrame(int *clickState, bool rightRepeats)
{
    poll_mouse();
    *clickState = nextClickState(*clickState, mouse_b, rightRepeats);
    frameInput input{ mouse_x, mouse_y, *clickState == CLICK_NOW };
    showFrame(input.x, input.y);
    return input;
}

// 5 ms keeps the pointer smooth (about 200 frames a second at most) while
// an idle program costs a few percent of one core; with 1 ms the
// full-picture copy every frame took about 13% here.
static void restAMoment()
{
    rest(5);
}

void (*idleHook)() = restAMoment;

void idle()
{
    idleHook();
}

void waitKeyRelease(Key k)
{
    while (keyHeld(k))
        idle();
}

// The Enter that confirmed a typed name (or the Esc of a prompt) may still be
// held when a banner opens; only a press made after it answers the banner.
void showBanner(const char *text)
{
    drawBox(display(), text, BANNER_BOX, rgbColour(255, 128, 64), 1);
    while (keyHeld(Key::Enter) || keyHeld(Key::Esc))
        idle();
    while (!keyHeld(Key::Enter) && !keyHeld(Key::Esc))
        idle();
    waitKeyRelease(Key::Esc);
}
