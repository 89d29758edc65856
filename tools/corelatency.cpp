// corelatency: the time one cache line takes to go from one processor to
// another and back, as two threads pinned to the first two processors the
// process may use hand a counter to each other. Threads that update the
// same memory (an export's shared grid) pay it on every line they share, so
// tools/export-times prints it beside the speed-ups it explains. On virtual
// machines it changes with where the host places the processors.
//
//   corelatency          prints the median round trip of several trials, in ns
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>
#include <pthread.h>
#include <sched.h>

const int HANDS_PER_TRIAL = 100000;     // round trips timed at once
const int TRIALS = 7;

struct alignas(64) sharedLine {
    std::atomic<long> turn{ 0 };        // odd: the answering thread's turn
};

// The processors the process may use, read before any thread is pinned.
static cpu_set_t allowed;

// Pins the calling thread to the index-th allowed processor; false when
// there are not that many.
static bool pinTo(int index)
{
    for (int cpu = 0, seen = 0; cpu < CPU_SETSIZE; cpu++) {
        if (!CPU_ISSET(cpu, &allowed) || seen++ != index)
            continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        return pthread_setaffinity_np(pthread_self(), sizeof one, &one) == 0;
    }
    return false;
}

// Nanoseconds per round trip over one trial.
static double trial(sharedLine &line)
{
    line.turn.store(0);
    std::thread answer([&line] {
        pinTo(1);           // never fails: main saw two processors
        for (long hand = 0; hand < HANDS_PER_TRIAL; hand++) {
            while (line.turn.load(std::memory_order_acquire) != 2 * hand + 1) {
            }
            line.turn.store(2 * hand + 2, std::memory_order_release);
        }
    });
    auto start = std::chrono::steady_clock::now();
    for (long hand = 0; hand < HANDS_PER_TRIAL; hand++) {
        line.turn.store(2 * hand + 1, std::memory_order_release);
        while (line.turn.load(std::memory_order_acquire) != 2 * hand + 2) {
        }
    }
    std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    answer.join();
    return spent.count() / HANDS_PER_TRIAL;
}

int main()
{
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0 || CPU_COUNT(&allowed) < 2 || !pinTo(0)) {
        fprintf(stderr, "corelatency: needs two processors\n");
        return 1;
    }
    sharedLine line;
    std::vector<double> trips;
    for (int t = 0; t < TRIALS; t++)
        trips.push_back(trial(line));
    std::sort(trips.begin(), trips.end());
    printf("%.0f\n", trips[TRIALS / 2]);
    return 0;
}
