// Running a plan over a lattice. Each register is computed where the axes it
// reads make it change, and no more often:
//   reads nothing        a constant of the plan
//   X                    once per X value, over a list of the X values to come
//   Y, Z, or Y and Z     tables over the Y values, the Z values or both,
//                        once for the whole lattice
//   X and Y, X and Z     rows over the Y (or Z) values, once per X value;
//                        short rows for a block of listed X values at once
//   X, Y and Z           per point, a run of points at a time
// A table or row that would pass the limits is computed per point instead,
// as is everything that depends on it. Within a run of points an operand is
// one value for the whole run or an array of the run's values; an operation
// with a table or row operand that is neither (by Y or by Z alone, over
// several columns of the lattice) runs a column at a time.
#include "formula/batch.h"
#include <algorithm>
#include <cstdint>
#include <vector>

enum class placement : unsigned char { fixed, perX, tableY, tableZ, tableYZ, rowY, rowZ, perPoint };

// From this many Z values up, a run stays within one column; below, it
// takes whole columns.
const long long COLUMN_RUN = 64;
// Rows shorter than this are computed for a block of X values at once: a
// call per row would cost more than the row's values.
const long long SHORT_ROW = 64;

struct latticeBatch::state {
    formulaPlan plan;
    batchLimits limits;
    const float *ys, *zs;           // only while the constructor runs
    long long yCount, zCount;
    placement where[PLAN_REGISTERS];
    float scalar[PLAN_REGISTERS];           // fixed and per-X values; per-point values that hold for a run
    float *array[PLAN_REGISTERS];           // tables, the current X's rows, and per-X values over the listed X values
    float *rowBlock[PLAN_REGISTERS];        // the rows of blockCount listed X values from blockFirst
    long long blockLength;                  // the most X values in a block of rows
    long long listedCount, blockFirst, blockCount;
    std::vector<float> spreadLeft, spreadRight;     // per-X operands of a block spread over its rows
    std::vector<float> tiles[PLAN_REGISTERS];       // a table operand of short rows, once for each row of a block
    std::vector<float> pointTiles[PLAN_REGISTERS];  // a table formula value over the points of a block run
    float *runArray[PLAN_REGISTERS];        // per-point values and spread values of the current run
    operandArray runValue[PLAN_REGISTERS];  // per-point values of the current run
    long long spreadFor[PLAN_REGISTERS];    // the run whose values runArray holds, for spread registers
    std::vector<int> tableOps, xOps, rowOps, pointOps;
    std::vector<int> xRegisters;            // X and the results of xOps
    std::vector<float> tables, runs;
    std::vector<float> blockValues;         // the formulas' values over a block run, each spread there
    batchRun run, blockRun;
    long long runSerial;
};

// The points of a run or of a part of a table over Y and Z.
struct latticeSpan {
    long long first;
    int count;
    long long j, k;                 // the Y and Z index of the first point
    bool oneColumn;                 // all points have Y index j
};

static bool readsOnly(placement p, std::initializer_list<placement> allowed)
{
    return std::find(allowed.begin(), allowed.end(), p) != allowed.end();
}

// ---- where each register is computed ----

static long long valuesOf(const latticeBatch::state &s, placement p)
{
    switch (p) {
    case placement::perX: return s.limits.xLength;
    case placement::tableY: return s.yCount;
    case placement::tableZ: return s.zCount;
    case placement::rowY: return s.blockLength * s.yCount;
    case placement::rowZ: return s.blockLength * s.zCount;
    case placement::tableYZ: return s.yCount * s.zCount;
    default: return 0;
    }
}

// The placement the axes of an operation ask for, if its operands allow it.
static placement wantedPlacement(const latticeBatch::state &s, const planOp &op)
{
    placement l = s.where[op.left], r = s.where[op.right];
    auto both = [&](std::initializer_list<placement> allowed) {
        return readsOnly(l, allowed) && readsOnly(r, allowed);
    };
    switch (s.plan.reads[op.result]) {
    case READS_X: return both({ placement::fixed, placement::perX }) ? placement::perX : placement::perPoint;
    case READS_Y: return both({ placement::fixed, placement::tableY }) ? placement::tableY : placement::perPoint;
    case READS_Z: return both({ placement::fixed, placement::tableZ }) ? placement::tableZ : placement::perPoint;
    case READS_Y | READS_Z:
        return both({ placement::fixed, placement::tableY, placement::tableZ, placement::tableYZ })
                   ? placement::tableYZ : placement::perPoint;
    case READS_X | READS_Y:
        return both({ placement::fixed, placement::perX, placement::tableY, placement::rowY })
                   ? placement::rowY : placement::perPoint;
    case READS_X | READS_Z:
        return both({ placement::fixed, placement::perX, placement::tableZ, placement::rowZ })
                   ? placement::rowZ : placement::perPoint;
    default: return placement::perPoint;
    }
}

// Places every operation, within the limits, and sorts them into the lists
// of the phases; each list keeps the plan's order, so operands come first.
static void placeOps(latticeBatch::state &s)
{
    long long total = 0;
    for (int i = 0; i < s.plan.opCount; i++) {
        const planOp &op = s.plan.ops[i];
        placement p = wantedPlacement(s, op);
        long long size = valuesOf(s, p);
        if (size > s.limits.tableValues || total + size > s.limits.totalValues)
            p = placement::perPoint;
        total += valuesOf(s, p);
        s.where[op.result] = p;
        if (p == placement::perX) {
            s.xOps.push_back(i);
            s.xRegisters.push_back(op.result);
        } else if (p == placement::rowY || p == placement::rowZ) {
            s.rowOps.push_back(i);
        } else if (p == placement::perPoint) {
            s.pointOps.push_back(i);
        } else {
            s.tableOps.push_back(i);
        }
    }
}

// Tables, rows, per-X values and the Y and Z values get their arrays, and
// every register that is not a single value gets an array for a run.
static void allocate(latticeBatch::state &s)
{
    long long used = 0;
    for (int r = 0; r < s.plan.registerCount; r++)
        used += valuesOf(s, s.where[r]);
    s.tables.resize((size_t)used);
    used = 0;
    int runRegisters = 0;
    for (int r = 0; r < s.plan.registerCount; r++) {
        placement p = s.where[r];
        s.array[r] = s.rowBlock[r] = s.tables.data() + used;
        used += valuesOf(s, p);
        if (p != placement::fixed && p != placement::perX)
            runRegisters++;
    }
    std::copy(s.ys, s.ys + s.yCount, s.array[1]);
    std::copy(s.zs, s.zs + s.zCount, s.array[2]);
    s.runs.resize((size_t)runRegisters * s.limits.runLength);
    if (s.blockLength > 1) {
        s.spreadLeft.resize((size_t)(s.blockLength * std::max(s.yCount, s.zCount)));
        s.spreadRight.resize(s.spreadLeft.size());
    }
    for (int r = 0, next = 0; r < s.plan.registerCount; r++) {
        if (s.where[r] != placement::fixed && s.where[r] != placement::perX)
            s.runArray[r] = s.runs.data() + (size_t)next++ * s.limits.runLength;
        s.spreadFor[r] = -1;
    }
}

// How many X values a block of rows covers: one unless the rows are short.
static long long blockLengthOf(const latticeBatch::state &s)
{
    long long row = std::max(s.yCount, s.zCount);
    if (row == 0 || row >= SHORT_ROW)
        return 1;
    long long values = std::min<long long>(s.limits.rowBlockValues, s.limits.tableValues);
    return std::clamp<long long>(values / row, 1, s.limits.xLength);
}

static void placeRegisters(latticeBatch::state &s)
{
    s.blockLength = blockLengthOf(s);
    const placement variables[3] = { placement::perX, placement::tableY, placement::tableZ };
    for (int r = 0; r < s.plan.registerCount; r++) {
        s.where[r] = r < 3 ? variables[r] : placement::fixed;
        s.scalar[r] = r < 3 ? 0 : s.plan.constants[r];
    }
    s.xRegisters.push_back(0);
    placeOps(s);
    allocate(s);
}

// ---- operands ----

// Table or row values of register r over the span, one per point, a column
// at a time: a value by Y repeats along the column, values by Z are copied.
static void spread(latticeBatch::state &s, int r, const latticeSpan &span)
{
    float *out = s.runArray[r];
    const float *values = s.array[r];
    bool byY = s.where[r] == placement::tableY || s.where[r] == placement::rowY;
    long long j = span.j, k = span.k;
    for (int i = 0; i < span.count; j++, k = 0) {
        int length = (int)std::min<long long>(span.count - i, s.zCount - k);
        if (byY)
            std::fill(out + i, out + i + length, values[j]);
        else
            std::copy(values + k, values + k + length, out + i);
        i += length;
    }
}

// Register r's values over the span; offset is the span's place in the run,
// where the run's per-point values start.
static operandArray operandOf(latticeBatch::state &s, int r, const latticeSpan &span, int offset)
{
    const float *values = s.array[r];
    switch (s.where[r]) {
    case placement::fixed: case placement::perX: return { &s.scalar[r], 0 };
    case placement::perPoint: return { s.runValue[r].values + offset * s.runValue[r].step, s.runValue[r].step };
    case placement::tableYZ: return { values + span.first, 1 };
    case placement::tableY: case placement::rowY:
        if (span.oneColumn)
            return { values + span.j, 0 };
        if (s.zCount == 1)
            return { values + span.j, 1 };
        break;
    case placement::tableZ: case placement::rowZ:
        if (s.zCount == 1)
            return { values, 0 };
        if (span.oneColumn)
            return { values + span.k, 1 };
        break;
    }
    if (s.spreadFor[r] != s.runSerial) {
        spread(s, r, span);
        s.spreadFor[r] = s.runSerial;
    }
    return { s.runArray[r], 1 };
}

// Values by Y or by Z alone are arrays over a span only when it lies within
// one column or the columns hold one point each.
static bool needsSpread(const latticeBatch::state &s, int r, const latticeSpan &span)
{
    placement p = s.where[r];
    bool byOneAxis = p == placement::tableY || p == placement::rowY || p == placement::tableZ || p == placement::rowZ;
    return byOneAxis && !span.oneColumn && s.zCount > 1;
}

// Register r's values in a column of a span, from the column's place i in
// the span and its Y and Z index j and k: base + j * perY + i * perPoint +
// k * perZ, with step.
struct columnOperand {
    const float *base;
    int perY, perPoint, perZ, step;

    operandArray at(long long i, long long j, long long k) const
    {
        return { base + j * perY + i * perPoint + k * perZ, step };
    }
};

static columnOperand columnOperandOf(latticeBatch::state &s, int r, const latticeSpan &span)
{
    const float *values = s.array[r];
    switch (s.where[r]) {
    case placement::perPoint:
        return { s.runValue[r].values, 0, s.runValue[r].step, 0, s.runValue[r].step };
    case placement::tableYZ: return { values + span.first, 0, 1, 0, 1 };
    case placement::tableY: case placement::rowY: return { values, 1, 0, 0, 0 };
    case placement::tableZ: case placement::rowZ: return { values, 0, 0, 1, 1 };
    default: return { &s.scalar[r], 0, 0, 0, 0 };
    }
}

// An operation with an operand by Y or by Z alone runs a column at a time,
// cheaper than spreading that operand over the span first.
static void applyOver(latticeBatch::state &s, const planOp &op, const latticeSpan &span, float *out)
{
    if (!needsSpread(s, op.left, span) && !needsSpread(s, op.right, span)) {
        applySymbolArrays(op.symbol, operandOf(s, op.left, span, 0), operandOf(s, op.right, span, 0), out, span.count);
        return;
    }
    columnOperand l = columnOperandOf(s, op.left, span), r = columnOperandOf(s, op.right, span);
    long long j = span.j, k = span.k;
    for (int i = 0; i < span.count; j++, k = 0) {
        int length = (int)std::min<long long>(span.count - i, s.zCount - k);
        applySymbolArrays(op.symbol, l.at(i, j, k), r.at(i, j, k), out + i, length);
        i += length;
    }
}

// A per-X operation runs along the listed X values, a table over Y or Z
// along the Y or the Z values: its operands are constants or arrays along
// the same line.
static operandArray lineOperand(latticeBatch::state &s, int r)
{
    if (s.where[r] == placement::fixed)
        return { &s.scalar[r], 0 };
    return { s.array[r], 1 };
}

static void applyAlong(latticeBatch::state &s, const planOp &op, int count)
{
    applySymbolArrays(op.symbol, lineOperand(s, op.left), lineOperand(s, op.right), s.array[op.result], count);
}

// The values in one X value's row of a row register.
static long long rowLength(const latticeBatch::state &s, int r)
{
    return s.where[r] == placement::rowY ? s.yCount : s.zCount;
}

// A table's values repeated for each row of a block, made when first asked for.
static const float *tiledTable(latticeBatch::state &s, int r, long long row)
{
    std::vector<float> &tiles = s.tiles[r];
    if (tiles.empty()) {
        tiles.resize((size_t)(s.blockLength * row));
        for (long long x = 0; x < s.blockLength; x++)
            std::copy(s.array[r], s.array[r] + row, tiles.data() + x * row);
    }
    return tiles.data();
}

// Register r's values over the rows of count listed X values from first,
// one row after another; a per-X value is spread over its row into scratch.
static operandArray blockOperand(latticeBatch::state &s, int r, long long first, long long count, long long row,
                                 float *scratch)
{
    switch (s.where[r]) {
    case placement::fixed: return { &s.scalar[r], 0 };
    case placement::rowY: case placement::rowZ: return { s.rowBlock[r], 1 };
    case placement::perX:
        if (count == 1)
            return { &s.array[r][first], 0 };
        for (long long x = 0; x < count; x++)
            std::fill(scratch + x * row, scratch + (x + 1) * row, s.array[r][first + x]);
        return { scratch, 1 };
    default: return { count == 1 ? s.array[r] : tiledTable(s, r, row), 1 };
    }
}

// The rows of every row operation for the listed X values from first.
static void computeRowBlock(latticeBatch::state &s, long long first)
{
    long long count = std::min(s.blockLength, s.listedCount - first);
    for (int i : s.rowOps) {
        const planOp &op = s.plan.ops[i];
        long long row = rowLength(s, op.result);
        operandArray l = blockOperand(s, op.left, first, count, row, s.spreadLeft.data());
        operandArray r = blockOperand(s, op.right, first, count, row, s.spreadRight.data());
        applySymbolArrays(op.symbol, l, r, s.rowBlock[op.result], (int)(count * row));
    }
    s.blockFirst = first;
    s.blockCount = count;
}

// The block of rows holds the listed X value's rows.
static void rowsFor(latticeBatch::state &s, long long listed)
{
    if (listed < s.blockFirst || listed >= s.blockFirst + s.blockCount)
        computeRowBlock(s, listed);
}

// ---- computing ----

// The run of points from first: up to runLength points, within one column
// when the columns are long.
static latticeSpan spanAt(const latticeBatch::state &s, long long first, long long end)
{
    latticeSpan span{ first, 0, first / s.zCount, first % s.zCount, false };
    long long count = std::min<long long>(s.limits.runLength, end - first);
    if (s.zCount >= COLUMN_RUN || s.zCount > s.limits.runLength)
        count = std::min(count, s.zCount - span.k);
    else if (count > s.zCount - span.k)
        count -= (span.k + count) % s.zCount;   // ends with a whole column
    span.count = (int)count;
    span.oneColumn = span.k + count <= s.zCount;
    return span;
}

static void computeTables(latticeBatch::state &s)
{
    long long points = s.yCount * s.zCount;
    for (int i : s.tableOps) {
        const planOp &op = s.plan.ops[i];
        placement p = s.where[op.result];
        if (p != placement::tableYZ) {
            applyAlong(s, op, (int)valuesOf(s, p));
            continue;
        }
        for (long long first = 0; first < points;) {
            latticeSpan span = spanAt(s, first, points);
            applyOver(s, op, span, s.array[op.result] + first);
            first += span.count;
        }
    }
}

// A per-point operation whose operands hold one value each over the run
// gives one value for the run.
static void computeRun(latticeBatch::state &s, const latticeSpan &span)
{
    s.runSerial++;
    for (int i : s.pointOps) {
        const planOp &op = s.plan.ops[i];
        bool columns = needsSpread(s, op.left, span) || needsSpread(s, op.right, span);
        operandArray l = columns ? operandArray{} : operandOf(s, op.left, span, 0);
        operandArray r = columns ? operandArray{} : operandOf(s, op.right, span, 0);
        if (!columns && !l.step && !r.step) {
            s.scalar[op.result] = signOf[op.symbol].apply(l.values[0], r.values[0]);
            s.runValue[op.result] = { &s.scalar[op.result], 0 };
        } else {
            applyOver(s, op, span, s.runArray[op.result]);
            s.runValue[op.result] = { s.runArray[op.result], 1 };
        }
    }
    s.run.first = span.first;
    s.run.count = span.count;
    for (int f = 0; f < 3; f++)
        s.run.values[f] = operandOf(s, s.plan.result[f], span, 0);
}

// ---- runs over several X values ----

static long long pointsPerX(const latticeBatch::state &s) { return s.yCount * s.zCount; }

bool latticeBatch::makesBlockRuns() const
{
    long long points = pointsPerX(*s);
    return s->pointOps.empty() && s->blockLength > 1 && points > 0 && points < SHORT_ROW
        && points <= s->limits.runLength;
}

// A table's values at the points of an X value, repeated for as many X
// values as a block run may cover; made when first asked for.
static const float *tiledPoints(latticeBatch::state &s, int r)
{
    std::vector<float> &tiles = s.pointTiles[r];
    if (!tiles.empty())
        return tiles.data();
    long long points = pointsPerX(s);
    tiles.resize((size_t)(s.limits.runLength / points * points));
    for (size_t i = 0; i < tiles.size(); i++) {
        long long j = (long long)i % points / s.zCount, k = (long long)i % s.zCount;
        placement p = s.where[r];
        tiles[i] = s.array[r][p == placement::tableY ? j : p == placement::tableZ ? k : j * s.zCount + k];
    }
    return tiles.data();
}

// Register r's values over the points of count listed X values from first,
// which lie in the current block of rows. A row is read in place where the
// points of an X value are the row, and a table that holds one value at
// every point is that value.
static operandArray blockRunValues(latticeBatch::state &s, int r, long long first, long long count, float *out)
{
    placement p = s.where[r];
    long long row = first - s.blockFirst, points = pointsPerX(s);
    if (p == placement::fixed)
        return { &s.scalar[r], 0 };
    if ((p == placement::tableY && s.yCount == 1) || (p == placement::tableZ && s.zCount == 1))
        return { s.array[r], 0 };
    if ((p == placement::rowY && s.zCount == 1) || (p == placement::rowZ && s.yCount == 1))
        return { s.rowBlock[r] + row * points, 1 };
    if (p == placement::tableY || p == placement::tableZ || p == placement::tableYZ)
        return { tiledPoints(s, r), 1 };
    for (long long x = 0; x < count; x++) {
        float *at = out + x * points;
        const float *rowValues = s.rowBlock[r] + (row + x) * rowLength(s, r);
        for (long long i = 0; i < points; i++)
            at[i] = p == placement::perX ? s.array[r][first + x]
                  : p == placement::rowY ? rowValues[i / s.zCount] : rowValues[i % s.zCount];
    }
    return { out, 1 };
}

const batchRun &latticeBatch::blockRunAt(int listed, int &xCount)
{
    rowsFor(*s, listed);
    long long points = pointsPerX(*s);
    long long count = std::min(s->blockFirst + s->blockCount - listed, s->limits.runLength / points);
    s->blockValues.resize((size_t)(3 * count * points));
    for (int f = 0; f < 3; f++)
        s->blockRun.values[f] = blockRunValues(*s, s->plan.result[f], listed, count,
                                               s->blockValues.data() + f * count * points);
    s->blockRun.first = 0;
    s->blockRun.count = (int)(count * points);
    xCount = (int)count;
    return s->blockRun;
}

latticeBatch::latticeBatch(const myFormula forms[3], const float *ys, long long yCount, const float *zs,
                           long long zCount, batchLimits limits)
    : s(new state)
{
    s->plan = planFormulas(forms);
    s->limits = limits;
    s->ys = ys, s->zs = zs;
    s->yCount = yCount, s->zCount = zCount;
    s->run = batchRun{ 0, 0, {} };
    s->runSerial = 0;
    s->listedCount = s->blockFirst = s->blockCount = 0;
    placeRegisters(*s);
    computeTables(*s);
}

// Where p points into from, the same place in to.
template <class T> static void rebase(T *&p, const std::vector<float> &from, std::vector<float> &to)
{
    auto at = (uintptr_t)p, begin = (uintptr_t)from.data(), end = (uintptr_t)(from.data() + from.size());
    if (at >= begin && at < end)
        p = to.data() + (at - begin) / sizeof(float);
}

latticeBatch::latticeBatch(const latticeBatch &other)
    : s(new state(*other.s))
{
    for (int r = 0; r < PLAN_REGISTERS; r++) {
        rebase(s->array[r], other.s->tables, s->tables);
        rebase(s->rowBlock[r], other.s->tables, s->tables);
        rebase(s->runArray[r], other.s->runs, s->runs);
        s->runValue[r] = operandArray{ nullptr, 0 };
        s->spreadFor[r] = -1;
    }
    s->run = s->blockRun = batchRun{ 0, 0, {} };
    s->runSerial = 0;
    s->listedCount = s->blockFirst = s->blockCount = 0;
}

latticeBatch::~latticeBatch() = default;

void latticeBatch::listX(const float *xs, int count)
{
    count = std::min(count, s->limits.xLength);
    std::copy(xs, xs + count, s->array[0]);
    for (int i : s->xOps)
        applyAlong(*s, s->plan.ops[i], count);
    s->listedCount = count;
    s->blockCount = 0;
}

void latticeBatch::enterX(int listed)
{
    for (int r : s->xRegisters)
        s->scalar[r] = s->array[r][listed];
    rowsFor(*s, listed);
    for (int i : s->rowOps) {
        int r = s->plan.ops[i].result;
        s->array[r] = s->rowBlock[r] + (listed - s->blockFirst) * rowLength(*s, r);
    }
    s->run.count = 0;
}

const batchRun &latticeBatch::runAt(long long point)
{
    if (point >= s->run.first && point < s->run.first + s->run.count)
        return s->run;
    computeRun(*s, spanAt(*s, point, s->yCount * s->zCount));
    return s->run;
}
