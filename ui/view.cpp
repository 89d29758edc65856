// The figure on the screen: the render core and the colour ramp, connected
// to buffer, the keys and the progress box.
#include <allegro.h>
#include "render/colour.h"
#include "render/lattice.h"
#include "ui/input.h"
#include "ui/screen.h"
#include "ui/view.h"

int *life;

void drawFIG(const figure &f)
{
    rampColour ramp[RAMP_TOP + 1];
    buildRamp(f.Color, ramp);
    uint32_t palette[RAMP_TOP + 1];
    for (int v = 0; v <= RAMP_TOP; v++)
        palette[v] = makecol32(ramp[v].r, ramp[v].g, ramp[v].b);
    uint32_t *rows[AREA_PX];
    for (int y = 0; y < AREA_PX; y++)
        rows[y] = (uint32_t *)buffer->line[y];
    paintCells(life, AREA_PX, f.ColorPow, palette, rows);
    pictureChanged();
}

// The marks run along the progress box just inside its 4-pixel border: a
// green one above the label and a blue one below it, per X value.
const int MARK_INSET = 4;
const int MARK_HEIGHT = 4;

int progressColumn(float x, float xMin, float xMax, buttonRect progress)
{
    if (xMax == xMin)
        return -1;
    int span = progress.w - 2 * MARK_INSET;
    float column = ((x - xMin) * (float)span) / (xMax - xMin) + (float)(progress.x + MARK_INSET);
    if (!(column > -1.0f && column < (float)SCREEN_W_PX))
        return -1;
    return (int)column;
}

// What the hooks of a render on the screen look at.
struct renderView {
    const figure &fig;
    buttonRect progress;
};

static void drawProgressMarks(const renderView &view, float x)
{
    buttonRect box = view.progress;
    int column = progressColumn(x, view.fig.Range[0], view.fig.Range[1], box);
    if (column < 0)
        return;
    int top = box.y + MARK_INSET, bottom = box.y + box.h - MARK_INSET - MARK_HEIGHT;
    vline(screen, column, top, top + MARK_HEIGHT - 1, makecol(64, 192, 96));
    vline(screen, column, bottom, bottom + MARK_HEIGHT - 1, makecol(64, 96, 192));
    pictureChanged();
}

static bool cancelled(void *)
{
    return cancelRequested();
}

// F1 refreshes after every point, F2 after every Z sweep, F3 after every Y sweep.
static const Key refreshKeyOf[3] = { Key::F3, Key::F2, Key::F1 };

static void stepDone(void *context, int axis, const float point[3])
{
    const renderView &view = *(const renderView *)context;
    if (keyHeld(refreshKeyOf[axis])) {
        drawFIG(view.fig);
        copyToScreen();
    }
    if (axis == 0)
        drawProgressMarks(view, point[0]);
}

void render(const figure &f, buttonRect progress)
{
    modalActivity rendering;
    backgroundInput sweeping;       // Esc and the F keys are read during the sweep
    drawBox(display(), "Esc to Cancel", progress, rgbColour(128, 128, 128), 4);
    renderView view{ f, progress };
    sweepJob job = figureJob(f, life, AREA_PX, Time);
    job.hooks = sweepHooks{ cancelled, stepDone, &view };
    sweepLattice(job);
    waitKeyRelease(Key::Esc);
}
