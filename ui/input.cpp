// Held keys, typed characters, the mouse and the waiting loops.
#include <allegro.h>
#include <allegro/platform/aintunix.h>   // the X11 port's input thread and its input pump
#include <atomic>
#include <cmath>
#include <ctime>
#include "ui/input.h"
#include "ui/screen.h"

static const int scancodeOf[] = {
    KEY_ESC, KEY_ENTER, KEY_BACKSPACE, KEY_DEL, KEY_Y, KEY_N, KEY_Q, KEY_W, KEY_F1, KEY_F2, KEY_F3, KEY_G, KEY_Z,
};
static_assert(sizeof scancodeOf / sizeof scancodeOf[0] == (size_t)Key::Other, "a scancode for every named key");

static double monotonicSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

double (*clockHook)() = monotonicSeconds;

// The press is dated when it is first seen. Every wait and the render look
// at Esc many times a second, and an activity looks once more as it opens
// and closes, so a press that began inside an activity is never dated later
// than ESC_GRACE_S after it closed.
static bool escDown;
static double escDownAt;
static int openActivities;
static double lastActivityClosed = -INFINITY;

static void noteEsc(bool held)
{
    if (held && !escDown)
        escDownAt = clockHook();
    escDown = held;
}

bool keyHeld(Key k)
{
    if (k == Key::Other)
        return false;
    bool held = key[scancodeOf[(int)k]] != 0;
    if (k == Key::Esc)
        noteEsc(held);
    return held;
}

modalActivity::modalActivity()
{
    keyHeld(Key::Esc);
    openActivities++;
}

modalActivity::~modalActivity()
{
    keyHeld(Key::Esc);
    openActivities--;
    lastActivityClosed = clockHook();
}

bool escQuits()
{
    return keyHeld(Key::Esc) && openActivities == 0 && escDownAt >= lastActivityClosed + ESC_GRACE_S;
}

std::atomic<bool> closeRequested;

void noteCloseRequest()
{
    closeRequested = true;
}

bool cancelRequested()
{
    return keyHeld(Key::Esc) || closeRequested;
}

void clearTypedKeys()
{
    clear_keybuf();
}

// The library's own wait would not notice the close button.
int readTypedKey()
{
    while (!keypressed()) {
        if (closeRequested)
            return 0;
        idle();
    }
    return ureadkey(nullptr);
}

static Key keyOfScancode(int scancode)
{
    for (int k = 0; k < (int)Key::Other; k++)
        if (scancodeOf[k] == scancode)
            return (Key)k;
    return Key::Other;
}

bool nextKeyPress(keyPress *press)
{
    if (!keypressed())
        return false;
    int scancode = 0;
    press->character = ureadkey(&scancode);
    press->key = keyOfScancode(scancode);
    press->ctrl = (key_shifts & KB_CTRL_FLAG) != 0;
    press->shift = (key_shifts & KB_SHIFT_FLAG) != 0;
    return true;
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
    // Outside the window the desktop's own pointer shows; the library keeps
    // the last position inside, where a second pointer would stay behind.
    bool inside = mouse_on_screen() != 0;
    showFrame(inside ? input.x : NO_POINTER, inside ? input.y : NO_POINTER);
    return input;
}

// The library's X11 port reads the display's input on a thread of its own
// that wakes every millisecond: that alone costs a window left alone about 2%
// of a core. Once takeOverInput has run, the thread is parked and idle()
// reads the input itself, 100 times a second; the thread runs again only
// while something waits outside idle() (backgroundInput) and at exit, where
// the library joins it.
static bool inputTakenOver;
static int backgroundHolders;

static void giveBackInput()
{
    if (inputTakenOver && backgroundHolders == 0)
        _unix_bg_man->enable_interrupts();
    inputTakenOver = false;
}

void takeOverInput()
{
    if (inputTakenOver || system_driver == nullptr || system_driver->id != SYSTEM_XWINDOWS)
        return;
    _unix_bg_man->disable_interrupts();
    inputTakenOver = true;
    atexit(giveBackInput);          // runs before the library's own exit, which was registered first
}

backgroundInput::backgroundInput()
{
    if (inputTakenOver && backgroundHolders++ == 0)
        _unix_bg_man->enable_interrupts();
}

backgroundInput::~backgroundInput()
{
    if (inputTakenOver && --backgroundHolders == 0)
        _unix_bg_man->disable_interrupts();
}

// 10 ms between two looks at the input is quicker than a person can tell,
// and what the library's thread gave before.
const int IDLE_MS = 10;

static void restAMoment()
{
    if (inputTakenOver && backgroundHolders == 0)
        _xwin_handle_input();
    rest(IDLE_MS);
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
    modalActivity banner;
    drawBox(display(), text, BANNER_BOX, rgbColour(255, 128, 64), 1);
    while ((keyHeld(Key::Enter) || keyHeld(Key::Esc)) && !closeRequested)
        idle();
    while (!keyHeld(Key::Enter) && !cancelRequested())
        idle();
    waitKeyRelease(Key::Esc);
}
