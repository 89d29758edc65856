// Evaluation ahead: the render pass's thread and one helper thread take turns
// claiming batches of the upcoming lattice points, in sweep order, and run the
// three programs on them. The pass still walks its own sweeps, tests Esc,
// refreshes, marks progress and updates the cells; it only takes each point's
// values from the batches. A batch keeps its points, so the pass takes values
// only for the very point it stands on: the cells cannot differ from a pass
// that evaluates every point itself.
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include "app/app.h"
#include "render/ahead.h"

const int BATCH_POINTS = 256;
const int BATCH_SLOTS = 8;          // how far the helper may run ahead of the pass
enum { SLOT_FREE, SLOT_CLAIMED, SLOT_READY };
enum { CLAIM_MADE, CLAIM_WAIT, CLAIM_ENDED };

struct pointBatch {
    std::atomic<int> state;
    int count;                      // below BATCH_POINTS only at the end of the lattice
    float points[BATCH_POINTS][3];
    float values[BATCH_POINTS][3];
};

static pointBatch slots[BATCH_SLOTS];
static const formulaProgram *programs[3];
static float sweepRange[9];

// The lattice cursor and the claim counter move together under claimLock.
static std::mutex claimLock;
static float cursor[3];
static bool cursorDone;
static long nextClaim;

static std::atomic<long> consumedBatches;
static std::atomic<bool> stopping;
static std::thread helper;
static bool helperRunning;

// The pass's read position, and whether it has left the batches for good.
static long readBatch;
static int readIndex;
static bool abandoned;

// Moves the cursor to the first lattice point at or after it, stepping the
// outer sweeps the way the pass's loops do when an inner sweep ends.
static void settleCursor()
{
    const float *r = sweepRange;
    while (!stopping.load(std::memory_order_relaxed)) {
        if (!(cursor[0] <= r[1]))
            break;
        if (!(cursor[1] <= r[4])) {
            cursor[0] = cursor[0] + r[2];
            cursor[1] = r[3];
            cursor[2] = r[6];
        } else if (!(cursor[2] <= r[7])) {
            cursor[1] = cursor[1] + r[5];
            cursor[2] = r[6];
        } else {
            return;
        }
    }
    cursorDone = true;
}

// Claims the next batch when its number is below limit: fills in its points.
// CLAIM_ENDED when the lattice has no points left and batch wanted was never
// claimed; CLAIM_WAIT when the caller should look again later.
static int claimBatch(long limit, long wanted, pointBatch **claimed)
{
    std::lock_guard<std::mutex> hold(claimLock);
    if (cursorDone)
        return nextClaim <= wanted ? CLAIM_ENDED : CLAIM_WAIT;
    if (nextClaim >= limit)
        return CLAIM_WAIT;
    pointBatch &batch = slots[nextClaim % BATCH_SLOTS];
    nextClaim++;
    batch.count = 0;
    while (batch.count < BATCH_POINTS && !cursorDone) {
        memcpy(batch.points[batch.count++], cursor, sizeof cursor);
        cursor[2] = cursor[2] + sweepRange[8];
        settleCursor();
    }
    batch.state.store(SLOT_CLAIMED, std::memory_order_relaxed);
    *claimed = &batch;
    return CLAIM_MADE;
}

static void computeBatch(pointBatch &batch)
{
    for (int i = 0; i < batch.count; i++)
        for (int f = 0; f < 3; f++)
            batch.values[i][f] = runProgram(*programs[f], batch.points[i]);
    batch.state.store(SLOT_READY, std::memory_order_release);
}

static void helperLoop()
{
    while (!stopping.load(std::memory_order_acquire)) {
        pointBatch *batch;
        long limit = consumedBatches.load(std::memory_order_acquire) + BATCH_SLOTS;
        int claim = claimBatch(limit, LONG_MAX, &batch);
        if (claim == CLAIM_ENDED)
            return;
        if (claim == CLAIM_MADE)
            computeBatch(*batch);
        else
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

// The batch the pass reads next, or nullptr when the lattice has no more
// points. While the helper still computes it, the pass computes later ones.
static pointBatch *batchToRead()
{
    pointBatch &batch = slots[readBatch % BATCH_SLOTS];
    for (;;) {
        if (batch.state.load(std::memory_order_acquire) == SLOT_READY)
            return &batch;
        pointBatch *mine;
        int claim = claimBatch(readBatch + BATCH_SLOTS, readBatch, &mine);
        if (claim == CLAIM_MADE)
            computeBatch(*mine);
        else if (claim == CLAIM_ENDED)
            return nullptr;
        else
            std::this_thread::yield();
    }
}

static void finishBatch(pointBatch &batch)
{
    readIndex = 0;
    readBatch++;
    batch.state.store(SLOT_FREE, std::memory_order_release);
    consumedBatches.store(readBatch, std::memory_order_release);
}

void evaluationAheadValues(float values[3])
{
    if (!abandoned) {
        pointBatch *batch = readIndex == 0 ? batchToRead() : &slots[readBatch % BATCH_SLOTS];
        if (batch && memcmp(batch->points[readIndex], Time, sizeof Time) == 0) {
            memcpy(values, batch->values[readIndex], 3 * sizeof values[0]);
            if (++readIndex == batch->count)
                finishBatch(*batch);
            return;
        }
        // Esc was let go between two loop tests, so the pass went on in an
        // order the batches do not follow: evaluate here from now on.
        abandoned = true;
        stopping = true;
    }
    for (int f = 0; f < 3; f++)
        values[f] = runProgram(*programs[f], Time);
}

void evaluationAheadStart(const formulaProgram *x, const formulaProgram *y, const formulaProgram *z)
{
    programs[0] = x;
    programs[1] = y;
    programs[2] = z;
    memcpy(sweepRange, Range, sizeof sweepRange);
    for (pointBatch &batch : slots)
        batch.state.store(SLOT_FREE, std::memory_order_relaxed);
    cursor[0] = Range[0];
    cursor[1] = Range[3];
    cursor[2] = Range[6];
    // With every sweep holding its first value, each later point lies a few
    // cursor steps on; otherwise the lattice has no point at all.
    cursorDone = !(Range[0] <= Range[1] && Range[3] <= Range[4] && Range[6] <= Range[7]);
    nextClaim = 0;
    consumedBatches = 0;
    stopping = false;
    readBatch = 0;
    readIndex = 0;
    abandoned = false;
    helperRunning = false;
    if (cursorDone)
        return;
    try {
        helper = std::thread(helperLoop);
        helperRunning = true;
    } catch (const std::system_error &) {
        // no second thread: the pass claims and computes every batch itself
    }
}

void evaluationAheadStop()
{
    stopping = true;
    if (helperRunning)
        helper.join();
    helperRunning = false;
}
