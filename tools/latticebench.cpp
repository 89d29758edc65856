// latticebench: times the render pass through evaluate and through the
// compiled programs, headless, and checks that both fill the same cells.
//
//   latticebench [figure.fig ...]
//
// With no arguments it takes the default figure, every gallery/*.fig of the
// working directory, and a heavy 3-D figure defined below.
#include <allegro.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include "figure/figure.h"
#include "render/lattice.h"
#include "ui/display.h"
#include "ui/view.h"

const int EVALUATE_RUNS = 3;
const int COMPILED_RUNS = 5;
const int MAX_FIGURES = 64;

static int *referenceCells;        // cells of the evaluate pass, for the comparison


// Processor time of this thread: the machine is shared, and time spent
// waiting for a core is not time spent rendering.
static double cpuMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

static double median(double *times, int count)
{
    std::sort(times, times + count);
    return times[count / 2];
}

static double timeOnce(void (*pass)())
{
    double start = cpuMilliseconds();
    pass();
    return cpuMilliseconds() - start;
}

static void renderBy(evaluation path)
{
    sweepJob job = documentJob(life, AREA_PX, Time);
    job.path = path;
    sweepLattice(job);
}

static void renderEvaluated() { renderBy(evaluation::reference); }
static void renderCompiled() { renderBy(evaluation::compiled); }

static bool cellsMatchReference()
{
    return memcmp(referenceCells, life, AREA_PX * AREA_PX * sizeof life[0]) == 0;
}

// The sweeps visit as many values as single-precision stepping gives them;
// -1 for a sweep whose step no longer moves it, which only Esc would end.
static long sweepCount(float low, float high, float step)
{
    long count = 0;
    for (float v = low; v <= high; v = v + step) {
        if (!(v + step > v))
            return -1;
        count++;
    }
    return count;
}

static long latticePoints()
{
    long x = sweepCount(Range[0], Range[1], Range[2]);
    long y = sweepCount(Range[3], Range[4], Range[5]);
    long z = sweepCount(Range[6], Range[7], Range[8]);
    if (x < 0 || y < 0 || z < 0)
        return -1;
    return x * y * z;
}

static void useDefaultFigure()
{
    setDefaultTexts();
    setDefaultSettings();
    compileFormulas();
}

// 315 x 315 x 26 = 2,579,850 points in the highest-Z style.
static void useHeavyFigure()
{
    setDefaultSettings();
    strcpy(aXForm, "S(X+Z/9)*CY*0.9");
    strcpy(aYForm, "CX*S(Y*2+Z/7)*0.9");
    strcpy(aZForm, "(Z+1)^1.5*20*(1+SX*CY)");
    const float ranges[9] = { -3.14f, 3.14f, 0.02f, -3.14f, 3.14f, 0.02f, 0, 25, 1 };
    memcpy(Range, ranges, sizeof Range);
    style = 1;
    compileFormulas();
}

// ---- the floor: the default figure written out by hand ----

static float quotientByHand(float a, float b)
{
    return b == 0 ? INFINITY : a / b;
}

static int pixelByHand(float v)
{
    float scaled = v * 240.0f;
    if (!(scaled > -241.0f && scaled < 240.0f))
        return -1;
    return (int)scaled + 240;
}

// CX*S(X/Y) and SX*S(Y/X) in hit-count style: the four library calls and
// two products per point, and nothing the program does around them.
static void renderDefaultByHand()
{
    memset(life, 0, AREA_PX * AREA_PX * sizeof life[0]);
    for (float x = Range[0]; x <= Range[1]; x = x + Range[2]) {
        for (float y = Range[3]; y <= Range[4]; y = y + Range[5]) {
            for (float z = Range[6]; z <= Range[7]; z = z + Range[8]) {
                float vx = (float)cos((double)x) * (float)sin((double)quotientByHand(x, y));
                float vy = (float)sin((double)x) * (float)sin((double)quotientByHand(y, x));
                int px = pixelByHand(vx), py = pixelByHand(vy);
                if (px >= 0 && py >= 0)
                    life[px * 480 + py]++;
            }
        }
    }
}

// ---- figures ----

enum { FIGURE_DEFAULT, FIGURE_FILE, FIGURE_HEAVY };

struct benchFigure {
    int kind;
    char path[600];
};

static benchFigure figures[MAX_FIGURES];
static int figureCount;

static void addFigure(int kind, const char *path)
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
        addFigure(FIGURE_FILE, path);
    } while (al_findnext(&info) == 0);
    al_findclose(&info);
}

static bool useFigure(const benchFigure &figure)
{
    if (figure.kind == FIGURE_DEFAULT)
        useDefaultFigure();
    else if (figure.kind == FIGURE_HEAVY)
        useHeavyFigure();
    else
        return readFIG(figure.path);
    return true;
}

static const char *figureName(const benchFigure &figure)
{
    if (figure.kind == FIGURE_DEFAULT)
        return "(default)";
    if (figure.kind == FIGURE_HEAVY)
        return "(heavy 3-D, style 1)";
    return figure.path;
}

static void benchFigureAt(const benchFigure &figure)
{
    if (!useFigure(figure)) {
        printf("%-28s cannot be read\n", figureName(figure));
        return;
    }
    long points = latticePoints();
    if (points < 0) {
        printf("%-28s a sweep never ends; skipped\n", figureName(figure));
        return;
    }
    bool floorToo = figure.kind == FIGURE_DEFAULT;
    double evaluateMs[EVALUATE_RUNS], compiledMs[COMPILED_RUNS], floorMs[COMPILED_RUNS];
    double drawMs[COMPILED_RUNS];
    bool same = true, floorSame = true;
    // The runs alternate, so that a busy moment of the machine falls on
    // every kind of pass alike.
    for (int r = 0; r < COMPILED_RUNS; r++) {
        if (r < EVALUATE_RUNS) {
            evaluateMs[r] = timeOnce(renderEvaluated);
            memcpy(referenceCells, life, AREA_PX * AREA_PX * sizeof life[0]);
        }
        compiledMs[r] = timeOnce(renderCompiled);
        same = same && cellsMatchReference();
        drawMs[r] = timeOnce(drawFIG);
        if (floorToo) {
            floorMs[r] = timeOnce(renderDefaultByHand);
            floorSame = floorSame && cellsMatchReference();
        }
    }
    double evaluateMedian = median(evaluateMs, EVALUATE_RUNS);
    double compiledMedian = median(compiledMs, COMPILED_RUNS);
    printf("%-28s %10ld %12.1f %12.2f %8.1fx  %-9s %8.2f\n", figureName(figure), points,
           evaluateMedian, compiledMedian, evaluateMedian / compiledMedian,
           same ? "identical" : "DIFFERENT", median(drawMs, COMPILED_RUNS));
    if (!floorToo)
        return;
    double floorMedian = median(floorMs, COMPILED_RUNS);
    printf("%-28s %10ld %12s %12.2f %8s   %-9s   compiled / floor = %.2f\n", "  floor (hand-written)",
           points, "", floorMedian, "", floorSame ? "identical" : "DIFFERENT",
           compiledMedian / floorMedian);
}

int main(int argc, char **argv)
{
    if (!openHeadless()) {
        fprintf(stderr, "latticebench: Allegro could not start headless\n");
        return 1;
    }
    setDefaultTexts();
    compileFormulas();
    setDefaultSettings();
    referenceCells = new int[AREA_PX * AREA_PX]();
    if (argc > 1) {
        for (int i = 1; i < argc; i++)
            addFigure(FIGURE_FILE, argv[i]);
    } else {
        addFigure(FIGURE_DEFAULT, "");
        addGalleryFigures();
        addFigure(FIGURE_HEAVY, "");
    }
    printf("processor ms of this thread; medians of %d evaluate and %d compiled renders\n",
           EVALUATE_RUNS, COMPILED_RUNS);
    printf("%-28s %10s %12s %12s %9s  %-9s %8s\n", "figure", "points", "evaluate ms",
           "compiled ms", "ratio", "cells", "drawFIG ms");
    for (int i = 0; i < figureCount; i++)
        benchFigureAt(figures[i]);
    return 0;
}
END_OF_MAIN()
