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
#include <strings.h>
#include <system_error>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>
#include "export/export.h"
#include "export/png.h"
#include "export/progress.h"
#include "formula/formula.h"
#include "io/replace.h"
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

static int threadsFor(const exportRequest &request, long long xValues)
{
    int threads = request.threads > 0 ? request.threads : processorCount();
    if (xValues > 0 && xValues < threads)
        threads = (int)xValues;
    return threads;
}

// Grids of their own spare the threads the atomic updates of a shared grid
// while all of them together stay this small; beyond it the peak memory
// would grow with the thread count.
const double PRIVATE_GRIDS_BYTES = 32 << 20;

static bool sharesGrid(int size, int threads)
{
    return threads > 1 && (double)size * size * sizeof(int) * threads > PRIVATE_GRIDS_BYTES;
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
    plan.sharedGrid = sharesGrid(plan.size, plan.threads);
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

// Whether the sweep of the axis is ever reached: an outer sweep that visits
// no value leaves it unreached, as the window's render does.
static bool reached(const exportPlan &plan, int axis)
{
    for (int outer = 0; outer < axis; outer++)
        if (plan.values[outer] == 0)
            return false;
    return true;
}

static void explainEndless(const exportPlan &plan, int a, const char *figure)
{
    const float *axis = plan.range + 3 * a;
    std::string skip = skipShown(plan, a);
    fprintf(stderr, "latticegraph: cannot export %s: the %c sweep never ends: ", figure, AXIS_NAME[a]);
    if (!(axis[2] > 0))
        fprintf(stderr, "its skip %s is not above 0\n", skip.c_str());
    else if (std::isinf(axis[0]) || std::isinf(axis[1]))
        fprintf(stderr, "its range runs to infinity\n");
    else
        fprintf(stderr, "its skip %s is too small to move %c somewhere between %g and %g\n", skip.c_str(),
                AXIS_NAME[a], (double)axis[0], (double)axis[1]);
}

// There is no Esc here: a sweep that would never end is refused, by name,
// when the export would reach it.
static bool sweepsEnd(const exportPlan &plan, const char *figure)
{
    for (int a = 0; a < 3; a++)
        if (plan.values[a] < 0 && reached(plan, a)) {
            explainEndless(plan, a, figure);
            return false;
        }
    for (int a = 0; a < 3; a++)
        if (plan.values[a] == 0)
            fprintf(stderr, "warning: the %c sweep visits no value (from %g to %g); the picture is empty\n",
                    AXIS_NAME[a], (double)plan.range[3 * a], (double)plan.range[3 * a + 1]);
    return true;
}

// ---- the output file ----

// "-" names standard output, which gets the picture as it is made.
static bool toStandardOutput(const char *path)
{
    return strcmp(path, "-") == 0;
}

static void warnName(const char *path)
{
    size_t length = strlen(path);
    if (!toStandardOutput(path) && (length < 4 || strcasecmp(path + length - 4, ".png") != 0))
        fprintf(stderr, "warning: %s does not end in .png; it is written as a PNG file all the same\n", path);
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

static const char *outputName(const char *path)
{
    return toStandardOutput(path) ? "standard output" : path;
}

static void reportWriteFailure(const char *path, const std::string &reason)
{
    fprintf(stderr, "latticegraph: cannot write %s: %s\n", outputName(path), reason.c_str());
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
    bool written = toStandardOutput(path)
                       ? writePNGStream(stdout, size, paintRows, &painter, threads, rowWritten, &progress, error)
                       : writePNG(path, size, paintRows, &painter, threads, rowWritten, &progress, error);
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

// The output file as the export writes it: links followed, so that a link
// stays and the file it names gets the picture. Empty with a message when
// it cannot be written.
static std::string outputPath(const char *outPath)
{
    if (toStandardOutput(outPath))
        return outPath;
    std::string path = replacedPath(outPath);
    if (std::string problem = outputProblem(path); !problem.empty()) {
        reportWriteFailure(outPath, problem);
        return "";
    }
    return path;
}

exportOutcome exportFigure(const figure &fig, const exportRequest &request)
{
    warnFindings(fig);
    exportPlan plan = planExport(fig, request);
    if (!sweepsEnd(plan, request.figureName))
        return exportOutcome::refused;
    std::string path = outputPath(request.outPath);
    if (path.empty())
        return exportOutcome::failed;
    warnName(request.outPath);
    catchInterrupts();
    // Past a file size limit a write fails with EFBIG, reported like any
    // other, instead of the signal ending the process mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
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
    if (outcome == exportOutcome::interrupted && toStandardOutput(request.outPath))
        fprintf(stderr, "latticegraph: interrupted; standard output holds part of the picture\n");
    else if (outcome == exportOutcome::interrupted)
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
