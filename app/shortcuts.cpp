// The main loop's key shortcuts: one row per key and modifiers, with its action.
#include "app/app.h"
#include "ui/display.h"
#include "ui/input.h"

static void scaleUp() { changeScale(+1); }
static void scaleDown() { changeScale(-1); }

// key, Ctrl, Shift (both exactly as held), action. "+" is Shift+= on most
// layouts, so Ctrl++ arrives as Ctrl+Shift+=.
static const struct shortcutRow {
    Key key;
    bool ctrl, shift;
    void (*action)();
} shortcuts[] = {
    { Key::Equals,   true, false, scaleUp },      // Ctrl+=
    { Key::Equals,   true, true,  scaleUp },      // Ctrl++
    { Key::PlusPad,  true, false, scaleUp },      // Ctrl and the keypad's +
    { Key::Minus,    true, false, scaleDown },    // Ctrl+-
    { Key::MinusPad, true, false, scaleDown },    // Ctrl and the keypad's -
};

void runShortcut(const keyPress &press)
{
    for (const shortcutRow &row : shortcuts) {
        if (row.key == press.key && row.ctrl == press.ctrl && row.shift == press.shift) {
            row.action();
            return;
        }
    }
}
