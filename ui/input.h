// The screen layer's input: key presses and mouse presses as events, held
// keys, and the waiting loops. Tests feed every wait through idle() and
// make events through the library's own hooks (mouse_callback,
// keyboard_lowlevel_callback, the keyboard hooks), as its drivers do.
#pragma once
#include <atomic>

// The keys the program names. A key press of any other key is Key::Other;
// both Enter keys are Key::Enter.
enum class Key { Other, Esc, Enter, Backspace, Del, Y, N, Q, W, G, Z, F1, F2, F3, Equals, Minus, PlusPad, MinusPad };

// Is the key down now? For the holds: F1-F3 and Esc during a render, Q and
// W after a screenshot. Every look at Esc also notes when its press began.
bool keyHeld(Key key);

// Key presses in the order they were made, each once, however short: the
// named key, its character (0 if it has none) and whether Ctrl and Shift
// were down as it went down. A held key repeats as presses while repeat is on.
struct keyPress {
    Key key;
    int character;
    bool ctrl, shift;
};
bool nextKeyPress(keyPress *press);     // the next press if one is waiting; never waits
bool waitKeyPress(keyPress *press);     // waits for one; false once the window is closing
void clearTypedKeys();                  // presses made so far are dropped
void stopKeyRepeat();                   // held keys no longer repeat, for the rest of the run

// Esc cancels whatever modal activity is open (a render, a prompt, a
// browser, a banner) and quits only from the idle main loop. An activity
// holds a modalActivity for as long as it is open; key and mouse presses
// made before it opened, or while it was open and not read by it, are
// dropped as it opens and closes. A press that began while one was open, or
// less than ESC_GRACE_S after the last one closed, belongs to that activity:
// escQuits stays false until Esc is pressed again, so a render that ends
// just as Esc goes down never ends the program.
const double ESC_GRACE_S = 0.5;
struct modalActivity {
    modalActivity();
    ~modalActivity();
    modalActivity(const modalActivity &) = delete;
    modalActivity &operator=(const modalActivity &) = delete;
};
bool escQuits();                    // for the main loop: a press of its own, held or already let go
extern double (*clockHook)();       // seconds on a monotonic clock; tests point it at their own time

// The window manager's close button: the library calls noteCloseRequest
// (from its input handling, on whichever thread reads the input) and the
// main loop ends once closeRequested is set, as Exit ends it.
extern std::atomic<bool> closeRequested;
void noteCloseRequest();
// An open activity ends as Esc ends it: Esc was pressed since the innermost
// activity opened or is held, or the window is closing.
bool cancelRequested();

// The library's hooks start reporting presses here (openDisplay and
// openHeadless call it).
void listenToInput();

// One frame of a loop that shows the picture with the pointer. x, y is in
// picture pixels: where the press was made when click is set, else where
// the pointer is. Every left press makes one click, in the order made, one
// per frame; right presses too where rightRepeats, and a held right button
// then clicks every frame. The picture is shown with the pointer.
struct frameInput { int x, y; bool click; };
frameInput nextFrame(bool rightRepeats);

// On an X11 display idle() reads the input itself (see input.cpp); from
// takeOverInput on, code that waits or works for long without calling idle()
// holds a backgroundInput, or key[] and the mouse stand still meanwhile.
void takeOverInput();
struct backgroundInput {
    backgroundInput();
    ~backgroundInput();
    backgroundInput(const backgroundInput &) = delete;
    backgroundInput &operator=(const backgroundInput &) = delete;
};

// Every waiting loop calls idle() between two looks at the input. It runs
// idleHook, which gives the processor back for a moment; a test points it
// at code that feeds the wait (a key released, a button pressed).
void idle();
extern void (*idleHook)();

void waitKeyRelease(Key key);
// A full-width banner on the screen until Enter or Esc is pressed; a press
// made before it opened does not count. Esc is waited out.
void showBanner(const char *text);
