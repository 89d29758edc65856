// The screen layer's input: held keys, typed characters, the mouse with its
// click state, and the waiting loops. Tests feed every wait through idle().
#pragma once
#include <atomic>

enum class Key { Esc, Enter, Backspace, Del, Y, N, Q, W, F1, F2, F3, G, Z, Other };

// Every look at Esc also notes when the current press began, for escQuits.
bool keyHeld(Key key);

// Esc cancels whatever modal activity is open (a render, a prompt, a
// browser, a banner) and quits only from the idle main loop. An activity
// holds a modalActivity for as long as it is open. A press that began while
// one was open, or less than ESC_GRACE_S after the last one closed, belongs
// to that activity: escQuits stays false until Esc is released and pressed
// again, so a render that ends just as Esc goes down never ends the program.
const double ESC_GRACE_S = 0.5;
struct modalActivity {
    modalActivity();
    ~modalActivity();
    modalActivity(const modalActivity &) = delete;
    modalActivity &operator=(const modalActivity &) = delete;
};
bool escQuits();                    // for the main loop: Esc is held by a press of its own
extern double (*clockHook)();       // seconds on a monotonic clock; tests point it at their own time

// The window manager's close button: the library calls noteCloseRequest
// (from its input handling, on whichever thread reads the input) and the
// main loop ends once closeRequested is set, as Exit ends it.
extern std::atomic<bool> closeRequested;
void noteCloseRequest();
// An open activity ends as Esc ends it: Esc is held, or the window is closing.
bool cancelRequested();

// Typed characters, for the entry prompts.
void clearTypedKeys();              // characters typed so far are dropped
int readTypedKey();                 // waits for the next key; its character, 0 if it has none
void stopKeyRepeat();               // held keys no longer repeat, for the rest of the run

// A key typed, for the main loop's shortcuts: which key (Other for one not
// named above), its character (0 if it has none) and the modifiers held.
struct keyPress {
    Key key;
    int character;
    bool ctrl, shift;
};
bool nextKeyPress(keyPress *press);  // false at once when no key is waiting

// Click state: 0 released, 1 dispatch in this frame, 2 held since its dispatch.
// A held right button dispatches every frame where rightRepeats.
enum { CLICK_NONE = 0, CLICK_NOW = 1, CLICK_HELD = 2 };
int nextClickState(int state, int mouseButtons, bool rightRepeats);

// One frame of a loop that shows the picture with the pointer: the mouse is
// polled, the click state updated, and buffer shown with the pointer where
// the mouse is. x, y is that pointer position, taken once per frame.
struct frameInput { int x, y; bool click; };
frameInput nextFrame(int *clickState, bool rightRepeats);

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
// A full-width banner on the screen until Enter or Esc is pressed; a key
// already held when it opens does not count. Esc is waited out.
void showBanner(const char *text);
