// Key and mouse presses, held keys and the waiting loops.
#include <allegro.h>
#include <allegro/platform/aintunix.h>   // the X11 port's input thread and its input pump
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <ctime>
#include "ui/input.h"
#include "ui/screen.h"

// The named keys: key, scancode. Where a key has two, both count as it.
static constexpr struct { Key key; int scancode; } keyRows[] = {
    { Key::Esc, KEY_ESC },          { Key::Enter, KEY_ENTER },       { Key::Enter, KEY_ENTER_PAD },
    { Key::Backspace, KEY_BACKSPACE }, { Key::Del, KEY_DEL },        { Key::Y, KEY_Y },
    { Key::N, KEY_N },              { Key::Q, KEY_Q },               { Key::W, KEY_W },
    { Key::G, KEY_G },              { Key::Z, KEY_Z },               { Key::F1, KEY_F1 },
    { Key::F2, KEY_F2 },            { Key::F3, KEY_F3 },             { Key::Equals, KEY_EQUALS },
    { Key::Minus, KEY_MINUS },      { Key::PlusPad, KEY_PLUS_PAD },  { Key::MinusPad, KEY_MINUS_PAD },
};

// The scancodes of each named key (0: none), from keyRows: a render looks at
// held keys between every few points, so a look is one or two reads.
static constexpr int KEY_SCANCODES = 2;
static constexpr size_t NAMED_KEYS = [] {
    size_t keys = 0;
    for (const auto &row : keyRows)
        keys = std::max(keys, (size_t)row.key + 1);
    return keys;
}();
static constexpr auto scancodesOf = [] {
    std::array<std::array<int, KEY_SCANCODES>, NAMED_KEYS> codes{};
    for (const auto &row : keyRows)
        (codes[(size_t)row.key][0] ? codes[(size_t)row.key][1] : codes[(size_t)row.key][0]) = row.scancode;
    return codes;
}();

static Key keyNamed(int scancode)
{
    for (const auto &row : keyRows)
        if (row.scancode == scancode)
            return row.key;
    return Key::Other;
}

static double monotonicSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

double (*clockHook)() = monotonicSeconds;

// ---- Esc ----

// A press is dated when it is first seen: by the keyboard hook as it goes
// down, or by a look at the held key. Every wait and the render look at Esc
// many times a second, and an activity looks once more as it opens and
// closes, so a press that began inside an activity is never dated later
// than ESC_GRACE_S after it closed. The hooks may run on the library's
// input thread, hence the atomics.
static std::atomic<bool> escDown;
static std::atomic<double> escDownAt;
static std::atomic<unsigned> escPresses;    // presses so far, repeats not counted
static unsigned escPressesSeen;             // the count as the innermost activity opened or closed
static int openActivities;
static double lastActivityClosed = -INFINITY;

static void noteEsc(bool held)
{
    if (held && !escDown.exchange(true))
        escDownAt = clockHook();
    if (!held && escDown.load(std::memory_order_relaxed))
        escDown = false;            // a store only when it changes: a render looks very often
}

bool keyHeld(Key k)
{
    bool held = false;
    if ((size_t)k < NAMED_KEYS)
        for (int scancode : scancodesOf[(size_t)k])
            held = held || (scancode != 0 && key[scancode] != 0);
    if (k == Key::Esc)
        noteEsc(held);
    return held;
}

// ---- presses from the library's hooks ----

// Shift and Ctrl as each key last went down: a press is read from the
// buffer later, when the modifiers may be up again.
static std::atomic<int> shiftsAtPress[KEY_MAX];

static void noteKeyEvent(int scancode)
{
    int code = scancode & 0x7F;
    bool down = (scancode & 0x80) == 0;
    if (code >= KEY_MAX)
        return;
    if (down)
        shiftsAtPress[code] = key_shifts;
    if (code == KEY_ESC) {
        if (down && !escDown)
            escPresses++;
        noteEsc(down);
    }
}

// Mouse presses wait in a ring for the frames that take them, in picture
// pixels. One thread writes (whichever reads the input), the main loop reads.
struct mousePress { int x, y, button; };
const int PRESS_RING = 64;          // more presses than a person makes between two frames
static mousePress pressRing[PRESS_RING];
static std::atomic<unsigned> pressesIn, pressesOut;

static void noteMouseEvent(int flags)
{
    int button = (flags & MOUSE_FLAG_LEFT_DOWN) ? 1 : (flags & MOUSE_FLAG_RIGHT_DOWN) ? 2 : 0;
    unsigned in = pressesIn;
    if (button == 0 || in - pressesOut >= PRESS_RING)
        return;
    pressRing[in % PRESS_RING] = mousePress{ mouse_x / screenScale(), mouse_y / screenScale(), button };
    pressesIn = in + 1;
}

void listenToInput()
{
    keyboard_lowlevel_callback = noteKeyEvent;
    mouse_callback = noteMouseEvent;
}

static bool takePress(mousePress *press, bool rightToo)
{
    while (pressesOut != pressesIn) {
        *press = pressRing[pressesOut % PRESS_RING];
        pressesOut++;
        if (press->button == 1 || rightToo)
            return true;
    }
    return false;
}

// ---- activities ----

static void dropPresses()
{
    clear_keybuf();
    pressesOut = pressesIn.load();
    escPressesSeen = escPresses;
}

modalActivity::modalActivity()
{
    keyHeld(Key::Esc);
    openActivities++;
    dropPresses();
}

modalActivity::~modalActivity()
{
    keyHeld(Key::Esc);
    openActivities--;
    lastActivityClosed = clockHook();
    dropPresses();
}

bool escQuits()
{
    bool pressed = keyHeld(Key::Esc) || escPresses != escPressesSeen;
    return pressed && openActivities == 0 && escDownAt >= lastActivityClosed + ESC_GRACE_S;
}

std::atomic<bool> closeRequested;

void noteCloseRequest()
{
    closeRequested = true;
}

bool cancelRequested()
{
    return keyHeld(Key::Esc) || escPresses != escPressesSeen || closeRequested;
}

// ---- key presses ----

void clearTypedKeys()
{
    clear_keybuf();
}

bool nextKeyPress(keyPress *press)
{
    if (!keypressed())
        return false;
    int scancode = 0;
    int character = ureadkey(&scancode);
    int shifts = scancode > 0 && scancode < KEY_MAX ? shiftsAtPress[scancode].load() : 0;
    *press = keyPress{ keyNamed(scancode), character, (shifts & KB_CTRL_FLAG) != 0, (shifts & KB_SHIFT_FLAG) != 0 };
    return true;
}

// The library's own wait would not notice the close button.
bool waitKeyPress(keyPress *press)
{
    while (!closeRequested) {
        if (nextKeyPress(press))
            return true;
        idle();
    }
    return false;
}

void stopKeyRepeat()
{
    set_keyboard_rate(0, 0);
}

// ---- frames ----

frameInput nextFrame(bool rightRepeats)
{
    int mx = mouse_x / screenScale(), my = mouse_y / screenScale();
    mousePress press;
    frameInput input{ mx, my, false };
    if (takePress(&press, rightRepeats))
        input = frameInput{ press.x, press.y, true };
    else if (rightRepeats && (mouse_b & 2))
        input.click = true;
    // Outside the window the desktop's own pointer shows; the library keeps
    // the last position inside, where a second pointer would stay behind.
    bool inside = mouse_on_screen() != 0;
    showFrame(inside ? mx : NO_POINTER, inside ? my : NO_POINTER);
    return input;
}

// ---- who reads the input ----

// The library's X11 port reads the display's input on a thread of its own
// that wakes every millisecond: that alone costs a window left alone about
// 3% of a core, more than the whole program may take when idle, and the
// library's interface has no way to slow or stop it. So once takeOverInput
// has run, the thread is parked and idle() reads the input itself, 100
// times a second; the thread runs again only while something waits outside
// idle() (backgroundInput) and at exit, where the library joins it.
// This is the one place that uses the library's internals (aintunix.h);
// CMakeLists.txt checks that the library still has them.
enum class libraryInput { park, run, readNow };

static void libraryInputThread(libraryInput step)
{
    switch (step) {
    case libraryInput::park:    _unix_bg_man->disable_interrupts(); break;
    case libraryInput::run:     _unix_bg_man->enable_interrupts(); break;
    case libraryInput::readNow: _xwin_handle_input(); break;
    }
}

static bool inputTakenOver;
static int backgroundHolders;

static void giveBackInput()
{
    if (inputTakenOver && backgroundHolders == 0)
        libraryInputThread(libraryInput::run);
    inputTakenOver = false;
}

void takeOverInput()
{
    if (inputTakenOver || system_driver == nullptr || system_driver->id != SYSTEM_XWINDOWS)
        return;
    libraryInputThread(libraryInput::park);
    inputTakenOver = true;
    atexit(giveBackInput);          // runs before the library's own exit, which was registered first
}

backgroundInput::backgroundInput()
{
    if (inputTakenOver && backgroundHolders++ == 0)
        libraryInputThread(libraryInput::run);
}

backgroundInput::~backgroundInput()
{
    if (inputTakenOver && --backgroundHolders == 0)
        libraryInputThread(libraryInput::park);
}

// 10 ms between two looks at the input is quicker than a person can tell,
// and what the library's thread gave before.
const int IDLE_MS = 10;

static void restAMoment()
{
    if (inputTakenOver && backgroundHolders == 0)
        libraryInputThread(libraryInput::readNow);
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

// The Enter that confirmed a typed name (or the Esc of a prompt) was read
// by that prompt; only a press made after the banner opened answers it.
void showBanner(const char *text)
{
    modalActivity banner;
    drawBox(display(), text, BANNER_BOX, rgbColour(255, 128, 64), 1);
    keyPress press;
    while (waitKeyPress(&press) && press.key != Key::Enter && press.key != Key::Esc)
        continue;
    waitKeyRelease(Key::Esc);
}
