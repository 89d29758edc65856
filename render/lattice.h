// The render core: sweeps a figure's lattice into a square grid of cells.
// It knows no screen and no keys: where it stops and what happens between
// points are decided by the hooks its caller passes, so the on-screen render
// and a headless caller run exactly the same sweep.
#pragma once
#include "figure/figure.h"

const int AREA_PX = 480;            // side of the on-screen drawing area, in pixels and cells

// Pixel column (or row) of a formula value on a grid of size pixels:
// trunc(value * size/2) + size/2 with the product in single precision, or -1
// when the point falls off the grid (NaN, infinite or huge values included).
int pixelOfValue(float value, int size = AREA_PX);

// The number of values a sweep from minimum while at most maximum, stepping
// by skip in single precision, visits; -1 when it never ends (a skip of 0 or
// less, an infinite range, or a skip too small to move the value somewhere
// on the way). Worked out binade by binade, so it is quick for any count.
long long sweepValueCount(float minimum, float maximum, float skip);

enum class evaluation {
    reference,                      // evaluate on copies of the records at every point
    compiled,                       // batched: each op once per combination of the axes it reads
    perPoint                        // the records' programs, run axis by axis at every point
};

// Decided by the caller while a sweep runs; a null hook does nothing.
struct sweepHooks {
    // Asked at every loop test, after the range test; true ends that sweep,
    // and each enclosing sweep then finishes its iteration and ends at its
    // own next test.
    bool (*stop)(void *context) = nullptr;
    // Called at the end of every iteration of an axis's sweep, before its
    // step: after each point (axis 2), each Z sweep (1), each Y sweep (0).
    void (*stepDone)(void *context, int axis, const float point[3]) = nullptr;
    void *context = nullptr;
    // The deepest sweep whose loop tests and steps the hooks see: 2 every
    // point, 1 every (X, Y) pair, 0 every X value. Hooks that need not see
    // each point leave the sweep free to record a whole X value at once.
    int deepestAxis = 2;
    // False when the cells of a stopped sweep are thrown away: the sweep may
    // then record X values before the hooks have seen them.
    bool stoppedCellsKept = true;
    // Set by a caller that watches the sweep grow (the window). The batched
    // sweep then records runs of points between two looks at the hooks and
    // asks stop only at the loop tests that end them, at least every run of
    // points; a test it does not ask counts as false, so the cells and the
    // point are those of the point-by-point sweep stopped at the same test.
    // At each look, grain gives the deepest axis whose steps stepDone must
    // see until the next look (0 each X value, 1 each Z sweep, 2 each point:
    // then every test is asked), or -1 when stepDone need see the X steps
    // only in order, not each as its cells grow: the last X values may then
    // be swept on another thread and their steps seen when their cells join
    // (once grain is 0 or more, the sweep goes on alone). While it waits for
    // that thread, the sweep asks stop again at the same X test.
    int (*grain)(void *context) = nullptr;
};

struct sweepJob {
    float range[9];                 // Xmin Xmax Xskip Ymin Ymax Yskip Zmin Zmax Zskip
    unsigned char style;            // STYLE_COUNTS, STYLE_HIGHEST_Z; any other leaves the cells 0
    myFormula forms[3];             // X, Y and Z formulas
    int size;                       // the grid is size x size cells
    int *cells;                     // cell (x, y) is cells[x * size + y]
    float *point;                   // the sweep's X, Y, Z; left where the sweep stopped
    evaluation path = evaluation::compiled;
    sweepHooks hooks;
    // This job records only the X values whose index in the X sweep is
    // xPart modulo xParts, so that several jobs can share one figure.
    int xPart = 0, xParts = 1;
    // Threads of a watched sweep (hooks.grain set, one part): with 2 or more,
    // a second thread sweeps the last X values while no step is watched. It
    // starts once the sweep has run shareAfterSeconds and looks to have as
    // long again to go: a shorter sweep is over before the thread would pay.
    int threads = 1;
    double shareAfterSeconds = 0.001;
    // The cells are shared with other jobs sweeping at once: points are
    // recorded by atomic updates, which give the same cells in any order,
    // and the cells are not cleared first (whoever shares them clears them
    // once, before any job starts).
    bool sharedCells = false;
    // The sweep adds to the cells as they are instead of clearing them
    // first: memory fresh from the system is zero already (its pages are
    // then first touched where points land), and a sweep done in parts adds
    // them together.
    bool keepCells = false;
};

// A job for a figure, on the figure's own ranges.
sweepJob figureJob(const figure &f, int *cells, int size, float *point);

// Clears the job's cells (unless they are shared or kept), then sweeps X, Y, Z (each from its minimum while
// it is at most the maximum, stepping in single precision) and records every
// point whose X and Y formula values land on the grid: style 0 counts the
// points of a cell, style 1 keeps its highest truncated Z value above 0.
// Every path gives the same cells and leaves the point in the same place.
// Values may be computed ahead of the sweep; with hooks, cells are recorded
// point by point as the sweep reaches them, and without, an X value's points
// are recorded at once. Several sweeps may run at once on separate jobs and
// points, and separate cells unless sharedCells, except on the reference
// path (evaluate reads Time).
void sweepLattice(const sweepJob &job);

// Keeps freed memory in the process for the next sweep. A sweep's tables
// are large blocks, which the C library would hand back to the system as
// each sweep ends and take again, page by page and zeroed, at the next: on
// a virtual machine those page faults made a figure whose formulas read
// only Y and Z 2.5 times slower. Called once, at start.
void keepSweepMemory();
