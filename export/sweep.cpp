// The export's sweep on several threads. Each thread sweeps every value of
// the figure but records only its share of the X values, into a grid of its
// own; no cell is shared while they run, and combining the grids afterwards
// does not depend on the order in which the threads finished.
#include <algorithm>
#include <atomic>
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
    std::vector<int> cells;
    float point[3];
    std::atomic<long long> pairsDone{ 0 };
};

static bool stopRequested(void *)
{
    return interruptRequested();
}

static void countPair(void *context, int axis, const float *)
{
    if (axis != 1)
        return;
    std::atomic<long long> &done = ((sweepWorker *)context)->pairsDone;
    done.store(done.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

static std::unique_ptr<sweepWorker> makeWorker(const exportPlan &plan, int part, bool countPairs)
{
    auto worker = std::make_unique<sweepWorker>();
    worker->cells.resize((size_t)plan.size * plan.size);
    worker->job = documentJob(worker->cells.data(), plan.size, worker->point);
    std::copy(plan.range, plan.range + 9, worker->job.range);
    worker->job.xPart = part;
    worker->job.xParts = plan.threads;
    worker->job.hooks = sweepHooks{ stopRequested, countPair, worker.get() };
    if (!countPairs)
        worker->job.hooks.stepDone = nullptr;   // it is called after every point
    return worker;
}

// Counts add, saturating as the sweep's own counts do; depths keep the highest.
static void combine(std::vector<int> &into, const std::vector<int> &from, unsigned char figureStyle)
{
    if (figureStyle == STYLE_COUNTS)
        for (size_t i = 0; i < into.size(); i++)
            into[i] = (int)std::min<long long>((long long)into[i] + from[i], INT_MAX);
    else if (figureStyle == STYLE_HIGHEST_Z)
        for (size_t i = 0; i < into.size(); i++)
            into[i] = std::max(into[i], from[i]);
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

std::vector<int> sweepExport(const exportPlan &plan, bool countPairs)
{
    std::vector<std::unique_ptr<sweepWorker>> workers;
    for (int t = 0; t < plan.threads; t++)
        workers.push_back(makeWorker(plan, t, countPairs));
    finishLine finish;
    {
        std::vector<std::jthread> threads;
        for (auto &worker : workers)
            threads.emplace_back([&worker, &finish] {
                sweepLattice(worker->job);
                std::lock_guard<std::mutex> hold(finish.lock);
                finish.finished++;
                finish.changed.notify_one();
            });
        showProgress(plan, workers, finish);
    }
    for (size_t t = 1; t < workers.size(); t++) {
        combine(workers[0]->cells, workers[t]->cells, workers[0]->job.style);
        std::vector<int>().swap(workers[t]->cells);
    }
    return std::move(workers[0]->cells);
}
