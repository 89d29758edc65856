// Start-up, the main loop with its software pointer, and shutdown.
#include <cstdlib>
#include <ctime>
#include "app/app.h"
#include "app/datafolder.h"
#include "app/document.h"
#include "ui/display.h"
#include "ui/input.h"
#include "ui/view.h"

unsigned char game = 1;

// The default formulas are compiled before the random generator is seeded;
// every formula compiled later draws its R constants from the seeded one,
// and so does a figure given at start, as a loaded one does.
bool startup(const figure *loaded, const char *loadedPath)
{
    if (!openDisplay())
        return false;
    if (loadedPath)
        showFigureName(loadedPath);
    enterDataFolder();
    figure start = loaded ? *loaded : defaultFigure();
    srand(time(nullptr));
    if (loaded)
        compileFormulas(start);
    openDocument(start, HISTORY_FILE);
    drawPanel();
    renderFigure();
    return true;
}

// key, Ctrl, Shift, action
static const struct {
    Key key;
    bool ctrl, shift;
    void (*action)();
} shortcuts[] = {
    { Key::Z, true, false, undoFigure },
    { Key::Y, true, false, redoFigure },
    { Key::Z, true, true,  redoFigure },
    { Key::G, true, false, fitGain },
};

void dispatchKey(const keyPress &press)
{
    for (const auto &s : shortcuts)
        if (s.key == press.key && s.ctrl == press.ctrl && s.shift == press.shift) {
            s.action();
            return;
        }
}

void mainLoop()
{
    int clickState = CLICK_NONE;
    while (game) {
        frameInput input = nextFrame(&clickState, true);
        if (input.click)
            scanClicks(input.x, input.y);
        keyPress press;
        while (game && nextKeyPress(&press))
            dispatchKey(press);
        settleGainRun();
        if (escQuits() || closeRequested)
            game = 0;
        idle();
    }
}

void shutdown()
{
    closeDocument();
    closeDisplay();
}
