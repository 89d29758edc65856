// The export's sweep on several threads. Each thread sweeps every value of
// the figure but records only its share of the X values, into a grid of its
// own; no cell is shared while they run, and combining the grids afterwards
// does not depend on the order in which the threads finished.
#include <algorithm>
#include <atomic>
#include <barrier>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include "export/export.h"
#include "export/progress.h"

// Written by its own thread only; read by the thread that shows progress.
struct alignas(64) sweepWorker {
    sweepJob job;
    cellGrid cells;
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

static std::unique_ptr<sweepWorker> makeWorker(const exportPlan &plan, int part, bool countProgress)
{
    auto worker = std::make_unique<sweepWorker>();
    worker->cells.resize((size_t)plan.size * plan.size);
    worker->job = figureJob(plan.fig, worker->cells.data(), plan.size, worker->point);
    std::copy(plan.range, plan.range + 9, worker->job.range);
    worker->job.xPart = part;
    worker->job.xParts = plan.threads;
    worker->job.hooks = sweepHooks{ stopRequested, countProgress ? countPairs : nullptr, worker.get(), hookDepth(plan),
                                    false };    // an interrupted export writes nothing
    worker->pairsPerX = std::max(plan.values[1], 0LL);
    return worker;
}

// Counts add, saturating as the sweep's own counts do; depths keep the
// highest. Cells from..to of every other grid into the first.
static void combine(const std::vector<std::unique_ptr<sweepWorker>> &workers, size_t from, size_t to)
{
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
    std::vector<std::unique_ptr<sweepWorker>> workers;
    for (int t = 0; t < plan.threads; t++)
        workers.push_back(makeWorker(plan, t, countPairs));
    finishLine finish;
    // Once every part is swept, each thread combines a slice of the cells.
    std::barrier swept((std::ptrdiff_t)workers.size());
    size_t cellCount = workers[0]->cells.size();
    {
        std::vector<std::jthread> threads;
        for (size_t t = 0; t < workers.size(); t++)
            threads.emplace_back([&, t] {
                sweepLattice(workers[t]->job);
                swept.arrive_and_wait();
                combine(workers, cellCount * t / workers.size(), cellCount * (t + 1) / workers.size());
                std::lock_guard<std::mutex> hold(finish.lock);
                finish.finished++;
                finish.changed.notify_one();
            });
        showProgress(plan, workers, finish);
    }
    return std::move(workers[0]->cells);
}
