// Start-up, the main loop with its software pointer, and shutdown.
#include <cstdlib>
#include <ctime>
#include "app/app.h"
#include "app/datafolder.h"
#include "figure/figure.h"
#include "ui/display.h"
#include "ui/input.h"
#include "ui/view.h"

unsigned char game = 1;

// The default formulas are compiled before the random generator is seeded;
// every formula compiled later draws its R constants from the seeded one,
// and so does a figure given at start, as a loaded one does.
bool startup(const char *figureLoaded, int scale)
{
    if (!openDisplay(scale))
        return false;
    enterDataFolder();
    if (figureLoaded) {
        showFigureName(figureLoaded);
    } else {
        setDefaultTexts();
        compileFormulas();
        setDefaultSettings();
    }
    drawPanel();
    srand(time(nullptr));
    if (figureLoaded)
        compileFormulas();
    render();
    drawFIG();
    return true;
}

void mainLoop()
{
    while (game) {
        frameInput input = nextFrame(true);
        if (input.click)
            scanClicks(input.x, input.y);
        keyPress press;
        while (game && nextKeyPress(&press))
            runShortcut(press);
        if (escQuits() || closeRequested)
            game = 0;
        idle();
    }
}

void shutdown()
{
    closeDisplay();
}
