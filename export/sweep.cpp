// The export's sweep on several threads. The X sweep is cut into runs of
// consecutive values that the threads take as they finish: each thread
// records into a grid of its own while the grids are small, combined
// afterwards in an order that does not matter, or into one shared grid by
// atomic updates when a grid per thread would take too much memory. A run
// covers a strip of the picture, so threads seldom update the same memory.
#include <algorithm>
#include <atomic>
#include <barrier>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>
#include <sys/mman.h>
#include "export/export.h"
#include "export/progress.h"

// ---- the grid's memory ----

// Large grids are placed on 2 MB boundaries so that the kernel can back
// them by huge pages: a 16384 x 16384 grid then takes 512 page faults
// instead of 262,144, and painting its columns misses the TLB far less.
const size_t HUGE_PAGE_BYTES = 2 << 20;

cellGrid::cellGrid(size_t cellCount) : count(cellCount)
{
    size_t wanted = std::max<size_t>(cellCount * sizeof(int), 1);
    bytes = (wanted + HUGE_PAGE_BYTES - 1) / HUGE_PAGE_BYTES * HUGE_PAGE_BYTES;
    size_t mapped = bytes + HUGE_PAGE_BYTES;
    void *place = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (place == MAP_FAILED)
        throw std::bad_alloc();
    char *start = (char *)place, *aligned = start + (-(uintptr_t)start & (HUGE_PAGE_BYTES - 1));
    if (aligned > start)
        munmap(start, aligned - start);
    if (aligned + bytes < start + mapped)
        munmap(aligned + bytes, start + mapped - (aligned + bytes));
    madvise(aligned, bytes, MADV_HUGEPAGE);    // only a hint: where refused, the grid takes small pages
    cells = (int *)aligned;
}

cellGrid::cellGrid(cellGrid &&other) noexcept
    : cells(std::exchange(other.cells, nullptr)), count(std::exchange(other.count, 0)),
      bytes(std::exchange(other.bytes, 0))
{
}

cellGrid &cellGrid::operator=(cellGrid &&other) noexcept
{
    std::swap(cells, other.cells);
    std::swap(count, other.count);
    std::swap(bytes, other.bytes);
    return *this;
}

cellGrid::~cellGrid()
{
    if (cells)
        munmap(cells, bytes);
}

bool cellGrid::operator==(const cellGrid &other) const
{
    return count == other.count && std::equal(begin(), end(), other.begin());
}

// ---- the sweep ----

// Written by its own thread only; read by the thread that shows progress.
struct alignas(64) sweepWorker {
    sweepJob job;
    cellGrid cells;                 // empty when the threads share one grid
    float point[3];
    std::atomic<long long> pairsDone{ 0 };
    long long pairsPerX;            // Y values per X value
};

static bool stopRequested(void *)
{
    return interruptRequested();
}

// Ctrl+C and the progress line need no finer grain than an X value, and
// hooks that look no deeper leave the sweep free to record a whole X value
// at once. An X value with very many points is looked into pair by pair, so
// that Ctrl+C still stops the export within moments.
const long long POINTS_BETWEEN_STOP_TESTS = 1 << 22;

static int hookDepth(const exportPlan &plan)
{
    double pointsPerX = (double)std::max(plan.values[1], 0LL) * std::max(plan.values[2], 0LL);
    return pointsPerX > POINTS_BETWEEN_STOP_TESTS ? 1 : 0;
}

// Counts finished (X, Y) pairs: a whole X value's at once, or pair by pair.
static void countPairs(void *context, int axis, const float *)
{
    sweepWorker &worker = *(sweepWorker *)context;
    long long pairs = worker.job.hooks.deepestAxis == 0 ? worker.pairsPerX : axis == 1;
    if (axis != worker.job.hooks.deepestAxis || pairs == 0)
        return;
    worker.pairsDone.store(worker.pairsDone.load(std::memory_order_relaxed) + pairs, std::memory_order_relaxed);
}

static std::unique_ptr<sweepWorker> makeWorker(const exportPlan &plan, bool countProgress, int *shared)
{
    auto worker = std::make_unique<sweepWorker>();
    if (!shared)
        worker->cells = cellGrid((size_t)plan.size * plan.size);
    worker->job = figureJob(plan.fig, shared ? shared : worker->cells.data(), plan.size, worker->point);
    worker->job.sharedCells = shared != nullptr;
    worker->job.keepCells = true;   // fresh grids, and the runs add up
    std::copy(plan.range, plan.range + 9, worker->job.range);
    worker->job.hooks = sweepHooks{ stopRequested, countProgress ? countPairs : nullptr, worker.get(), hookDepth(plan),
                                    false };    // an interrupted export writes nothing
    worker->pairsPerX = std::max(plan.values[1], 0LL);
    return worker;
}

// Runs per thread: enough that a thread that finishes early takes another.
const int RUNS_PER_THREAD = 4;

// A run of the X sweep: its first and last value, as the whole sweep steps
// to them. A sweep from first while at most last then visits exactly them.
struct xRun {
    float first, last;
};

static std::vector<xRun> xRuns(const exportPlan &plan)
{
    long long count = std::max(plan.values[0], 0LL);
    long long runs = std::min<long long>(count, plan.threads == 1 ? 1 : (long long)RUNS_PER_THREAD * plan.threads);
    std::vector<xRun> list;
    float v = plan.range[0], skip = plan.range[2];
    for (long long r = 0; r < runs; r++) {
        xRun run{ v, v };
        for (long long i = count * r / runs; i < count * (r + 1) / runs; i++, v = v + skip)
            run.last = v;
        list.push_back(run);
    }
    return list;
}

// Takes runs until there are none left or the export is stopped.
static void sweepRuns(sweepWorker &worker, const std::vector<xRun> &runs, std::atomic<size_t> &next)
{
    for (size_t r; !interruptRequested() && (r = next++) < runs.size();) {
        worker.job.range[0] = runs[r].first;
        worker.job.range[1] = runs[r].last;
        sweepLattice(worker.job);
    }
}

// Counts add, saturating as the sweep's own counts do; depths keep the
// highest. Cells from..to of every other grid into the first.
static void combine(const std::vector<std::unique_ptr<sweepWorker>> &workers, size_t from, size_t to)
{
    if (workers[0]->job.sharedCells)
        return;
    cellGrid &into = workers[0]->cells;
    unsigned char figureStyle = workers[0]->job.style;
    for (size_t w = 1; w < workers.size(); w++) {
        const cellGrid &other = workers[w]->cells;
        if (figureStyle == STYLE_COUNTS)
            for (size_t i = from; i < to; i++)
                into[i] = (int)std::min<long long>((long long)into[i] + other[i], INT_MAX);
        else if (figureStyle == STYLE_HIGHEST_Z)
            for (size_t i = from; i < to; i++)
                into[i] = std::max(into[i], other[i]);
    }
}

struct finishLine {
    std::mutex lock;
    std::condition_variable changed;
    int finished = 0;
};

static void showProgress(const exportPlan &plan, const std::vector<std::unique_ptr<sweepWorker>> &workers,
                         finishLine &finish)
{
    double pairs = (double)std::max(plan.values[0], 0LL) * std::max(plan.values[1], 0LL);
    double pointsPerPair = (double)std::max(plan.values[2], 0LL);
    progressLine line("rendering", "points");
    std::unique_lock<std::mutex> hold(finish.lock);
    while (!finish.changed.wait_for(hold, std::chrono::milliseconds(100),
                                    [&] { return finish.finished == plan.threads; })) {
        double done = 0;
        for (auto &worker : workers)
            done += (double)worker->pairsDone.load(std::memory_order_relaxed);
        line.update(done * pointsPerPair, pairs * pointsPerPair);
    }
    line.finish();
}

cellGrid sweepExport(const exportPlan &plan, bool countPairs)
{
    cellGrid shared;
    if (plan.sharedGrid)
        shared = cellGrid((size_t)plan.size * plan.size);
    std::vector<std::unique_ptr<sweepWorker>> workers;
    for (int t = 0; t < plan.threads; t++)
        workers.push_back(makeWorker(plan, countPairs, shared.data()));
    std::vector<xRun> runs = xRuns(plan);
    std::atomic<size_t> nextRun{ 0 };
    finishLine finish;
    // Once every part is swept, each thread combines a slice of the cells.
    std::barrier swept((std::ptrdiff_t)workers.size());
    size_t cellCount = (size_t)plan.size * plan.size;
    {
        std::vector<std::jthread> threads;
        for (size_t t = 0; t < workers.size(); t++)
            threads.emplace_back([&, t] {
                sweepRuns(*workers[t], runs, nextRun);
                swept.arrive_and_wait();
                combine(workers, cellCount * t / workers.size(), cellCount * (t + 1) / workers.size());
                std::lock_guard<std::mutex> hold(finish.lock);
                finish.finished++;
                finish.changed.notify_one();
            });
        showProgress(plan, workers, finish);
    }
    return plan.sharedGrid ? std::move(shared) : std::move(workers[0]->cells);
}
