// latticebench: times the render pass, headless, through evaluate, through
// the batched path the program uses (with the vector math and without it),
// through the window's render() with its Esc test and progress marks, on one
// thread and on all, and through loops written by hand for two figures,
// and checks that every pass fills the same cells as evaluate. The default figure is also timed
// as NumPy float32 code (tools/bench_numpy.py), and the heavy figure as an
// export at 2048 x 2048 split over one and over two threads.
//
//   latticebench [--path avx2|avx512] [figure.fig ...]
//
// With no figures it takes the default figure, every gallery/*.fig of the
// working directory, and the heavy and Z-heavy figures defined below.
// --path caps the vector math at that path (the widest one the processor
// has otherwise), to time a narrower one.
#include <allegro.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>
#include "export/export.h"
#include "figure/figure.h"
#include "formula/vecmath.h"
#include "render/lattice.h"
#include "ui/display.h"
#include "ui/view.h"

const int EVALUATE_RUNS = 3;
const int FAST_RUNS = 21;          // a short pass is easily caught by a busy moment: many runs, their median
const int EXPORT_RUNS = 5;
const int EXPORT_SIZE = 2048;
const int MAX_FIGURES = 64;
const int AREA_CELLS = AREA_PX * AREA_PX;
const char *const NUMPY_SCRIPT = "tools/bench_numpy.py";
const char *const NUMPY_CELLS = "/tmp/latticebench-cells.bin";

static std::vector<int> referenceCells(AREA_CELLS);     // cells of the evaluate pass

// ---- timing ----

// Processor time of this thread: the machine is shared, and time spent
// waiting for a core is not time spent rendering.
static double cpuMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Wall-clock time, for work spread over threads.
static double wallMilliseconds()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

static double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

static double timeOnce(void (*pass)())
{
    double start = cpuMilliseconds();
    pass();
    return cpuMilliseconds() - start;
}

static bool cellsMatchReference()
{
    return memcmp(referenceCells.data(), life, AREA_CELLS * sizeof life[0]) == 0;
}

// ---- the passes ----

static figure bench;                // the figure being timed

// The on-screen render's progress marks go where the panel has them.
const buttonRect PROGRESS_MARKS = { 496, 368, 128, 32 };
static void renderOnScreen() { render(bench, PROGRESS_MARKS); }
static void drawBench() { drawFIG(bench); }

static void renderBy(evaluation path)
{
    sweepJob job = figureJob(bench, life, AREA_PX, Time);
    job.path = path;
    sweepLattice(job);
}

static void renderEvaluated() { renderBy(evaluation::reference); }
static void renderBatched() { renderBy(evaluation::compiled); }

static vectorPath widestPath = vectorPath::avx512;   // --path

static void renderBatchedScalar()
{
    useVectorMath(false);
    renderBy(evaluation::compiled);
    useVectorPath(widestPath);
}

static long long latticePoints()
{
    long long x = sweepValueCount(bench.Range[0], bench.Range[1], bench.Range[2]);
    long long y = sweepValueCount(bench.Range[3], bench.Range[4], bench.Range[5]);
    long long z = sweepValueCount(bench.Range[6], bench.Range[7], bench.Range[8]);
    if (x < 0 || y < 0 || z < 0)
        return -1;
    return x * y * z;
}

// ---- the floors: two figures written out by hand ----
// The tightest scalar loops that make only the library calls each figure
// needs, with the same arithmetic as the program, binning a column's points
// in a loop of its own. They stand for what the processor strictly has to do.

static std::vector<float> sweepValues(const float *range)
{
    std::vector<float> values;
    for (float v = range[0]; v <= range[1]; v = v + range[2])
        values.push_back(v);
    return values;
}

static float sineByHand(float v) { return (float)sin((double)v); }
static float cosineByHand(float v) { return (float)cos((double)v); }
static float quotientByHand(float a, float b) { return b == 0 ? INFINITY : a / b; }

static int cellByHand(float vx, float vy)
{
    float sx = vx * 240.0f, sy = vy * 240.0f;
    if (!(sx > -241.0f && sx < 240.0f && sy > -241.0f && sy < 240.0f))
        return -1;
    return ((int)sx + 240) * AREA_PX + (int)sy + 240;
}

static int depthByHand(float v)
{
    return v > -2147483648.0f && v < 2147483648.0f ? (int)v : -1;
}

// CX*S(X/Y) and SX*S(Y/X) in hit-count style: cos X and sin X once per X,
// the two quotients and sines per (X, Y) pair; Z is read by neither.
static void renderDefaultByHand()
{
    memset(life, 0, AREA_CELLS * sizeof life[0]);
    std::vector<float> ys = sweepValues(bench.Range + 3);
    size_t zCount = sweepValues(bench.Range + 6).size();
    std::vector<int> column(ys.size());
    for (float x = bench.Range[0]; x <= bench.Range[1]; x = x + bench.Range[2]) {
        float cx = cosineByHand(x), sx = sineByHand(x);
        for (size_t j = 0; j < ys.size(); j++) {
            float vx = cx * sineByHand(quotientByHand(x, ys[j])), vy = sx * sineByHand(quotientByHand(ys[j], x));
            column[j] = cellByHand(vx, vy);
        }
        for (size_t k = 0; k < zCount; k++)
            for (int cell : column)
                if (cell >= 0)
                    life[cell]++;
    }
}

// The heavy figure below, each call once per combination of the axes it
// reads: sin(Y*2+Z/7) per (Y, Z), (Z+1)^1.5*20 per Z, cos Y per Y, sin X and
// cos X per X, sin(X+Z/9) per (X, Z); three products per point.
static void renderHeavyByHand()
{
    memset(life, 0, AREA_CELLS * sizeof life[0]);
    std::vector<float> ys = sweepValues(bench.Range + 3), zs = sweepValues(bench.Range + 6);
    size_t ny = ys.size(), nz = zs.size();
    std::vector<float> cy(ny), zPower(nz), syz(ny * nz), sxz(nz);
    for (size_t k = 0; k < nz; k++)
        zPower[k] = (float)pow((double)(zs[k] + 1), 1.5) * 20;
    for (size_t j = 0; j < ny; j++) {
        cy[j] = cosineByHand(ys[j]);
        for (size_t k = 0; k < nz; k++)
            syz[j * nz + k] = sineByHand(ys[j] * 2 + zs[k] / 7);
    }
    std::vector<int> cells(nz), depths(nz);
    for (float x = bench.Range[0]; x <= bench.Range[1]; x = x + bench.Range[2]) {
        float sx = sineByHand(x), cx = cosineByHand(x);
        for (size_t k = 0; k < nz; k++)
            sxz[k] = sineByHand(x + zs[k] / 9);
        for (size_t j = 0; j < ny; j++) {
            float shade = 1 + sx * cy[j];
            for (size_t k = 0; k < nz; k++) {
                cells[k] = cellByHand(sxz[k] * cy[j] * 0.9f, cx * syz[j * nz + k] * 0.9f);
                depths[k] = depthByHand(zPower[k] * shade);
            }
            for (size_t k = 0; k < nz; k++)
                if (cells[k] >= 0)
                    life[cells[k]] = std::max(life[cells[k]], depths[k]);
        }
    }
}

// ---- figures ----

enum class figureKind { standard, file, heavy, zHeavy };

struct benchFigure {
    figureKind kind;
    char path[600];
};

static benchFigure figures[MAX_FIGURES];
static int figureCount;

static void addFigure(figureKind kind, const char *path)
{
    if (figureCount == MAX_FIGURES)
        return;
    figures[figureCount].kind = kind;
    snprintf(figures[figureCount].path, sizeof figures[0].path, "%s", path);
    figureCount++;
}

static void addGalleryFigures()
{
    struct al_ffblk info;
    if (al_findfirst("gallery/*.fig", &info, FA_ARCH) != 0)
        return;
    do {
        char path[600];
        snprintf(path, sizeof path, "gallery/%s", info.name);
        addFigure(figureKind::file, path);
    } while (al_findnext(&info) == 0);
    al_findclose(&info);
}

static void useFormulas(const char *x, const char *y, const char *z, const float ranges[9], unsigned char figureStyle)
{
    bench = defaultFigure();
    setFormula(bench, AXIS_X, x);
    setFormula(bench, AXIS_Y, y);
    setFormula(bench, AXIS_Z, z);
    memcpy(bench.Range, ranges, sizeof bench.Range);
    bench.style = figureStyle;
}

// 315 x 315 x 26 = 2,579,850 points in the highest-Z style; ops read X, Z,
// X and Z, Y and Z, X and Y, and all three.
static void useHeavyFigure()
{
    const float ranges[9] = { -3.14f, 3.14f, 0.02f, -3.14f, 3.14f, 0.02f, 0, 25, 1 };
    useFormulas("S(X+Z/9)*CY*0.9", "CX*S(Y*2+Z/7)*0.9", "(Z+1)^1.5*20*(1+SX*CY)", ranges, STYLE_HIGHEST_Z);
}

// 41 x 315 x 126 = 1,627,290 points whose ops read only Y and Z: the X
// sweep draws the same surface again at each X value.
static void useZHeavyFigure()
{
    const float ranges[9] = { 0, 40, 1, -3.14f, 3.14f, 0.02f, 0, 25, 0.2f };
    useFormulas("S(Y*3+Z/5)*C(Z/7)*0.9", "C(Y*2-Z/3)*S(Z/11+Y)*0.9", "Z*9+Y*20+60", ranges, STYLE_HIGHEST_Z);
}

static bool useFigure(const benchFigure &figure)
{
    switch (figure.kind) {
    case figureKind::standard:
        bench = defaultFigure();
        return true;
    case figureKind::heavy: useHeavyFigure(); return true;
    case figureKind::zHeavy: useZHeavyFigure(); return true;
    default: return readFigureOverDefaults(figure.path, bench);
    }
}

static const char *figureName(const benchFigure &figure)
{
    switch (figure.kind) {
    case figureKind::standard: return "(default)";
    case figureKind::heavy: return "(heavy 3-D, style 2)";
    case figureKind::zHeavy: return "(Z-heavy, reads Y and Z)";
    default: return figure.path;
    }
}

// ---- one figure ----

struct passTimes {
    std::vector<double> evaluated, batched, batchedWall, scalar, screen, screenWall, screenBoth, floor, draw;
    bool same = true, scalarSame = true, screenSame = true, screenBothSame = true, floorSame = true;
};

// Processor time of this thread into cpu and wall-clock time into wall.
static void timeBoth(void (*pass)(), std::vector<double> &cpu, std::vector<double> &wall)
{
    double start = cpuMilliseconds(), wallStart = wallMilliseconds();
    pass();
    cpu.push_back(cpuMilliseconds() - start);
    wall.push_back(wallMilliseconds() - wallStart);
}

static void renderOneThread()
{
    int threads = renderThreads;
    renderThreads = 1;
    renderOnScreen();
    renderThreads = threads;
}

static void renderAllThreads()
{
    int threads = renderThreads;
    renderThreads = (int)std::max(1u, std::thread::hardware_concurrency());
    renderOnScreen();
    renderThreads = threads;
}

static double wallOnce(void (*pass)())
{
    double start = wallMilliseconds();
    pass();
    return wallMilliseconds() - start;
}

// The runs alternate, so that a busy moment of the machine falls on every
// kind of pass alike.
static passTimes timePasses(void (*floorPass)())
{
    passTimes t;
    for (int r = 0; r < FAST_RUNS; r++) {
        if (r < EVALUATE_RUNS) {
            t.evaluated.push_back(timeOnce(renderEvaluated));
            memcpy(referenceCells.data(), life, AREA_CELLS * sizeof life[0]);
        }
        timeBoth(renderBatched, t.batched, t.batchedWall);
        t.same = t.same && cellsMatchReference();
        t.draw.push_back(timeOnce(drawBench));
        t.scalar.push_back(timeOnce(renderBatchedScalar));
        t.scalarSame = t.scalarSame && cellsMatchReference();
        timeBoth(renderOneThread, t.screen, t.screenWall);
        t.screenSame = t.screenSame && cellsMatchReference();
        t.screenBoth.push_back(wallOnce(renderAllThreads));
        t.screenBothSame = t.screenBothSame && cellsMatchReference();
        if (floorPass) {
            t.floor.push_back(timeOnce(floorPass));
            t.floorSame = t.floorSame && cellsMatchReference();
        }
    }
    return t;
}

static const char *sameText(bool same) { return same ? "same" : "DIFF"; }

static void benchFigureAt(const benchFigure &figure)
{
    if (!useFigure(figure)) {
        printf("%-28s cannot be read\n", figureName(figure));
        return;
    }
    long long points = latticePoints();
    if (points < 0) {
        printf("%-28s a sweep never ends; skipped\n", figureName(figure));
        return;
    }
    void (*floorPass)() = figure.kind == figureKind::standard ? renderDefaultByHand
                        : figure.kind == figureKind::heavy    ? renderHeavyByHand : nullptr;
    passTimes t = timePasses(floorPass);
    double evaluated = median(t.evaluated), batched = median(t.batched);
    printf("%-24s %8lld %9.1f %7.2f %6.1fx %-4s %7.2f %-4s %7.2f %7.2f %-4s %6.2fx %7.2f %-4s %6.2fx %7.2f %6.2f\n",
           figureName(figure), points, evaluated, batched, evaluated / batched, sameText(t.same), median(t.scalar),
           sameText(t.scalarSame), median(t.batchedWall), median(t.screen), sameText(t.screenSame),
           median(t.screen) / batched, median(t.screenBoth), sameText(t.screenBothSame),
           median(t.screenBoth) / median(t.batchedWall), median(t.screenWall), median(t.draw));
    if (floorPass)
        printf("%-24s %8s %9s %7.2f %7s %-4s   batched / floor = %.2f\n", "  floor (by hand, scalar)", "", "",
               median(t.floor), "", sameText(t.floorSame), batched / median(t.floor));
}

// ---- NumPy ----

// The batched cells of the current figure for the script to compare with;
// false when they could not be written.
static bool writeCells()
{
    renderBatched();
    FILE *f = fopen(NUMPY_CELLS, "wb");
    if (!f)
        return false;
    bool whole = fwrite(life, sizeof life[0], AREA_CELLS, f) == (size_t)AREA_CELLS;
    return fclose(f) == 0 && whole;
}

static void benchNumPy()
{
    benchFigure standard{ figureKind::standard, "" };
    useFigure(standard);
    std::vector<double> times;
    for (int r = 0; r < FAST_RUNS; r++)
        times.push_back(timeOnce(renderBatched));
    double batched = median(times);
    char command[1200];
    long long zCount = sweepValueCount(bench.Range[6], bench.Range[7], bench.Range[8]);
    snprintf(command, sizeof command, "/usr/bin/python3 %s %.9g %.9g %.9g %.9g %.9g %.9g %lld %s 2>&1", NUMPY_SCRIPT,
             bench.Range[0], bench.Range[1], bench.Range[2], bench.Range[3], bench.Range[4], bench.Range[5], zCount,
             writeCells() ? NUMPY_CELLS : "");
    FILE *p = popen(command, "r");
    char line[300] = "";
    bool read = p && fgets(line, sizeof line, p);
    if (p)
        pclose(p);
    double numpy = 0;
    int differing = -1;
    if (!read || sscanf(line, "numpy_ms=%lf differing_cells=%d", &numpy, &differing) < 1) {
        printf("NumPy: not run (%s)\n", read ? strtok(line, "\n") : "no output from /usr/bin/python3");
        return;
    }
    printf("default figure, NumPy float32 %.2f ms, batched %.2f ms: batched / NumPy = %.2f; %d of %d cells differ\n",
           numpy, batched, batched / numpy, differing, AREA_CELLS);
}

// ---- export: the heavy figure at 2048 x 2048 over one and two threads ----

// The export's own plan (X and Y skips scaled to the size) and sweep: the
// threads' parts, each into cells of its own, then combined. Wall-clock
// times; the PNG writing that follows is timed by tools/export-times.
static void benchExport()
{
    useHeavyFigure();
    exportRequest request;
    request.size = EXPORT_SIZE;
    std::vector<double> times[2];
    bool same = true;
    long long points = 0;
    for (int r = 0; r < EXPORT_RUNS; r++) {
        cellGrid cells[2];
        for (int t = 0; t < 2; t++) {
            request.threads = t + 1;
            exportPlan plan = planExport(bench, request);
            points = plan.values[0] * plan.values[1] * plan.values[2];
            double start = wallMilliseconds();
            cells[t] = sweepExport(plan);
            times[t].push_back(wallMilliseconds() - start);
        }
        same = same && cells[0] == cells[1];
    }
    double load[1] = { 0 };
    getloadavg(load, 1);
    printf("heavy figure exported at %d x %d (%lld points), sweep wall clock: one thread %.1f ms, two threads %.1f ms:"
           " %.2fx; cells %s; load average %.2f on %u cores\n", EXPORT_SIZE, EXPORT_SIZE, points, median(times[0]),
           median(times[1]), median(times[0]) / median(times[1]), sameText(same), load[0],
           std::thread::hardware_concurrency());
}

int main(int argc, char **argv)
{
    keepSweepMemory();              // as the program does
    if (!openHeadless()) {
        fprintf(stderr, "latticebench: Allegro could not start headless\n");
        return 1;
    }
    int firstFigure = 1;
    if (argc > 2 && !strcmp(argv[1], "--path")) {
        if (strcmp(argv[2], "avx2") && strcmp(argv[2], "avx512")) {
            fprintf(stderr, "usage: latticebench [--path avx2|avx512] [figure.fig ...]\n");
            return 2;
        }
        widestPath = strcmp(argv[2], "avx2") ? vectorPath::avx512 : vectorPath::avx2;
        useVectorPath(widestPath);
        firstFigure = 3;
    }
    if (argc > firstFigure) {
        for (int i = firstFigure; i < argc; i++)
            addFigure(figureKind::file, argv[i]);
    } else {
        addFigure(figureKind::standard, "");
        addGalleryFigures();
        addFigure(figureKind::heavy, "");
        addFigure(figureKind::zHeavy, "");
    }
    double load[1] = { 0 };
    getloadavg(load, 1);
    printf("medians of %d evaluate and %d other renders, in ms; cpu: processor time of this thread, wall: wall clock;"
           " vector math: %s; load average %.2f on %u cores\n", EVALUATE_RUNS, FAST_RUNS,
           vectorMathActive() ? vectorPathName(activeVectorPath()) : "not on this processor or build", load[0],
           std::thread::hardware_concurrency());
    printf("%-24s %8s %9s %7s %7s %-4s %7s %-4s %7s %7s %-4s %7s %7s %-4s %7s %7s %6s\n", "", "", "evaluate",
           "batched", "", "", "no SIMD", "", "batched", "window", "", "/batch", "window", "", "/batch", "window", "");
    printf("%-24s %8s %9s %7s %7s %-4s %7s %-4s %7s %7s %-4s %7s %7s %-4s %7s %7s %6s\n", "figure", "points", "cpu",
           "cpu", "ratio", "cell", "cpu", "cell", "wall", "1T cpu", "cell", "cpu", "all wall", "cell", "wall",
           "1T wall", "drawFIG");
    for (int i = 0; i < figureCount; i++)
        benchFigureAt(figures[i]);
    if (argc == firstFigure) {
        benchNumPy();
        benchExport();
    }
    return 0;
}
END_OF_MAIN()
