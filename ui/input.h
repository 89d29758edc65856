// The screen layer's input: held keys, typed characters, the mouse with its
// click state, and the waiting loops. Tests feed every wait through idle().
#pragma once

enum class Key { Esc, Enter, Backspace, Del, Y, N, Q, W, F1, F2, F3 };

bool keyHeld(Key key);

// Typed characters, for the entry prompts.
void clearTypedKeys();              // characters typed so far are dropped
int readTypedKey();                 // waits for the next key; its character, 0 if it has none
void stopKeyRepeat();               // held keys no longer repeat, for the rest of the run

// Click state: 0 released, 1 dispatch in this frame, 2 held since its dispatch.
// A held right button dispatches every frame where rightRepeats.
enum { CLICK_NONE = 0, CLICK_NOW = 1, CLICK_HELD = 2 };
int nextClickState(int state, int mouseButtons, bool rightRepeats);

// One frame of a loop that shows the picture with the pointer: the mouse is
// polled, the click state updated, and buffer shown with the pointer where
// the mouse is. x, y is that pointer position, taken once per frame.
struct frameInput { int x, y; bool click; };
frameInput nextFrame(int *clickState, bool rightRepeats);

// Every waiting loop calls idle() between two looks at the input. It runs
// idleHook, which gives the processor back for a moment; a test points it
// at code that feeds the wait (a key released, a button pressed).
void idle();
extern void (*idleHook)();

void waitKeyRelease(Key key);
// A full-width banner on the screen until Enter or Esc is pressed; a key
// already held when it opens does not count. Esc is waited out.
void showBanner(const char *text);
