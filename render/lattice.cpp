// The sweep. Coordinates are accumulated in single precision, so the number
// of points a sweep visits follows from float rounding of its steps, and a
// step too small to move a coordinate never ends (only a stop hook does).
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
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

// A depth that is NaN, infinite or beyond the int range counts as below
// every cell, so it never changes one.
static bool depthOfValue(float value, int *depth)
{
    if (!(value > -2147483648.0f && value < 2147483648.0f))
        return false;
    *depth = (int)value;
    return true;
}

sweepJob documentJob(int *cells, int size, float *point)
{
    sweepJob job;
    memcpy(job.range, Range, sizeof job.range);
    job.style = style;
    job.forms[0] = myXForm;
    job.forms[1] = myYForm;
    job.forms[2] = myZForm;
    job.size = size;
    job.cells = cells;
    job.point = point;
    return job;
}

// The compiled path runs the programs axis by axis: the ops that depend only
// on X run once per X value, those that depend on Y once per (X, Y) pair, so
// a point costs only its Z ops. Evaluation has no side effects, so running
// ops early changes no value.
struct sweepState {
    const sweepJob &job;
    float half;                     // half the grid, the scale of formula values
    formulaProgram programs[3];
    float registers[3][PROGRAM_REGISTERS];
};

static void enterAxis(sweepState &s, int axis)
{
    if (s.job.path != evaluation::compiled)
        return;
    for (int f = 0; f < 3; f++)
        runAxis(s.programs[f], s.registers[f], axis, s.job.point[axis]);
}

static void pointValues(sweepState &s, float values[3])
{
    if (s.job.path == evaluation::reference)
        memcpy(Time, s.job.point, sizeof Time);
    for (int f = 0; f < 3; f++) {
        if (s.job.path == evaluation::compiled)
            values[f] = s.registers[f][s.programs[f].result];
        else
            values[f] = evaluate(s.job.forms[f]);
    }
}

static void recordPoint(sweepState &s)
{
    float values[3];
    pointValues(s, values);
    int px = pixelOnGrid(values[0], s.half, s.job.size / 2);
    int py = pixelOnGrid(values[1], s.half, s.job.size / 2);
    if (px < 0 || py < 0)
        return;
    int &cell = s.job.cells[px * s.job.size + py];
    if (s.job.style == STYLE_COUNTS) {
        if (cell < INT_MAX)         // a sweep left running for hours must not wrap
            cell++;
    } else if (s.job.style == STYLE_HIGHEST_Z) {
        int depth;
        if (depthOfValue(values[2], &depth) && depth > cell)
            cell = depth;
    }
}

static bool stopped(const sweepState &s)
{
    return s.job.hooks.stop && s.job.hooks.stop(s.job.hooks.context);
}

static bool skipsX(const sweepState &s, long long index)
{
    return s.job.xParts > 1 && index % s.job.xParts != s.job.xPart;
}

// One sweep per axis, each made for its place in the nest.
template <int axis> static void sweepAxis(sweepState &s)
{
    float *point = s.job.point;
    const float *range = s.job.range + 3 * axis;     // minimum, maximum, skip
    long long index = 0;
    for (point[axis] = range[0]; point[axis] <= range[1] && !stopped(s);
         point[axis] = point[axis] + range[2], index++) {
        if (axis == 0 && skipsX(s, index))
            continue;
        enterAxis(s, axis);
        if constexpr (axis < 2)
            sweepAxis<axis + 1>(s);
        else
            recordPoint(s);
        if (s.job.hooks.stepDone)
            s.job.hooks.stepDone(s.job.hooks.context, axis, point);
    }
}

void sweepLattice(const sweepJob &job)
{
    sweepState s{ job, (float)(job.size / 2), {}, {} };
    if (job.path == evaluation::compiled) {
        for (int f = 0; f < 3; f++) {
            s.programs[f] = compileProgram(job.forms[f]);
            loadProgram(s.programs[f], s.registers[f]);
        }
    }
    memset(job.cells, 0, (size_t)job.size * job.size * sizeof job.cells[0]);
    sweepAxis<0>(s);
}
