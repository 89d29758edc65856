// The export: checks the figure, sweeps it on every core, colours the cells
// and writes the PNG file, saying on stderr what went wrong and why.
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>
#include "export/export.h"
#include "export/png.h"
#include "export/progress.h"
#include "formula/formula.h"
#include "render/colour.h"

static const char AXIS_NAME[3] = { 'X', 'Y', 'Z' };

// ---- the figure as the export sees it ----

// Formula text as it may be shown on a terminal: bytes outside printable
// ASCII (from a hostile file) and quotes are written as escapes.
static std::string shownText(const char *text)
{
    std::string shown;
    for (const unsigned char *c = (const unsigned char *)text; *c; c++) {
        char escape[8];
        bool plain = *c >= 0x20 && *c < 0x7F && *c != '"' && *c != '\\';
        snprintf(escape, sizeof escape, plain ? "%c" : "\\x%02X", *c);
        shown += escape;
    }
    return shown;
}

// Every finding of the three formulas (formula/formula.h), one line each.
// The X and Y formulas always decide where a point lands; Z only in style 2.
static void warnFindings(const figure &fig)
{
    for (int f = 0; f < 3; f++) {
        const char *unused = f == 2 && fig.style != STYLE_HIGHEST_Z ? " (Style 1 does not use Z)" : "";
        for (const formulaFinding &finding : formulaFindings(formulaText(fig, f)))
            fprintf(stderr, "warning: %c formula \"%s\", col %d: %s%s\n", AXIS_NAME[f],
                    shownText(formulaText(fig, f)).c_str(), finding.position + 1, finding.message.c_str(), unused);
    }
    if (fig.style != STYLE_COUNTS && fig.style != STYLE_HIGHEST_Z)
        fprintf(stderr, "warning: the figure's style field is %d, neither 0 (Style 1) nor 1 (Style 2); "
                        "the picture is empty\n", fig.style);
}

static int processorCount()
{
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        return CPU_COUNT(&allowed);
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? (int)online : 1;
}

// Every thread holds a grid of its own; together they may take half the
// memory of the machine at most.
static int threadsFor(const exportRequest &request, long long xValues)
{
    int threads = request.threads > 0 ? request.threads : processorCount();
    double grid = (double)request.size * request.size * sizeof(int);
    double memory = (double)sysconf(_SC_PHYS_PAGES) * sysconf(_SC_PAGE_SIZE);
    if (memory > 0)
        threads = (int)std::fmin(threads, std::fmax(1.0, std::floor(memory / 2 / grid)));
    if (xValues > 0 && xValues < threads)
        threads = (int)xValues;
    return threads;
}

exportPlan planExport(const figure &fig, const exportRequest &request)
{
    exportPlan plan;
    plan.fig = fig;
    double factor[3] = { (double)AREA_PX / request.size, (double)AREA_PX / request.size, 1.0 };
    if (request.refineGiven)
        memcpy(factor, request.refine, sizeof factor);
    memcpy(plan.range, fig.Range, sizeof plan.range);
    for (int a = 0; a < 3; a++) {
        float *axis = plan.range + 3 * a;
        axis[2] = (float)((double)axis[2] * factor[a]);
        plan.values[a] = sweepValueCount(axis[0], axis[1], axis[2]);
    }
    plan.size = request.size;
    plan.threads = threadsFor(request, plan.values[0]);
    return plan;
}

static std::string skipShown(const exportPlan &plan, int axis)
{
    char text[100];
    float skip = plan.fig.Range[3 * axis + 2], scaled = plan.range[3 * axis + 2];
    if (scaled == skip)
        snprintf(text, sizeof text, "%g", (double)skip);
    else
        snprintf(text, sizeof text, "%g (the figure's %g scaled)", (double)scaled, (double)skip);
    return text;
}

// There is no Esc here: a sweep that would never end is refused, by name.
static bool sweepsEnd(const exportPlan &plan, const char *figure)
{
    for (int a = 0; a < 3; a++) {
        if (plan.values[a] >= 0)
            continue;
        const float *axis = plan.range + 3 * a;
        std::string skip = skipShown(plan, a);
        fprintf(stderr, "latticegraph: cannot export %s: the %c sweep never ends: ", figure, AXIS_NAME[a]);
        if (!(axis[2] > 0))
            fprintf(stderr, "its skip %s is not above 0\n", skip.c_str());
        else if (std::isinf(axis[0]) || std::isinf(axis[1]))
            fprintf(stderr, "its range runs to infinity\n");
        else
            fprintf(stderr, "its skip %s is too small to move %c somewhere between %g and %g\n",
                    skip.c_str(), AXIS_NAME[a], (double)axis[0], (double)axis[1]);
        return false;
    }
    for (int a = 0; a < 3; a++)
        if (plan.values[a] == 0)
            fprintf(stderr, "warning: the %c sweep visits no value (from %g to %g); the picture is empty\n",
                    AXIS_NAME[a], (double)plan.range[3 * a], (double)plan.range[3 * a + 1]);
    return true;
}

// ---- the output file ----

// The file that is replaced: a link is followed, so that the link stays and
// its target gets the picture.
static std::string writtenPath(const char *path)
{
    char *target = realpath(path, nullptr);
    std::string written = target ? target : path;
    free(target);
    return written;
}

// Why path cannot be written, found before a long render; empty if it can.
// Only a regular file is replaced: renaming over a device or a pipe (as root,
// /dev/null) would put a file in its place.
static std::string outputProblem(const std::string &path)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return strerror(EISDIR);
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return "it is not a regular file";
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (stat(folder.c_str(), &info) != 0)
        return strerror(errno);
    if (!S_ISDIR(info.st_mode))
        return strerror(ENOTDIR);
    return access(folder.c_str(), W_OK | X_OK) == 0 ? "" : strerror(errno);
}

static void reportWriteFailure(const char *path, const std::string &reason)
{
    fprintf(stderr, "latticegraph: cannot write %s: %s\n", path, reason.c_str());
}

struct writeProgress {
    progressLine line{ "writing  ", "rows" };
    int size;
};

static bool rowWritten(void *context, int y)
{
    writeProgress &progress = *(writeProgress *)context;
    progress.line.update(y + 1, progress.size);
    return !interruptRequested();
}

// The cells through the colour ramp, as drawFIG paints them.
struct picturePainter {
    const int *cells;
    int size;
    int gain;
    uint32_t palette[RAMP_TOP + 1];
};

static void paintRows(void *context, int first, int count, uint32_t *out)
{
    const picturePainter &painter = *(const picturePainter *)context;
    std::vector<uint32_t *> rows(count);
    for (int r = 0; r < count; r++)
        rows[r] = out + (size_t)r * painter.size;
    paintCells(painter.cells, painter.size, painter.gain, painter.palette, rows.data(), first, first + count);
}

static bool writePicture(const cellGrid &cells, const exportPlan &plan, int gain, const char *path, int *error)
{
    rampColour ramp[RAMP_TOP + 1];
    buildRamp(plan.fig.Color, ramp);
    int size = plan.size, threads = plan.threads;
    picturePainter painter{ cells.data(), size, gain, {} };
    for (int v = 0; v <= RAMP_TOP; v++)
        painter.palette[v] = packPixel(ramp[v].r, ramp[v].g, ramp[v].b);
    writeProgress progress{ .size = size };
    bool written = writePNG(path, size, paintRows, &painter, threads, rowWritten, &progress, error);
    progress.line.finish();
    return written;
}

// ---- the whole export ----

// The gain that fits the cells, said on stderr so that it can go into the
// figure; where nothing is lit the figure's own gain stays.
static int fittedGain(const cellGrid &cells, const exportPlan &plan)
{
    int figureGain = plan.fig.ColorPow;
    int gain = fittingGain(cells.data(), (long long)plan.size * plan.size, plan.fig.style);
    if (gain == NO_FITTING_GAIN) {
        fprintf(stderr, "latticegraph: --auto-gain: no cell is lit; the figure's gain %d stays\n", figureGain);
        return figureGain;
    }
    fprintf(stderr, "latticegraph: --auto-gain: gain %d (the figure's is %d)\n", gain, figureGain);
    return gain;
}

static exportOutcome renderAndWrite(const exportRequest &request, const exportPlan &plan, const std::string &path)
{
    cellGrid cells = sweepExport(plan, progressLine::shown());
    if (interruptRequested())
        return exportOutcome::interrupted;
    int gain = request.autoGain ? fittedGain(cells, plan) : plan.fig.ColorPow;
    int error = 0;
    if (writePicture(cells, plan, gain, path.c_str(), &error))
        return exportOutcome::written;
    if (interruptRequested())
        return exportOutcome::interrupted;
    reportWriteFailure(request.outPath, strerror(error));
    return exportOutcome::failed;
}

exportOutcome exportFigure(const figure &fig, const exportRequest &request)
{
    warnFindings(fig);
    exportPlan plan = planExport(fig, request);
    if (!sweepsEnd(plan, request.figureName))
        return exportOutcome::refused;
    std::string path = writtenPath(request.outPath);
    if (std::string problem = outputProblem(path); !problem.empty()) {
        reportWriteFailure(request.outPath, problem);
        return exportOutcome::failed;
    }
    catchInterrupts();
    exportOutcome outcome;
    try {
        outcome = renderAndWrite(request, plan, path);
    } catch (const std::bad_alloc &) {
        fprintf(stderr, "latticegraph: cannot export %s: not enough memory for a %dx%d picture\n",
                request.figureName, plan.size, plan.size);
        return exportOutcome::failed;
    } catch (const std::system_error &failure) {
        fprintf(stderr, "latticegraph: cannot export %s: cannot start a thread (%s)\n", request.figureName,
                failure.what());
        return exportOutcome::failed;
    }
    if (outcome == exportOutcome::interrupted)
        fprintf(stderr, "latticegraph: interrupted; %s was not written\n", request.outPath);
    return outcome;
}

int endByInterrupt()
{
    int signal = interruptSignal();
    if (signal == 0)
        return 1;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return 128 + signal;
}
