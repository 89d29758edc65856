// The sweep. Coordinates are accumulated in single precision, so the number
// of points a sweep visits follows from float rounding of its steps, and a
// step too small to move a coordinate never ends (only a stop hook does).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>
#include "formula/batch.h"
#include "formula/vecmath.h"
#include "render/lattice.h"

// trunc(scaled) + half lies in 0..size-1 exactly when -half-1 < scaled <
// half. Testing the float before converting keeps NaN and huge values away
// from an undefined conversion.
static inline int pixelOnGrid(float value, float half, int offset)
{
    float scaled = value * half;
    if (!(scaled > -half - 1.0f && scaled < half))
        return -1;
    return (int)scaled + offset;
}

int pixelOfValue(float value, int size)
{
    return pixelOnGrid(value, (float)(size / 2), size / 2);
}

// Where the float grid around v stops being uniform in the direction of a
// rising sweep: the top of v's binade, or for a negative v the end of its
// binade toward zero. The grid is uniform from -2^-125 to 2^-125.
static double uniformGridEnd(float v)
{
    float magnitude = std::fabs(v);
    if (magnitude < 0x1p-125f)
        return 0x1p-125;
    int e = std::ilogb(magnitude);
    return v > 0 ? std::ldexp(1.0, e + 1) : -std::ldexp(1.0, e);
}

// On a uniform grid every step of a rising sweep adds the same amount (after
// a first step that may settle a tie onto an even value), so the steps that
// stay on the grid and at most maximum can be taken at once.
static long long stepsAtOnce(float v, float maximum, float next, float after)
{
    double d = (double)next - v;
    if ((double)after - next != d)
        return 0;
    double toGridEnd = std::floor((uniformGridEnd(v) - v) / d) - 1;
    double toMaximum = std::floor(((double)maximum - v) / d);
    double n = std::min(toGridEnd, toMaximum);
    return n >= 2 ? (long long)std::min(n, 0x1p60) : 0;
}

long long sweepValueCount(float minimum, float maximum, float skip)
{
    long long count = 0;
    float v = minimum;
    while (v <= maximum) {
        float next = v + skip;
        if (std::isnan(next))
            return count + 1;       // NaN ends the sweep at its next test
        if (!(next > v))
            return -1;              // stays at or below v, so at most maximum for ever
        long long n = stepsAtOnce(v, maximum, next, next + skip);
        if (n > 0) {
            count += n;
            v = (float)(v + n * ((double)next - v));
        } else {
            count++;
            v = next;
        }
    }
    return count;
}

const int NO_DEPTH = INT_MIN;        // below every cell
const long long LISTED_VALUES = 1 << 20;    // the most Y or Z values a batched sweep lists
const int RUN = batchLimits{}.runLength;
const size_t X_LIST = batchLimits{}.xLength;
const long long X_LIST_STEPS = 1 << 16;     // a job of many parts lists fewer X values ahead
const int SWEEP_BLOCKS_FROM_HEAP = 32 << 20;    // smaller blocks come from the heap, not a mapping of their own
const int SWEEP_MEMORY_KEPT = 256 << 20;        // the most free memory the heap keeps
const long long SHARED_SWEEP_XS = 1 << 26;        // the most X values a sweep shares: the second thread steps through them
const int PREFETCH_AHEAD = 48;      // points between the fetch of a cell and its update: about a memory latency

// A depth that is NaN, infinite or beyond the int range counts as below
// every cell (cells are never negative), so it never changes one.
static int depthOfValue(float value)
{
    if (!(value > -2147483648.0f && value < 2147483648.0f))
        return NO_DEPTH;
    return (int)value;
}

sweepJob figureJob(const figure &f, int *cells, int size, float *point)
{
    sweepJob job;
    memcpy(job.range, f.Range, sizeof job.range);
    job.style = f.style;
    job.forms[0] = f.myXForm;
    job.forms[1] = f.myYForm;
    job.forms[2] = f.myZForm;
    job.size = size;
    job.cells = cells;
    job.point = point;
    return job;
}

// ---- recording ----

// The cell a point's X and Y values land on, or -1 when it is dropped.
static int cellOfValues(const sweepJob &job, float x, float y)
{
    float half = (float)(job.size / 2);
    int px = pixelOnGrid(x, half, job.size / 2);
    int py = pixelOnGrid(y, half, job.size / 2);
    return px < 0 || py < 0 ? -1 : px * job.size + py;
}

// Without branches on the cell's value, which the processor could not
// foresee: a cell's load then overlaps the next points' work.
template <int Style> static inline void recordPrivate(int *cells, int cell, int depth)
{
    if (cell < 0)
        return;
    int &value = cells[cell];
    if constexpr (Style == STYLE_COUNTS)
        value += value != INT_MAX;  // a sweep left running for hours must not wrap
    else if constexpr (Style == STYLE_HIGHEST_Z)
        value = std::max(value, depth);
}

// The same update on cells that other sweeps write at once. A count only
// grows and a depth only rises, so every update that changes the cell
// lands, and the cell ends as the private one would in any order.
template <int Style> static inline void recordShared(int *cells, int cell, int depth)
{
    if (cell < 0)
        return;
    std::atomic_ref<int> value(cells[cell]);
    int seen = value.load(std::memory_order_relaxed);
    if constexpr (Style == STYLE_COUNTS)
        while (seen != INT_MAX && !value.compare_exchange_weak(seen, seen + 1, std::memory_order_relaxed)) {
        }
    else if constexpr (Style == STYLE_HIGHEST_Z)
        while (depth > seen && !value.compare_exchange_weak(seen, depth, std::memory_order_relaxed)) {
        }
}

template <int Style, bool Shared> static inline void recordInto(int *cells, int cell, int depth)
{
    if constexpr (Shared)
        recordShared<Style>(cells, cell, depth);
    else
        recordPrivate<Style>(cells, cell, depth);
}

template <bool Shared> static void recordCell(const sweepJob &job, int cell, int depth)
{
    if (job.style == STYLE_COUNTS)
        recordInto<STYLE_COUNTS, Shared>(job.cells, cell, depth);
    else if (job.style == STYLE_HIGHEST_Z)
        recordInto<STYLE_HIGHEST_Z, Shared>(job.cells, cell, depth);
}

static void recordCell(const sweepJob &job, int cell, int depth)
{
    if (job.sharedCells)
        recordCell<true>(job, cell, depth);
    else
        recordCell<false>(job, cell, depth);
}

static void recordValues(const sweepJob &job, const float values[3])
{
    recordCell(job, cellOfValues(job, values[0], values[1]), depthOfValue(values[2]));
}

// ---- the engines: what a sweep computes on entering an axis's value and at a point ----

// evaluate and the programs sweep point by point.
struct pointEngine {
    static constexpr bool RECORDS_WHOLE_X = false;
    void recordWholeX() {}
};

// evaluate on copies of the records, at every point.
struct referenceEngine : pointEngine {
    const sweepJob &job;

    void enter(int, long long) {}
    void record()
    {
        memcpy(Time, job.point, sizeof Time);
        float values[3];
        for (int f = 0; f < 3; f++)
            values[f] = evaluate(job.forms[f]);
        recordValues(job, values);
    }
};

// The records' programs run axis by axis: the ops that depend only on X run
// once per X value, those that depend on Y once per (X, Y) pair, so a point
// costs only its Z ops. For sweeps whose values cannot be listed ahead.
struct programEngine : pointEngine {
    const sweepJob &job;
    formulaProgram programs[3];
    float registers[3][PROGRAM_REGISTERS];

    explicit programEngine(const sweepJob &j) : job(j)
    {
        for (int f = 0; f < 3; f++) {
            programs[f] = compileProgram(job.forms[f]);
            loadProgram(programs[f], registers[f]);
        }
    }
    void enter(int axis, long long)
    {
        for (int f = 0; f < 3; f++)
            runAxis(programs[f], registers[f], axis, job.point[axis]);
    }
    void record()
    {
        float values[3];
        for (int f = 0; f < 3; f++)
            values[f] = registers[f][programs[f].result];
        recordValues(job, values);
    }
};

// The cells and depths of a run of points, worked out for the whole run at once.
struct runCells {
    long long first = 0, count = 0;    // not int: a store to a cell cannot change them
    std::vector<int> cellOf = std::vector<int>(RUN), depthOf = std::vector<int>(RUN);

    void convert(const sweepJob &job, const batchRun &run);
};

// A step of 0 reads one value for every point.
template <int XStep, int YStep>
VECTOR_LOOP static void cellsOfRun(const float *x, const float *y, int *cells, int n, int size)
{
    float half = (float)(size / 2);
    for (int i = 0; i < n; i++) {
        int px = pixelOnGrid(x[i * XStep], half, size / 2), py = pixelOnGrid(y[i * YStep], half, size / 2);
        cells[i] = (px | py) < 0 ? -1 : px * size + py;
    }
}

void runCells::convert(const sweepJob &job, const batchRun &run)
{
    int n = run.count;
    const float *x = run.values[0].values, *y = run.values[1].values;
    int *cells = cellOf.data();
    switch (run.values[0].step * 2 + run.values[1].step) {
    case 0: cellsOfRun<0, 0>(x, y, cells, n, job.size); break;
    case 1: cellsOfRun<0, 1>(x, y, cells, n, job.size); break;
    case 2: cellsOfRun<1, 0>(x, y, cells, n, job.size); break;
    default: cellsOfRun<1, 1>(x, y, cells, n, job.size); break;
    }
    if (job.style == STYLE_HIGHEST_Z) {
        operandArray z = run.values[2];
        if (!z.step)
            std::fill(depthOf.begin(), depthOf.begin() + n, depthOfValue(z.values[0]));
        for (int i = 0; i < n && z.step; i++)
            depthOf[i] = depthOfValue(z.values[i]);
    }
    first = run.first;
    count = n;
}

// Every point of the run, each cell fetched a memory latency ahead.
template <int Style, bool Shared> static void recordRun(int *cells, const runCells &run)
{
    const int *cellOf = run.cellOf.data(), *depthOf = run.depthOf.data();
    for (long long i = 0; i < run.count; i++) {
        if (i + PREFETCH_AHEAD < run.count)
            __builtin_prefetch(cells + std::max(cellOf[i + PREFETCH_AHEAD], 0), 1);
        recordInto<Style, Shared>(cells, cellOf[i], depthOf[i]);
    }
}

// The values a sweep of an axis visits, and the value that ends it.
struct sweepValues {
    std::vector<float> values;
    float end;
};

// Whether the sweep records whole X values: the hooks look no deeper.
static bool wholeXOnly(const sweepHooks &hooks)
{
    return hooks.deepestAxis == 0 || (!hooks.stop && !hooks.stepDone);
}

// Whether it may record X values before the hooks see them: nothing looks
// at the cells before the sweep ends.
static bool mayRecordAhead(const sweepHooks &hooks)
{
    return wholeXOnly(hooks) && (!hooks.stoppedCellsKept || (!hooks.stop && !hooks.stepDone));
}

// The batched values of formula/batch.h over the listed Y and Z values. A
// run's values become cells and depths at once; they are recorded point by
// point as the sweep reaches them. Within a Z sweep the points follow one
// another; a new Y value may skip the rest of a Z sweep that a stop ended.
template <int Style, bool Shared> struct batchEngine {
    // Without hooks nothing can see the sweep between two X values, so it
    // records an X value's points in one go and leaves Y and Z where the
    // sweeps would. Where nothing sees the cells before the sweep ends (no
    // hooks, or a stop that throws them away) X values with few points are
    // recorded a block at a time, ahead of the sweep.
    static constexpr bool RECORDS_WHOLE_X = true;

    const sweepJob &job;
    int *const cells;
    const sweepValues &ys, &zs;
    const long long zCount;
    const long long xStride;        // a job of one part records every X value
    latticeBatch batch;
    runCells held;
    long long at = 0;               // the current point's place in held
    std::vector<float> xs;          // the listed X values: sweep index xFirst, then every xStride-th
    long long xFirst = 0;
    const bool ahead;
    long long listed = 0;           // the current X value's place in xs
    long long recordedTo = 0;       // the listed X values before this one are recorded

    batchEngine(const sweepJob &j, const sweepValues &y, const sweepValues &z)
        : job(j), cells(j.cells), ys(y), zs(z), zCount((long long)z.values.size()), xStride(std::max(j.xParts, 1)),
          batch(j.forms, y.values.data(), (long long)y.values.size(), z.values.data(), zCount),
          ahead(mayRecordAhead(j.hooks) && batch.makesBlockRuns())
    {
    }
    void moveTo(long long point)
    {
        if (point >= held.first && point < held.first + held.count) {
            at = point - held.first;
        } else {
            held.first = point;
            held.count = at = 0;
        }
    }
    // The X values from the one at index on that this job records, as its
    // sweep will step to them, up to a list's length.
    void listX(long long index)
    {
        const float *range = job.range;
        float v = job.point[0];
        xs.clear();
        xFirst = index;
        for (long long next = index; xs.size() < X_LIST && next - index < X_LIST_STEPS && v <= range[1];
             v = v + range[2], next++)
            if ((next - index) % xStride == 0)
                xs.push_back(v);
        batch.listX(xs.data(), (int)xs.size());
    }
    void enter(int axis, long long index)
    {
        if (axis == 0) {
            listed = (index - xFirst) / xStride;
            if (index < xFirst || listed >= (long long)xs.size()) {
                listX(index);
                listed = recordedTo = 0;
            }
            if (!ahead)
                batch.enterX((int)listed);
            held.count = 0;
        }
        if (axis < 2)
            moveTo(axis == 0 ? 0 : index * zCount);
    }
    void record()
    {
        if constexpr (Style < 0)
            return;
        if (at == held.count) {
            held.convert(job, batch.runAt(held.first + at));
            at = 0;
        }
        if (at + PREFETCH_AHEAD < held.count)
            __builtin_prefetch(cells + std::max(held.cellOf[at + PREFETCH_AHEAD], 0), 1);
        recordInto<Style, Shared>(cells, held.cellOf[at], held.depthOf[at]);
        at++;
    }
    void recordHeld() { recordRun<Style, Shared>(cells, held); }
    void recordWholeX()
    {
        if (Style >= 0 && ahead && listed >= recordedTo) {
            int xCount;
            held.convert(job, batch.blockRunAt((int)listed, xCount));
            recordHeld();
            recordedTo = listed + xCount;
        }
        long long points = Style < 0 || ahead ? 0 : (long long)ys.values.size() * zCount;
        for (long long first = 0; first < points; first += held.count) {
            held.convert(job, batch.runAt(first));
            recordHeld();
        }
        job.point[1] = ys.end;
        if (!ys.values.empty())
            job.point[2] = zs.end;
    }
};

// ---- the sweep ----

static bool skipsX(const sweepJob &job, long long index)
{
    return job.xParts > 1 && index % job.xParts != job.xPart;
}

// One sweep per axis, each made for its place in the nest and its engine.
// The coordinate is stored at every step, where the hooks and evaluate read
// it; the loop keeps its own copy, so its test need not wait for the store.
template <int axis, class Engine> static void sweepAxis(const sweepJob &job, Engine &engine)
{
    float *point = job.point;
    const float minimum = job.range[3 * axis], maximum = job.range[3 * axis + 1], skip = job.range[3 * axis + 2];
    const sweepHooks hooks = job.hooks;
    const bool seen = axis <= hooks.deepestAxis;
    long long index = 0;
    for (float v = minimum;; v = v + skip, index++) {
        point[axis] = v;
        if (!(v <= maximum) || (seen && hooks.stop && hooks.stop(hooks.context)))
            return;
        if (axis == 0 && skipsX(job, index))
            continue;
        engine.enter(axis, index);
        bool whole = false;
        if constexpr (axis == 0 && Engine::RECORDS_WHOLE_X)
            whole = wholeXOnly(hooks);
        if (whole)
            engine.recordWholeX();
        else if constexpr (axis < 2)
            sweepAxis<axis + 1>(job, engine);
        else
            engine.record();
        if (seen && hooks.stepDone)
            hooks.stepDone(hooks.context, axis, point);
    }
}

// The values a sweep of the axis visits, by the sweep's own float steps;
// false when there are too many to list or the sweep never ends.
static bool listSweepValues(const float *range, sweepValues &list)
{
    long long count = sweepValueCount(range[0], range[1], range[2]);
    if (count < 0 || count > LISTED_VALUES)
        return false;
    list.values.resize((size_t)count);
    float v = range[0];
    for (float &value : list.values) {
        value = v;
        v = v + range[2];
    }
    list.end = v;
    return true;
}

// The batched sweep, when the Y and Z values can be listed and the memory
// for the tables is there. A style that records nothing still sweeps: the
// hooks see every point.
template <int Style, bool Shared> static bool sweepBatched(const sweepJob &job)
{
    sweepValues ys, zs;
    std::unique_ptr<batchEngine<Style, Shared>> engine;
    try {
        if (!listSweepValues(job.range + 3, ys) || !listSweepValues(job.range + 6, zs))
            return false;
        engine = std::make_unique<batchEngine<Style, Shared>>(job, ys, zs);
    } catch (const std::bad_alloc &) {
        return false;
    }
    sweepAxis<0>(job, *engine);
    return true;
}

template <bool Shared> static bool sweepBatched(const sweepJob &job)
{
    if (job.style == STYLE_COUNTS)
        return sweepBatched<STYLE_COUNTS, Shared>(job);
    if (job.style == STYLE_HIGHEST_Z)
        return sweepBatched<STYLE_HIGHEST_Z, Shared>(job);
    return sweepBatched<-1, false>(job);
}

static bool sweepBatched(const sweepJob &job)
{
    return job.sharedCells ? sweepBatched<true>(job) : sweepBatched<false>(job);
}

// ---- the watched sweep: runs recorded in sweep order, computed ahead ----

// The runs of a sweep's points in sweep order, over the X values from index
// from (whose value is x) up to index to: a run's first is the ordinal of
// its first point in the whole sweep.
class runSource {
public:
    runSource(const sweepJob &j, latticeBatch &b, long long points, long long from = 0, float x = NAN,
              long long to = LLONG_MAX)
        : job(j), batch(b), perX(points), blocks(b.makesBlockRuns()), xEnd(to),
          nextX(from ? x : j.range[0]), listedFrom(from), xIndex(from)
    {
    }
    // False when the X sweep, or its part, has ended.
    bool next(runCells &run)
    {
        if (inX == perX) {
            xIndex++;
            inX = 0;
            entered = false;
        }
        long long listed = xIndex - listedFrom;
        if (listed >= (long long)xs.size()) {
            if (!listX())
                return false;
            listed = 0;
        }
        long long first = xIndex * perX + inX;
        if (blocks && inX == 0) {
            int xCount;
            run.convert(job, batch.blockRunAt((int)listed, xCount));
            xIndex += xCount - 1;
            inX = perX;
        } else {
            if (!entered)
                batch.enterX((int)listed);
            entered = true;
            run.convert(job, batch.runAt(inX));
            inX += run.count;
        }
        run.first = first;
        return true;
    }

private:
    const sweepJob &job;
    latticeBatch &batch;
    const long long perX;
    const bool blocks;
    const long long xEnd;
    std::vector<float> xs;          // listed X values, from sweep index listedFrom
    float nextX;                    // the X value after the listed ones
    long long listedFrom, xIndex, inX = 0;
    bool entered = false;

    bool listX()
    {
        xs.clear();
        listedFrom = xIndex;
        for (; xs.size() < X_LIST && xIndex + (long long)xs.size() < xEnd && nextX <= job.range[1];
             nextX = nextX + job.range[2])
            xs.push_back(nextX);
        batch.listX(xs.data(), (int)xs.size());
        return !xs.empty();
    }
};

// A watched sweep shared with a second thread. The watching thread sweeps
// X values from the front, in order, as if alone; the other takes chunks of
// X values from the back and records them into cells of its own, which join
// the watched cells only when the front reaches them. So the watched cells
// always hold a prefix of the sweep, whatever stops it. Both claim whole
// chunks: indices below frontTo are the front's, from backFrom on the back's.
struct sharedSweep {
    const long long xCount, chunk;
    std::mutex lock;
    std::condition_variable changed;
    long long frontTo = 0, backFrom, doneFrom;  // the back has recorded the X values from doneFrom on
    std::atomic<bool> quit{ false };            // the front sweeps on alone, or has stopped
    std::vector<int> cells;                     // the back's

    // The front is about to sweep X value front, and claims the rest of
    // its chunk. Every claim starts and ends at a chunk's bounds, where the
    // back knows the X values.
    sharedSweep(long long xs, int size, long long front)
        : xCount(xs), chunk(std::max(xs / SHARE_CHUNKS, 1LL)), frontTo(std::min((front / chunk + 1) * chunk, xs)),
          backFrom(xs), doneFrom(xs), cells((size_t)size * size)
    {
    }
    // Whether the front may sweep X value index, claiming its chunk; false
    // when the back holds it. claimed is then where the front's claim ends.
    bool frontClaims(long long index, long long &claimed)
    {
        std::lock_guard<std::mutex> hold(lock);
        if (quit) {
            claimed = LLONG_MAX;
            return true;
        }
        if (index >= backFrom)
            return false;
        claimed = frontTo = std::min((index / chunk + 1) * chunk, backFrom);
        return true;
    }
    // The next chunk of the back, from the end towards the front; false when none is left.
    bool backClaims(long long &from, long long &to)
    {
        std::lock_guard<std::mutex> hold(lock);
        to = backFrom;
        from = std::max(frontTo, (to - 1) / chunk * chunk);
        if (quit || from >= to)
            return false;
        backFrom = from;
        return true;
    }
    void backRecorded(long long from)
    {
        std::lock_guard<std::mutex> hold(lock);
        doneFrom = from;
        changed.notify_all();
    }
    // The back gives up (no memory): the front sweeps the rest alone.
    void backFailed()
    {
        std::lock_guard<std::mutex> hold(lock);
        quit = true;
        changed.notify_all();
    }
    // Waits up to WAIT_LOOK for the back to record all it claimed.
    bool backDone()
    {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, WAIT_LOOK, [&] { return doneFrom == backFrom; });
    }
    static const long long SHARE_CHUNKS = 32;   // a front that reaches the back waits at most a chunk
    static constexpr std::chrono::microseconds WAIT_LOOK{ 250 };   // a waiting front looks at the stop as often
};

// The back's part of a shared sweep, on its own copy of the tables.
template <int Style> static void sweepBack(const sweepJob &job, latticeBatch &batch, long long perX,
                                           sharedSweep &share)
{
    try {
        std::vector<float> chunkStarts;     // the X value at every chunk's first index
        float x = job.range[0];
        for (long long index = 0; index < share.xCount && !share.quit; index++, x = x + job.range[2])
            if (index % share.chunk == 0)
                chunkStarts.push_back(x);
        runCells run;
        for (long long from, to; share.backClaims(from, to);) {
            runSource source(job, batch, perX, from, chunkStarts[(size_t)(from / share.chunk)], to);
            while (!share.quit && source.next(run))
                if constexpr (Style >= 0)
                    recordRun<Style, false>(share.cells.data(), run);
            if (share.quit)
                return;
            share.backRecorded(from);
        }
    } catch (const std::exception &) {
        share.backFailed();
    }
}

// The second thread of a watched sweep, started once the sweep has shown
// it will last: a sweep over before the thread would pay stays on one.
template <int Style> class secondThread {
public:
    secondThread(const sweepJob &j, const latticeBatch &b, long long points, long long xs)
        : job(j), frontBatch(b), perX(points), xCount(xs)
    {
    }
    ~secondThread()
    {
        if (share) {
            share->quit = true;
            back.join();
        }
    }
    // Whether a sweep that has run for elapsed seconds and is at X value
    // index has run for the job's shareAfterSeconds and looks to have as
    // long again to go.
    bool pays(double elapsed, long long index) const
    {
        return elapsed >= job.shareAfterSeconds
            && elapsed * (double)(xCount - index) >= job.shareAfterSeconds * (double)std::max(index, 1LL);
    }
    // Starts the thread with the front at X value index: its share, or null
    // when memory or a thread is lacking.
    sharedSweep *start(long long index)
    {
        try {
            share = std::make_unique<sharedSweep>(xCount, job.size, index);
            backBatch = std::make_unique<latticeBatch>(frontBatch);
            back = std::thread(sweepBack<Style>, std::cref(job), std::ref(*backBatch), perX, std::ref(*share));
        } catch (const std::exception &) {
            share.reset();
        }
        return share.get();
    }

private:
    const sweepJob &job;
    const latticeBatch &frontBatch;
    const long long perX, xCount;
    std::unique_ptr<sharedSweep> share;
    std::unique_ptr<latticeBatch> backBatch;
    std::thread back;
};

// Records the runs point by point in sweep order, with the hooks at the
// tests that end a run or a step the grain asks for.
template <int Style> class watchedSweep {
public:
    watchedSweep(const sweepJob &j, const sweepValues &y, const sweepValues &z, runSource &s,
                 secondThread<Style> *second)
        : job(j), hooks(j.hooks), ys(y.values), zs(z.values), yEnd(y.end), zEnd(z.end),
          nZ((long long)z.values.size()), perX((long long)(y.values.size() * z.values.size())), source(s),
          toStart(second)
    {
    }
    void sweep()
    {
        float *point = job.point;
        float x = job.range[0];
        for (long long xIndex = 0;; xIndex++, x = x + job.range[2]) {
            long long first = xIndex * perX;
            point[0] = x;
            bool look = grain > 0 || first >= nextLook;
            if (!(x <= job.range[1]) || (look && stopAsked(first)))
                return;
            if (look)
                lookAtGrain();
            if (toStart && first >= nextStartLook)
                startSecond(xIndex, first);
            if (share && xIndex >= claimedTo && !share->frontClaims(xIndex, claimedTo) && joinBack(first, x))
                return;
            if (!holds(first))
                return;
            if (grain <= 0 && first + perX <= run->first + run->count)
                recordWholeX(first);
            else if (!sweepX(first))
                return;
            stepDone(0);
        }
    }

private:
    const sweepJob &job;
    const sweepHooks hooks;
    const std::vector<float> &ys, &zs;
    const float yEnd, zEnd;
    const long long nZ, perX;
    runSource &source;
    secondThread<Style> *toStart;   // null once started, or when there is none
    const std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now();
    long long nextStartLook = 0;    // X tests before this point need not look at the clock
    sharedSweep *share = nullptr;   // null: this sweep records every X value itself
    long long claimedTo = 0;        // the X values before this one are the front's
    runCells own;                   // the run at hand
    const runCells *run = nullptr;
    bool exhausted = false;
    long long nextLook = 0;         // X tests before this point need no look: X values with few points
    int grain = 0;

    void stepDone(int axis)
    {
        if (hooks.stepDone)
            hooks.stepDone(hooks.context, axis, job.point);
    }
    // At X tests at least a run of points apart, whether the second thread
    // pays by now, and if so its start.
    void startSecond(long long index, long long first)
    {
        nextStartLook = first + RUN;
        if (grain >= 0)
            return;
        double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (!toStart->pays(elapsed, index))
            return;
        share = toStart->start(index);
        claimedTo = share ? share->frontTo : 0;
        toStart = nullptr;
    }
    // Once a step is watched, the X values to come are recorded here, so
    // that every step shows the cells growing.
    void lookAtGrain()
    {
        grain = std::clamp(hooks.grain(hooks.context), -1, 2);
        if (grain >= 0 && share) {
            share->quit = true;
            share = nullptr;
        }
        if (grain >= 0)
            toStart = nullptr;
    }
    // The back holds the X values from the one whose first point is first:
    // waits for it, asking the stop as at this X test, then joins its cells
    // and reports its X steps. False when this sweep is to go on alone.
    bool joinBack(long long first, float x)
    {
        while (!share->backDone()) {
            if (share->quit) {
                share = nullptr;
                return false;
            }
            if (stopAsked(first))
                return true;
        }
        joinCells(share->cells);
        float *point = job.point;
        for (; x <= job.range[1]; x = x + job.range[2]) {
            point[0] = x, point[1] = yEnd, point[2] = zEnd;
            stepDone(0);
        }
        point[0] = x;
        return true;
    }
    // Counts add up to the most a cell holds, depths keep the highest.
    void joinCells(const std::vector<int> &back)
    {
        int *cells = job.cells;
        for (size_t c = 0; c < back.size() && Style >= 0; c++)
            if constexpr (Style == STYLE_COUNTS)
                cells[c] = (int)std::min((long long)cells[c] + back[c], (long long)INT_MAX);
            else
                cells[c] = std::max(cells[c], back[c]);
    }
    // Whether the run holding point g is at hand, made if need be.
    bool holds(long long g)
    {
        while (!run || run->first + run->count <= g) {
            exhausted = !source.next(own);
            run = exhausted ? nullptr : &own;
            if (exhausted)
                return false;
        }
        return true;
    }
    // After a stop every test looks, as the enclosing sweeps' tests follow.
    bool stopAsked(long long g)
    {
        bool stopped = hooks.stop && hooks.stop(hooks.context);
        nextLook = stopped ? 0 : g + RUN;
        return stopped;
    }
    // The stop asked at a loop test before point g, where the sweep looks;
    // then the run holding g is at hand. A sweep whose runs ran out (which
    // a sweep with a listable Y and Z never does) ends there too.
    bool stopAt(long long g)
    {
        return stopAsked(g) || !holds(g);
    }
    // Points from..to of the run at hand.
    void record(long long from, long long to)
    {
        int *cells = job.cells;
        const int *cellOf = run->cellOf.data() - run->first, *depthOf = run->depthOf.data() - run->first;
        long long fetchEnd = run->first + run->count;
        for (long long g = from; g < to; g++) {
            if (g + PREFETCH_AHEAD < fetchEnd)
                __builtin_prefetch(cells + std::max(cellOf[g + PREFETCH_AHEAD], 0), 1);
            recordInto<Style, false>(cells, cellOf[g], depthOf[g]);
        }
    }
    // Where a segment from point done of the X value starting at first
    // ends: at the end of the run, and of the step the grain watches.
    long long segmentEnd(long long first, long long done) const
    {
        long long end = std::min(run->first + run->count - first, perX);
        if (grain == 2)
            end = done + 1;
        else if (grain == 1)
            end = std::min(end, (done / nZ + 1) * nZ);
        return end;
    }
    // An X value whose points are all in the run at hand, when no step
    // within it is watched: what sweepX does then, at a fraction of the cost
    // for X values of few points.
    void recordWholeX(long long first)
    {
        record(first, first + perX);
        job.point[1] = yEnd;
        job.point[2] = zEnd;
    }
    // The Y and Z sweeps of the X value whose first point is first; false
    // when its runs ran out.
    bool sweepX(long long first)
    {
        float *point = job.point;
        for (long long done = 0; done < perX;) {
            long long j = done ? done / nZ : 0, k = done ? done % nZ : 0;  // X values of few points divide nothing
            bool zStopped = false;
            point[1] = ys[j];
            if (k == 0) {
                if ((grain == 2 || done > 0 || !holds(first + done)) && stopAt(first + done))
                    return !exhausted;
                point[2] = zs[0];
                zStopped = grain == 2 && stopAt(first + done);
            } else {
                point[2] = zs[k];
                zStopped = stopAt(first + done);
            }
            if (exhausted)
                return false;
            if (zStopped) {
                if (grain >= 1)
                    stepDone(1);
                done = (j + 1) * nZ;
                continue;
            }
            long long end = segmentEnd(first, done);
            record(first + done, first + end);
            done = end;
            if (grain == 2)
                stepDone(2);
            if (done == perX || done % nZ == 0) {
                point[2] = zEnd;
                if (grain >= 1)
                    stepDone(1);
            }
            if (done < perX)        // a test that looks follows
                lookAtGrain();
        }
        point[1] = yEnd;
        return true;
    }
};

// The watched batched sweep, when the Y and Z values can be listed and the
// memory for the tables is there.
template <int Style> static bool sweepWatched(const sweepJob &job)
{
    sweepValues ys, zs;
    std::unique_ptr<latticeBatch> batch;
    try {
        if (!listSweepValues(job.range + 3, ys) || !listSweepValues(job.range + 6, zs) || ys.values.empty()
            || zs.values.empty())
            return false;
        batch = std::make_unique<latticeBatch>(job.forms, ys.values.data(), (long long)ys.values.size(),
                                               zs.values.data(), (long long)zs.values.size());
    } catch (const std::bad_alloc &) {
        return false;
    }
    long long perX = (long long)(ys.values.size() * zs.values.size());
    runSource source(job, *batch, perX);
    long long xCount = sweepValueCount(job.range[0], job.range[1], job.range[2]);
    if (job.threads < 2 || xCount < 2 || xCount > SHARED_SWEEP_XS) {
        watchedSweep<Style>(job, ys, zs, source, nullptr).sweep();
        return true;
    }
    secondThread<Style> second(job, *batch, perX, xCount);     // joined after the sweep
    watchedSweep<Style>(job, ys, zs, source, &second).sweep();
    return true;
}

static bool sweepWatched(const sweepJob &job)
{
    if (job.style == STYLE_COUNTS)
        return sweepWatched<STYLE_COUNTS>(job);
    if (job.style == STYLE_HIGHEST_Z)
        return sweepWatched<STYLE_HIGHEST_Z>(job);
    return sweepWatched<-1>(job);
}

void keepSweepMemory()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, SWEEP_BLOCKS_FROM_HEAP);
    mallopt(M_TRIM_THRESHOLD, SWEEP_MEMORY_KEPT);
#endif
}

void sweepLattice(const sweepJob &job)
{
    if (!job.sharedCells && !job.keepCells)
        memset(job.cells, 0, (size_t)job.size * job.size * sizeof job.cells[0]);
    if (job.path == evaluation::reference) {
        referenceEngine engine{ {}, job };
        sweepAxis<0>(job, engine);
    } else if (job.hooks.grain && job.path == evaluation::compiled && job.xParts <= 1 && !job.sharedCells
               && sweepWatched(job)) {
        return;
    } else if (job.path == evaluation::perPoint || !sweepBatched(job)) {
        programEngine engine(job);
        sweepAxis<0>(job, engine);
    }
}
