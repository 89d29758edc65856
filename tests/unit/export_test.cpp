// The export without a display: the skips of the plan, the same cells on any
// number of threads, the progress line, a stopped PNG file, and the command line.
#include <gtest/gtest.h>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <sys/stat.h>
#include "app/commandline.h"
#include "export/png.h"
#include "export/progress.h"

static figure exported;

static void useFigure(const char *x, const char *y, const char *z, std::vector<float> range, int figureStyle)
{
    exported = defaultFigure();
    setFormula(exported, AXIS_X, x), setFormula(exported, AXIS_Y, y), setFormula(exported, AXIS_Z, z);
    std::copy(range.begin(), range.end(), exported.Range);
    exported.style = (unsigned char)figureStyle;
}

static exportRequest sized(int size, int threads, std::vector<double> refine = {})
{
    exportRequest request;
    request.size = size, request.threads = threads;
    request.refineGiven = !refine.empty();
    std::copy(refine.begin(), refine.end(), request.refine);
    return request;
}

TEST(Export, PlanSkips)
{
    useFigure("X", "Y", "Z", { -62.8318f, 62.8318f, 0.5f, -62.8318f, 62.8318f, 0.5f, 0, 0, 1 }, STYLE_COUNTS);
    const struct { exportRequest request; float x, y, z; } rows[] = {
        { sized(480, 1), 0.5f, 0.5f, 1 },
        { sized(960, 1), 0.25f, 0.25f, 1 },
        { sized(2048, 1), (float)(0.5 * 480 / 2048), (float)(0.5 * 480 / 2048), 1 },
        { sized(960, 1, { 2, 1, 0.1 }), 1, 0.5f, (float)0.1 },
    };
    for (auto &row : rows) {
        exportPlan plan = planExport(exported, row.request);
        EXPECT_EQ(plan.range[2], row.x) << row.request.size;
        EXPECT_EQ(plan.range[5], row.y) << row.request.size;
        EXPECT_EQ(plan.range[8], row.z) << row.request.size;
    }
    EXPECT_EQ(planExport(exported, sized(480, 1)).values[0], 252);
    EXPECT_EQ(planExport(exported, sized(480, 64)).threads, 64);
    EXPECT_EQ(planExport(exported, sized(480, 1, { 1e-12, 1, 1 })).values[0], -1);
}

// Counts add and depths take the highest, whichever thread recorded them,
// into grids of their own or into one shared grid.
TEST(Export, SameCellsOnAnyThreads)
{
    const struct { const char *x, *y, *z; int style; } figures[] = {
        { "CX*S(X/Y)", "SX*S(Y/X)", "Z", STYLE_COUNTS },
        { "X/64", "Y/64", "40+200*S(X/9)*C(Y/7)", STYLE_HIGHEST_Z },
    };
    for (auto &f : figures) {
        useFigure(f.x, f.y, f.z, { -64, 64, 0.5f, -64, 64, 0.5f, 0, 2, 1 }, f.style);
        cellGrid one = sweepExport(planExport(exported, sized(96, 1)));
        EXPECT_GT(std::accumulate(one.begin(), one.end(), 0LL), 1000) << f.z;
        for (int threads : { 2, 3, 7 })
            for (bool shared : { false, true }) {
                exportPlan plan = planExport(exported, sized(96, threads));
                plan.sharedGrid = shared;
                EXPECT_TRUE(sweepExport(plan, true) == one) << f.z << threads << shared;
            }
    }
}

TEST(Export, ProgressText)
{
    EXPECT_EQ(progressText("rendering", 0.42, 1234567, "points", 75),
              "rendering  42% [########            ] 1.2 M points/s, 1:15 left");
}

TEST(Export, StoppedPngLeavesNoFile)
{
    auto paint = [](void *, int, int count, uint32_t *out) { std::fill(out, out + 16 * count, packPixel(1, 2, 3)); };
    int error = 0;
    const char *path = "export_test_stopped.png";
    auto stopAtRow2 = [](void *, int y) { return y < 2; };
    EXPECT_FALSE(writePNG(path, 16, paint, nullptr, 1, stopAtRow2, nullptr, &error));
    EXPECT_EQ(error, EINTR);
    struct stat info;
    EXPECT_NE(stat(path, &info), 0);
}

TEST(CommandLine, Parse)
{
    using enum commandAction;
    const struct { std::vector<const char *> args; commandAction action; const char *figure; int size, threads, scale; } rows[] = {
        { {}, window, nullptr, 480, 0, 0 },
        { { "a.fig" }, window, "a.fig", 480, 0, 0 },
        { { "--export", "default", "o.png" }, exportPicture, "default", 480, 0, 0 },
        { { "--export", "f", "o", "--size", "2048", "--threads", "3" }, exportPicture, "f", 2048, 3, 0 },
        { { "--size=16", "--export", "--", "-f", "o" }, exportPicture, "-f", 16, 0, 0 },
        { { "--export", "f", "o", "--refine", "0.5,0.5,2" }, exportPicture, "f", 480, 0, 0 },
        { { "--help", "--bogus" }, help, nullptr, 480, 0, 0 },
        { { "-h" }, help, nullptr, 480, 0, 0 },
        { { "--version" }, version, nullptr, 480, 0, 0 },
        { { "--bogus" }, usageError, nullptr, 480, 0, 0 },
        { { "--export", "f" }, usageError, nullptr, 480, 0, 0 },
        { { "--export", "f", "o", "--size" }, usageError, nullptr, 480, 0, 0 },
        { { "--export", "f", "o", "--size", "17" }, usageError, nullptr, 480, 0, 0 },
        { { "--export", "f", "o", "--size", "16386" }, usageError, nullptr, 480, 0, 0 },
        { { "--export", "f", "o", "--size", "12x" }, usageError, nullptr, 480, 0, 0 },
        { { "--export", "f", "o", "--refine", "1,0,1" }, usageError, nullptr, 480, 0, 0 },
        { { "--export", "f", "o", "--refine", "1,1" }, usageError, nullptr, 480, 0, 0 },
        { { "--export", "f", "o", "--threads", "0" }, usageError, nullptr, 480, 0, 0 },
        { { "--size", "64", "a.fig" }, usageError, nullptr, 480, 0, 0 },
        { { "--scale", "3", "a.fig" }, window, "a.fig", 480, 0, 3 },
        { { "--scale=9" }, usageError, nullptr, 480, 0, 0 },
        { { "--export", "f", "o", "--scale", "2" }, usageError, nullptr, 480, 0, 0 },
        { { "a.fig", "b.fig" }, usageError, nullptr, 480, 0, 0 },
    };
    for (auto &row : rows) {
        std::vector<const char *> argv = { "latticegraph" };
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        commandLine command = parseCommandLine((int)argv.size(), argv.data());
        std::string line = row.args.empty() ? "" : row.args[0] + std::string(" ...");
        EXPECT_EQ(command.action, row.action) << line;
        EXPECT_STREQ(command.figure, row.figure) << line;
        if (row.action == window) {
            EXPECT_EQ(command.scale, row.scale) << line;
        }
        if (row.action == exportPicture) {
            EXPECT_EQ(command.request.size, row.size) << line;
            EXPECT_EQ(command.request.threads, row.threads) << line;
        }
    }
}
