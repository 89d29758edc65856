// Export: a figure rendered without a display into a picture of
// any size, written as a PNG file. Below the shell, above the render core: it
// takes the figure as a value and never starts the screen library, so it runs
// where there is no display at all.
#pragma once
#include <cstddef>
#include "render/lattice.h"

const int EXPORT_SIZE_MIN = 16, EXPORT_SIZE_MAX = 16384;   // sides of an export; always even

struct exportRequest {
    const char *figureName = "default";     // how messages name the figure
    const char *outPath = nullptr;
    int size = AREA_PX;                     // the picture is size x size pixels
    // Each axis's skip becomes (float)((double)skip * refine[axis]); without
    // refineGiven the factors are 480/size, 480/size and 1, which keeps the
    // points per pixel, and so the colours, of the on-screen figure.
    bool refineGiven = false;
    double refine[3] = { 1, 1, 1 };
    int threads = 0;                        // 0: one per core the process may use
    bool autoGain = false;                  // the gain that fits the cells (render/colour.h) for the figure's
};

enum class exportOutcome {
    written,
    refused,        // a sweep never ends: nothing rendered
    failed,         // OUT could not be written, or no memory: OUT left as it was
    interrupted     // Ctrl+C or SIGTERM: OUT left as it was
};

// Warns about every finding of the formulas, renders and writes the request's
// PNG file. Every problem is one line on stderr; a progress line shows on a
// terminal once the export has run about a second. SIGINT and SIGTERM stop it
// for as long as it runs.
exportOutcome exportFigure(const figure &fig, const exportRequest &request);

// After an interrupted export: ends the process by the signal that stopped
// it, so that a calling shell stops its loop as on any Ctrl+C. Returns the
// shell's status for that signal only if the process somehow survives.
int endByInterrupt();

// ---- the steps, for the tests and the tools ----

struct exportPlan {
    figure fig;                     // what is exported
    float range[9];                 // the figure's ranges with the skips scaled
    long long values[3];            // values each sweep visits; -1: it never ends
    int size;
    int threads;                    // never more than X values
    bool sharedGrid;                // the threads record into one grid, by atomic updates
};

exportPlan planExport(const figure &fig, const exportRequest &request);

// A grid of cells in memory of its own, zero when made: the pages are
// first touched by the sweep that records into them, and a large grid is
// backed by 2 MB pages where the system allows. Throws std::bad_alloc.
class cellGrid {
public:
    cellGrid() = default;
    explicit cellGrid(size_t cells);
    cellGrid(cellGrid &&other) noexcept;
    cellGrid &operator=(cellGrid &&other) noexcept;
    ~cellGrid();
    int *data() const { return cells; }
    size_t size() const { return count; }
    int *begin() const { return cells; }
    int *end() const { return cells + count; }
    int &operator[](size_t i) const { return cells[i]; }
    bool operator==(const cellGrid &other) const;
private:
    int *cells = nullptr;
    size_t count = 0, bytes = 0;
};

// The plan's grid of cells (cell (x, y) at x * size + y), swept by the plan's
// threads over parts of the X sweep: into one shared grid, or into a grid
// each that are then combined (counts add, saturating at INT_MAX, depths
// take the maximum). The same cells for any thread count. With countPairs
// each thread counts its finished (X, Y) pairs for the progress line.
cellGrid sweepExport(const exportPlan &plan, bool countPairs = false);
