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
    install_keyboard_hooks([] { return FALSE; }, [] { return 0; });   // no key is waiting
    fig = defaultFigure();
}

rgb pixelAt(BITMAP *bmp, int x, int y)
{
    return coloursOf(getpixel(bmp, x, y));
}

void clickAt(int x, int y, int button)
{
    mouse_x = x;
    mouse_y = y;
    mouse_b = button;
    mouse_callback(button == 1 ? MOUSE_FLAG_LEFT_DOWN : MOUSE_FLAG_RIGHT_DOWN);
    mouse_b = 0;
    mouse_callback(button == 1 ? MOUSE_FLAG_LEFT_UP : MOUSE_FLAG_RIGHT_UP);
}

// The named keys: character, scancode; the others are typed with KEY_A.
static const int namedKeys[][2] = {
    { '\r', KEY_ENTER }, { '\n', KEY_ENTER_PAD }, { 27, KEY_ESC }, { '\b', KEY_BACKSPACE },
    { '\t', KEY_TAB }, { 127, KEY_DEL }, { 1, KEY_A },
};

static std::string typed;
static bool keyWaiting, overrun;

static int nextTyped()
{
    unsigned char c = (unsigned char)typed[0];
    typed.erase(0, 1);
    keyWaiting = false;
    int scancode = KEY_A;
    for (auto &named : namedKeys)
        scancode = named[0] == c ? named[1] : scancode;
    return scancode << 8 | (c == '\n' ? '\r' : c);
}

static void letNextKeyArrive()
{
    key[KEY_ESC] = 0;
    keyWaiting = true;
    if (typed.empty())
        overrun = closeRequested = true;
}

void typeKeys(const std::string &keys)
{
    typed = keys;
    keyWaiting = overrun = false;
    install_keyboard_hooks([] { return keyWaiting && !typed.empty() ? TRUE : FALSE; }, nextTyped);
    idleHook = letNextKeyArrive;
}

size_t keysLeft() { return typed.size(); }
bool keysOverrun() { return overrun; }
