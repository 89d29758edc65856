// The figure on the screen: the render core and the colour ramp, connected
// to buffer, the keys and the progress box.
#include <allegro.h>
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <thread>
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
    int markedColumn;               // X values that fall on it need no new marks ...
    float columnFrom, columnTo;     // ... from columnFrom (on it) up to columnTo (off it)
    bool manyPerColumn;             // X values share columns: their bounds are worth working out
    int unshownFrom = INT_MAX, unshownTo = -1;   // columns of marks drawn but not yet on the screen
    double shownAt = -INFINITY;                   // when marks were last put on the screen
};

// Marks go to the screen at most this often: a sweep may mark a hundred
// columns in a millisecond, and each trip to the screen costs more than them.
const double MARKS_SHOWN_EVERY_S = 1.0 / 120;

static void showMarks(renderView &view)
{
    if (view.unshownTo < view.unshownFrom)
        return;
    buttonRect box = view.progress;
    showDisplayArea(buttonRect{ view.unshownFrom, box.y, view.unshownTo - view.unshownFrom + 1, box.h });
    view.unshownFrom = INT_MAX, view.unshownTo = -1;
    view.shownAt = clockHook();
}

static int markColumn(const renderView &view, float x)
{
    return progressColumn(x, view.fig.Range[0], view.fig.Range[1], view.progress);
}

// Floats in the order of their values, as integers.
static long long orderOf(float v)
{
    int32_t bits = std::bit_cast<int32_t>(v);
    return bits < 0 ? -(long long)(bits & 0x7fffffff) : bits;
}

static float floatOfOrder(long long order)
{
    return std::bit_cast<float>(order < 0 ? (int32_t)(-order | 0x80000000LL) : (int32_t)order);
}

// The smallest float above x whose column is not x's. A column changes in
// one direction as X rises, and past the box's end gives -1, so once it
// leaves x's column it never comes back; +infinity always has left it.
static float nextColumnStart(const renderView &view, float x, int column)
{
    long long on = orderOf(x), off = orderOf(INFINITY);
    while (off - on > 1) {
        long long middle = on + (off - on) / 2;
        (markColumn(view, floatOfOrder(middle)) == column ? on : off) = middle;
    }
    return floatOfOrder(off);
}

// An X value on the column last marked (most of them, for X sweeps of many
// values) is known as such without working out its column. Where a column
// holds only a few X values, working out its bounds would cost more.
const long long XS_PER_COLUMN_BOUNDED = 8;

static void drawProgressMarks(renderView &view, float x)
{
    if (x >= view.columnFrom && x < view.columnTo)
        return;
    int column = markColumn(view, x);
    if (column < 0 || column == view.markedColumn)
        return;
    view.markedColumn = column;
    if (view.manyPerColumn) {
        view.columnFrom = x;
        view.columnTo = nextColumnStart(view, x, column);
    }
    buttonRect box = view.progress;
    int top = box.y + MARK_INSET, bottom = box.y + box.h - MARK_INSET - MARK_HEIGHT;
    vline(display(), column, top, top + MARK_HEIGHT - 1, makecol(64, 192, 96));
    vline(display(), column, bottom, bottom + MARK_HEIGHT - 1, makecol(64, 96, 192));
    pictureChanged();
    view.unshownFrom = std::min(view.unshownFrom, column), view.unshownTo = std::max(view.unshownTo, column);
    if (clockHook() - view.shownAt >= MARKS_SHOWN_EVERY_S)
        showMarks(view);
}

static bool cancelled(void *)
{
    return cancelRequested();
}

// F1 refreshes after every point, F2 after every Z sweep, F3 after every Y sweep.
static const Key refreshKeyOf[3] = { Key::F3, Key::F2, Key::F1 };

static void stepDone(void *context, int axis, const float point[3])
{
    renderView &view = *(renderView *)context;
    if (keyHeld(refreshKeyOf[axis])) {
        drawFIG(view.fig);
        copyToScreen();             // the buffer has no marks
        view.unshownFrom = INT_MAX, view.unshownTo = -1;
        view.markedColumn = -1;
        view.columnFrom = view.columnTo = NAN;
    }
    if (axis == 0)
        drawProgressMarks(view, point[0]);
}

// The deepest step a held key refreshes at (the sweep looks no deeper), or
// -1 while none is held and only the progress marks follow the sweep.
static int refreshGrain(void *)
{
    return keyHeld(Key::F1) ? 2 : keyHeld(Key::F2) ? 1 : keyHeld(Key::F3) ? 0 : -1;
}

int renderThreads = (int)std::max(1u, std::thread::hardware_concurrency());

void render(const figure &f, buttonRect progress)
{
    modalActivity rendering;
    backgroundInput sweeping;       // Esc and the F keys are read during the sweep
    drawBox(display(), "Esc to Cancel", progress, rgbColour(128, 128, 128), 4);
    long long xs = sweepValueCount(f.Range[0], f.Range[1], f.Range[2]);
    bool manyPerColumn = xs < 0 || xs > XS_PER_COLUMN_BOUNDED * progress.w;
    renderView view{ f, progress, -1, NAN, NAN, manyPerColumn };
    sweepJob job = figureJob(f, life, AREA_PX, Time);
    job.hooks = sweepHooks{ cancelled, stepDone, &view };
    job.hooks.grain = refreshGrain;
    job.threads = renderThreads;
    sweepLattice(job);
    showMarks(view);
    waitKeyRelease(Key::Esc);
}
