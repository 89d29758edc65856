// The render core on small lattices (cells, dropped points, cancel at any
// loop test on both evaluation paths) and the render as the screen shows it.
#include <gtest/gtest.h>
#include <bit>
#include <chrono>
#include <cmath>
#include <set>
#include <vector>
#include "formula/batch.h"
#include "render/lattice.h"
#include "app/app.h"
#include "tests/unit/headless.h"

static std::vector<int> cells(AREA_PX * AREA_PX);
static float point[3];

static sweepJob job(const char *x, const char *y, const char *z, std::vector<float> range, int figureStyle = 0)
{
    sweepJob j;
    std::copy(range.begin(), range.end(), j.range);
    j.style = (unsigned char)figureStyle;
    j.forms[0] = toFormula(x), j.forms[1] = toFormula(y), j.forms[2] = toFormula(z);
    j.size = AREA_PX, j.cells = cells.data(), j.point = point;
    return j;
}

static int cellAt(int x, int y) { return cells[x * AREA_PX + y]; }
static long cellSum() { long sum = 0; for (int c : cells) sum += c; return sum; }

const std::vector<float> ONE_POINT = { 0, 0, 1, 0, 0, 1, 0, 0, 1 };

TEST(Render, PixelOfValue)
{
    const std::pair<float, int> rows[] = { { 0, 240 }, { 0.5f, 360 }, { -0.5f, 120 }, { -1, 0 }, { 0.999f, 479 },
        { 0.004f, 240 }, { -0.004f, 240 }, { -0.0042f, 239 }, { -1.004f, 0 }, { 0.770833313f, 425 }, { 1.0f, -1 },
        { -241.0f / 240, -1 }, { NAN, -1 }, { INFINITY, -1 }, { -INFINITY, -1 }, { 3e9f, -1 }, { -3e9f, -1 } };
    for (auto &[value, column] : rows)
        EXPECT_EQ(pixelOfValue(value), column) << value;
    EXPECT_EQ(pixelOfValue(-1, 2048), 0);
    EXPECT_EQ(pixelOfValue(0.999f, 2048), 2046);
}

TEST(Render, DepthsAndDroppedPoints)
{
    const struct { const char *x, *z; int column, depth; } rows[] = {
        { "0.999", "5", 479, 5 }, { "-1", "5", 0, 5 }, { "0", "46340*46340", 240, (int)(46340.0f * 46340.0f) } };
    for (auto &row : rows) {
        sweepLattice(job(row.x, "0", row.z, ONE_POINT, STYLE_HIGHEST_Z));
        EXPECT_EQ(cellAt(row.column, 240), row.depth) << row.x << " " << row.z;
    }
    const struct { const char *x, *z; } dropped[] = { { "1", "5" }, { "(0+-1)^.5", "5" }, { "1/0", "5" },
        { "0", "(0+-1)^.5" }, { "0", "1/0" }, { "0", "99999*99999" }, { "0", "-5" } };
    for (auto &row : dropped) {
        sweepLattice(job(row.x, "0", row.z, ONE_POINT, STYLE_HIGHEST_Z));
        EXPECT_EQ(cellSum(), 0) << row.x << " " << row.z;
    }
}

TEST(Render, Styles)
{
    const std::vector<float> nine = { 0, 0.5f, 0.25f, 0, 0.5f, 0.25f, 3, 7, 2 };   // 3 x 3 x 3 points
    const struct { int style; int cell; } rows[] = { { STYLE_COUNTS, 3 }, { STYLE_HIGHEST_Z, 7 }, { 2, 0 } };
    for (auto &row : rows) {
        sweepLattice(job("X", "Y", "Z", nine, row.style));
        EXPECT_EQ(cellAt(300, 360), row.cell) << row.style;
        EXPECT_EQ(cellSum(), 9L * row.cell) << row.style;
    }
}

// Stops at loop test stopAt and every later one, or (when negative) at that one only.
struct stopCounter { int tests = 0, stopAt = 0; };
static bool stopAtTest(void *context)
{
    stopCounter &c = *(stopCounter *)context;
    c.tests++;
    return c.stopAt > 0 ? c.tests >= c.stopAt : c.tests == -c.stopAt;
}

// The cells and the point (as bits) after a sweep from a known point.
static std::vector<int> sweptState(sweepJob j, evaluation path)
{
    j.path = path;
    point[2] = -7;                  // a sweep with no Y value leaves Z alone
    sweepLattice(j);
    std::vector<int> state = cells;
    for (float t : point)
        state.push_back(std::bit_cast<int>(t));
    return state;
}

static int everyPoint(void *) { return 2; }

// The watched sweep asks every test at a grain of 2: the point-by-point sweep's cells and point.
static std::vector<int> cancelledRun(sweepJob j, int stopAt, evaluation path, bool watched = false)
{
    stopCounter counter{ 0, stopAt };
    j.hooks.stop = stopAtTest, j.hooks.context = &counter;
    j.hooks.grain = watched ? everyPoint : nullptr;
    return sweptState(j, path);
}

TEST(Render, CancelEndsEachSweepAtItsNextTest)
{
    // loop tests: X, Y, Z (point 0,0), Y, Z <- stop; then X steps once more
    std::vector<int> state = cancelledRun(job("X", "Y", "0", { 0, 0.5f, 0.25f, 0, 0.5f, 0.25f, 0, 0, 1 }), 5,
                                          evaluation::compiled);
    EXPECT_EQ(cellSum(), 1);
    EXPECT_EQ(cellAt(240, 240), 1);
    EXPECT_EQ(point[0], 0.25f);
    EXPECT_EQ(point[1], 0.5f);
    EXPECT_EQ(point[2], 0.0f);
}

// The last figure's Z sweep never ends: only a stop at every later test ends it.
TEST(Render, BothPathsGiveTheSameCellsAndStopPoint)
{
    const char *figures[][3] = { { "CX*S(X/Y)", "SX*S(Y/X)", "Z" }, { "S(X*Z)", "C(Y+Z)", "Z*X^Y" },
                                 { "X^.5/4", "T(Y)/9", "9/Z" }, { "S(X*Z)", "CY", "Z" } };
    const std::vector<float> range = { -62.8318f, 62.8318f, 0.5f, -62.8318f, 62.8318f, 0.5f, 0, 0, 1 };
    for (int f = 0; f < 4; f++) {
        sweepJob j = job(figures[f][0], figures[f][1], figures[f][2], range, f % 2);
        j.range[7] = (float)f;
        j.range[8] = f == 3 ? 0.0f : 1.0f;
        for (int stopAt : { 700, f == 3 ? 900 : -700, 40000, f == 3 ? 90000 : -40000 }) {
            std::vector<int> reference = cancelledRun(j, stopAt, evaluation::reference);
            for (evaluation path : { evaluation::compiled, evaluation::perPoint })
                EXPECT_EQ(cancelledRun(j, stopAt, path), reference) << f << " " << stopAt << " " << (int)path;
            EXPECT_EQ(cancelledRun(j, stopAt, evaluation::compiled, true), reference) << f << " " << stopAt;
        }
    }
}

// Hooks that look only between X values: the 10th X test stops after nine
// whole X values (every point of both figures lands on the grid), on every
// path; also where X values have few points and could be recorded ahead.
TEST(Render, HooksBetweenXValuesOnly)
{
    const struct { sweepJob j; long pointsPerX; } figures[] = {
        { job("CX*S(X/Y)", "SX*S(Y/X)", "Z", { -62.8318f, 62.8318f, 0.5f, -62.8318f, 62.8318f, 0.5f, 0, 0, 1 }), 252 },
        { job("S(X+Y)*.9", "C(X*2+Y)*.9", "Z", { 0, 60, 0.01f, 0, 4, 1, 0, 0, 1 }), 5 } };
    for (auto figure : figures) {
        figure.j.hooks.deepestAxis = 0;
        std::vector<int> reference = cancelledRun(figure.j, 10, evaluation::reference);
        EXPECT_EQ(cellSum(), 9 * figure.pointsPerX);
        EXPECT_EQ(cancelledRun(figure.j, 10, evaluation::compiled), reference);
    }
}

// Ops read every set of axes (2^2 reads none and is folded), over a Z sweep
// of one value, one of a few (runs of whole columns) and one of many (runs
// within a column), and an empty Y sweep. Then X values with few points,
// whose rows are made for blocks of X values and whose points are recorded a
// block at a time: rows over Y, rows over Z, and rows over both spread
// over the points. Without hooks, or with a stop that throws the cells
// away, so the batched sweep records whole X values and must leave the
// point where the sweep does; and split over two jobs by X value.
const char *const EVERY_AXIS_SET[3] = { "S(X*3)*.5+CY*CZ*.3", "(X*Y)^.5/9+T(X+Z)/20-2^2/9", "Z*40+Y*X" };

TEST(Render, EveryAxisSetIsReadByTheBatchedFigure)
{
    myFormula records[3] = { toFormula(EVERY_AXIS_SET[0]), toFormula(EVERY_AXIS_SET[1]), toFormula(EVERY_AXIS_SET[2]) };
    formulaPlan plan = planFormulas(records);
    unsigned setsRead = 0;
    for (int i = 0; i < plan.opCount; i++)
        setsRead |= 1u << plan.reads[plan.ops[i].result];
    EXPECT_EQ(setsRead, 0xFEu);
}

TEST(Render, BatchedCellsForEveryAxisSetAndShortRows)
{
    const char *const *axisSets = EVERY_AXIS_SET;
    const char *const shortY[3] = { "X/64*C(X/6+Y*1.2566)", "X/64*S(X/6+Y*1.2566)", "Y*20" };
    const char *const shortZ[3] = { "S(X*3+Z)*.9", "CZ*.9", "X*40" };
    const char *const shortYZ[3] = { "S(X+Y)*.9", "C(X*Z)*.9", "Y*9+Z*2" };
    const struct { const char *const *forms; std::vector<float> range; long sum, depthSum; } rows[] = {
        { axisSets, { -2, 2, 0.01f, 0, 3, 0.05f, 0, 0, 1 }, 11739, 9381 },
        { axisSets, { -2, 2, 0.25f, 0, 3, 0.5f, -1, 1, 0.2f }, 746, 8378 },
        { axisSets, { -2, 2, 0.25f, 0, 3, 0.5f, 0, 70, 1 }, 4854, 6362951 },
        { axisSets, { -2, 2, 0.25f, 3, 0, 0.5f, 0, 70, 1 }, 0, 0 },
        { shortY, { 0, 60, 0.01f, 0, 4, 1, 0, 0, 1 }, 30005, 278480 },
        { shortZ, { 0, 6.3f, 0.003f, 0, 0, 1, 0, 5, 1 }, 12606, 520009 },
        { shortYZ, { -3, 3, 0.01f, 0, 2, 1, 0, 3, 1 }, 7212, 73072 } };
    for (auto &row : rows) {
        for (int figureStyle : { STYLE_COUNTS, STYLE_HIGHEST_Z }) {
            sweepJob j = job(row.forms[0], row.forms[1], row.forms[2], row.range, figureStyle);
            std::vector<int> reference = sweptState(j, evaluation::reference);
            EXPECT_EQ(cellSum(), figureStyle == STYLE_COUNTS ? row.sum : row.depthSum) << row.forms[0];
            EXPECT_EQ(sweptState(j, evaluation::compiled), reference) << row.range[8] << " " << figureStyle;
            sweepJob watched = j;       // a stop that throws the cells away
            watched.hooks = sweepHooks{ [](void *) { return false; }, nullptr, nullptr, 0, false };
            EXPECT_EQ(sweptState(watched, evaluation::compiled), reference) << row.range[8] << " " << figureStyle;
            std::vector<int> merged(cells.size());
            for (j.xParts = 2, j.xPart = 0; j.xPart < 2; j.xPart++) {
                sweepLattice(j);
                for (size_t c = 0; c < cells.size(); c++)
                    merged[c] = figureStyle == STYLE_COUNTS ? merged[c] + cells[c] : std::max(merged[c], cells[c]);
            }
            EXPECT_EQ(merged, std::vector<int>(reference.begin(), reference.end() - 3)) << row.range[8];
        }
    }
}

// The point-by-point sweep stopped at every test from its k-th point on.
struct afterPoints { long points = 0, k = 0; };
static bool pointsReached(void *c) { return ((afterPoints *)c)->points >= ((afterPoints *)c)->k; }
static void countPoint(void *c, int axis, const float *) { ((afterPoints *)c)->points += axis == 2; }

// A watched sweep stopped at its n-th look and every later one, at a grain
// that changes at every look (once at 0, it looks again only a run later).
struct looks { int asked = 0, stopAt = 0, grains = 0; };
static bool lookStops(void *c) { return ++((looks *)c)->asked >= ((looks *)c)->stopAt; }
static int changingGrain(void *c)
{
    int grains = ((looks *)c)->grains++;
    return grains % 29 == 28 ? 0 : 1 + grains % 2;
}

// Every point of these figures lands on the grid in the counting style, so
// a watched sweep stopped anywhere has recorded as many points as its cells
// count: they must be the cells of the point-by-point sweep stopped after
// that many points. (Where the stop is noticed between the same two points,
// at an X, Y or Z test, moves only the point it leaves.) Runs of points per X value, of whole
// columns, of blocks of X values, and runs that end inside a Z sweep.
TEST(Render, WatchedSweepStopsAfterExactlyThePointsItRecorded)
{
    const struct { const char *x, *y, *z; std::vector<float> range; } rows[] = {
        { "S(X*Z)*.9", "C(Y+Z)*.9", "Z", { 0, 2, 0.25f, 0, 1, 0.25f, 0, 3, 1 } },
        { "S(X+Y)*.9", "C(X*2+Y)*.9", "Y", { 0, 2, 0.25f, 0, 1, 0.25f, 0, 3, 1 } },
        { "S(X*Z/99)*.9", "C(Y+Z)*.9", "Z", { 0, 1, 1, 0, 1, 1, 0, 1039, 1 } } };
    for (auto &row : rows) {
        std::set<long> stoppedAfter;
        for (int n = 1; n < 45; n++) {
            sweepJob j = job(row.x, row.y, row.z, row.range, STYLE_COUNTS);
            looks watch{ 0, n, 0 };
            j.hooks = sweepHooks{ lookStops, nullptr, &watch };
            j.hooks.grain = changingGrain;
            std::vector<int> watched = sweptState(j, evaluation::compiled);
            afterPoints count{ 0, cellSum() };
            j.hooks = sweepHooks{ pointsReached, countPoint, &count };
            sweptState(j, evaluation::perPoint);
            EXPECT_TRUE(std::equal(cells.begin(), cells.end(), watched.begin())) << row.x << " " << n;
            stoppedAfter.insert(count.k);
        }
        EXPECT_GE(stoppedAfter.size(), 10u) << row.x;
    }
}

// While no step is watched (grain -1), a second thread sweeps the last X
// values into cells of its own; the watched cells must still hold a prefix
// of the sweep wherever it stops, and the whole figure once it ends. A
// grain of 0 from the m-th look on sends the sweep on alone.
static int unwatchedUntil(void *c) { return ((looks *)c)->grains++ < ((looks *)c)->stopAt ? -1 : 0; }

// A sweep slow up to its n-th look, where the second thread then starts
// (inside a chunk of X values): the stop hook holds that look until the
// sweep has run SLOW_START_S, and never stops it.
const double SLOW_START_S = 0.002;
static bool slowUntilLook(void *c)
{
    looks &watch = *(looks *)c;
    if (++watch.asked == watch.stopAt)
        for (auto start = std::chrono::steady_clock::now();
             std::chrono::steady_clock::now() - start < std::chrono::duration<double>(SLOW_START_S);) {
        }
    return false;
}

TEST(Render, SharedWatchedSweepHoldsAPrefix)
{
    const std::vector<float> range = { 0, 40, 0.01f, 0, 1, 0.25f, 0, 7, 1 };   // 160,040 points
    const char *x = "S(X*Z)*.9", *y = "C(Y+Z*X)*.9";
    for (int n : { 1, 3, 10, 30, 60, 90, 120, 150, 1000 }) {
        sweepJob j = job(x, y, "Z", range, STYLE_COUNTS);
        looks watch{ 0, n, 0 };
        j.hooks = sweepHooks{ lookStops, nullptr, &watch };
        j.hooks.grain = [](void *) { return -1; }, j.threads = 2, j.shareAfterSeconds = 0;
        std::vector<int> watched = sweptState(j, evaluation::compiled);
        afterPoints count{ 0, cellSum() };
        j.hooks = sweepHooks{ pointsReached, countPoint, &count };
        sweptState(j, evaluation::perPoint);
        EXPECT_TRUE(std::equal(cells.begin(), cells.end(), watched.begin())) << n;
    }
    for (int figureStyle : { STYLE_COUNTS, STYLE_HIGHEST_Z }) {
        std::vector<int> whole = sweptState(job(x, y, "Z", range, figureStyle), evaluation::perPoint);
        for (int m : { 0, 1, 40, 1000 }) {
            sweepJob j = job(x, y, "Z", range, figureStyle);
            looks watch{ 0, m, 0 };
            j.hooks = sweepHooks{ [](void *) { return false; }, nullptr, &watch };
            j.hooks.grain = unwatchedUntil, j.threads = 2, j.shareAfterSeconds = 0;
            EXPECT_EQ(sweptState(j, evaluation::compiled), whole) << figureStyle << " " << m;
        }
        for (int n : { 2, 5, 13 }) {
            sweepJob j = job(x, y, "Z", range, figureStyle);
            looks watch{ 0, n, 0 };
            j.hooks = sweepHooks{ slowUntilLook, nullptr, &watch };
            j.hooks.grain = [](void *) { return -1; }, j.threads = 2, j.shareAfterSeconds = SLOW_START_S;
            EXPECT_EQ(sweptState(j, evaluation::compiled), whole) << figureStyle << " " << n;
        }
    }
}

// ---- on the screen ----

// The marks run just inside the progress box's 4-pixel border.
const int FIRST_MARK = PROGRESS_BOX.x + 4, LAST_MARK = PROGRESS_BOX.x + PROGRESS_BOX.w - 5;

static bool isGreenMark(int x) { return getpixel(screen, x, PROGRESS_BOX.y + 5) == makecol(64, 192, 96); }

TEST(ScreenRender, ProgressMarksSpanTheBox)
{
    headlessSetup();
    clear(screen);
    render(fig, PROGRESS_BOX);
    EXPECT_TRUE(isGreenMark(FIRST_MARK));
    EXPECT_TRUE(isGreenMark(LAST_MARK));
    EXPECT_FALSE(isGreenMark(FIRST_MARK - 1));
    EXPECT_FALSE(isGreenMark(LAST_MARK + 1));
}

// X sweeps of fewer values than the box has columns, of about as many, and
// of many more (with columns too far left or right for the screen): a mark
// stands exactly on the column of each X value.
TEST(ScreenRender, ProgressMarksStandOnTheColumnsOfTheXValues)
{
    const float rows[][3] = { { -3, 3, 0.25f }, { 0, 1, 1.0f / 119 }, { -62.8318f, 62.8318f, 0.002f },
                              { -1e6f, 3, 0.5f }, { 0.1f, 1e9f, 3e5f } };
    for (auto &row : rows) {
        headlessSetup();
        clear(screen);
        std::copy(row, row + 3, fig.Range);
        fig.Range[4] = fig.Range[3];        // one point per X value
        render(fig, PROGRESS_BOX);
        std::vector<bool> marked(SCREEN_W_PX);
        for (float x = row[0]; x <= row[1]; x = x + row[2])
            if (int column = progressColumn(x, row[0], row[1], PROGRESS_BOX); column >= 0)
                marked[column] = true;
        int differing = 0;
        for (int c = PROGRESS_BOX.x; c < PROGRESS_BOX.x + PROGRESS_BOX.w; c++)
            differing += isGreenMark(c) != marked[c];
        EXPECT_EQ(differing, 0) << row[0] << " " << row[1] << " " << row[2];
    }
}

TEST(ScreenRender, EscHeldAtStartClearsTheCellsAndWaitsForRelease)
{
    headlessSetup();
    clear(screen);
    life[100] = 7;
    key[KEY_ESC] = 1;               // released by the first wait
    render(fig, PROGRESS_BOX);
    EXPECT_EQ(key[KEY_ESC], 0);
    EXPECT_EQ(life[100], 0);
    EXPECT_FALSE(isGreenMark(FIRST_MARK));
    EXPECT_EQ(getpixel(screen, PROGRESS_BOX.x, PROGRESS_BOX.y), makecol(99, 99, 99));  // the cancel label's ring
}

static long long countByStepping(float low, float high, float step)
{
    long long count = 0;
    for (float v = low; v <= high && count <= 50000000; v = v + step)
        count++;
    return count > 50000000 ? -1 : count;
}

TEST(SweepCount, MatchesStepping)
{
    const float rows[][3] = { { -62.8318f, 62.8318f, 0.5f }, { 0, 0, 1 }, { 1, 0, 1 }, { 0, 1, NAN }, { NAN, 1, 1 },
        { 0, 60, 0.003f }, { 0, 2, 0.00005f }, { -1e-40f, 1e-40f, 1e-45f }, { 0, 16777216, 1 }, { 8388607, 8388610, 0.5f },
        { 8388600, 8388610, 1.5f }, { -3.14f, 3.14f, 0.02f }, { 1, 4000, 1 }, { -1e30f, -1e29f, 1e28f },
        { 0, 1e7f, 0.75f }, { 0.1f, 7, 0.3f }, { -100, 100, 1.0f / 3 }, { 1, INFINITY, 1e38f } };
    for (auto &r : rows)
        EXPECT_EQ(sweepValueCount(r[0], r[1], r[2]), countByStepping(r[0], r[1], r[2])) << r[0] << " " << r[1] << " " << r[2];
}

TEST(SweepCount, NeverEnding)
{
    const float rows[][3] = { { 0, 1, 0 }, { 0, 1, -0.5f }, { -INFINITY, 1, 1 }, { 0, INFINITY, 1 }, { 0, 1e9f, 1 },
        { -1e9f, 0, 1 }, { 0, 1, 0.0000003f * 1e-40f } };
    for (auto &r : rows)
        EXPECT_EQ(sweepValueCount(r[0], r[1], r[2]), -1) << r[0] << " " << r[1] << " " << r[2];
}
