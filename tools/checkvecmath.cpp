// checkvecmath: compares the array functions of formula/vecmath.h with the
// scalar formula functions, bit for bit (any NaN matches any NaN), on two
// threads, or times the paths.
//
//   checkvecmath [--only sin|cos|tan|pow ...] [--path avx2|avx512] [--stride K] [--pow-pairs N] [--speed]
//
// sin, cos and tan are checked on every float bit pattern (every K-th with
// --stride K), pow on N pseudo-random pairs (10^9 by default) drawn from
// several families of bases and exponents; the pairs depend only on N.
// Each vector path the processor and the build have is checked in turn
// (AVX-512, then AVX2), or only the one named with --path.
// Exit status 0 when nothing differs, 1 on a difference, 2 on bad options
// or when no vector path is there to check.
#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>
#include "formula/symbols.h"
#include "formula/vecmath.h"

const int THREADS = 2;
const int CHUNK = 1 << 16;                  // values per array call and per unit of work
const int SHOWN_MISMATCHES = 10;

enum mathFunction { FN_SIN, FN_COS, FN_TAN, FN_POW, FN_COUNT };
static const char *const FUNCTION_NAMES[FN_COUNT] = { "sin", "cos", "tan", "pow" };

struct options {
    bool wanted[FN_COUNT];
    uint64_t stride;
    uint64_t powPairs;
    bool speed;
    vectorPath path;        // none: every path there is
};

struct tally {
    std::atomic<uint64_t> checked{0}, mismatches{0}, fallbacks{0};
    std::mutex shownLock;
    int shown = 0;
};

static bool sameValue(float a, float b)
{
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b) || (std::isnan(a) && std::isnan(b));
}

static int arrayOf(mathFunction f, const float *a, const float *b, float *out, int n)
{
    switch (f) {
    case FN_SIN: return sinArray(a, out, n);
    case FN_COS: return cosArray(a, out, n);
    case FN_TAN: return tanArray(a, out, n);
    default: return powArray(a, b, out, n);
    }
}

static float scalarOf(mathFunction f, float a, float b)
{
    switch (f) {
    case FN_SIN: return sineOf(a);
    case FN_COS: return cosineOf(a);
    case FN_TAN: return tangentOf(a);
    default: return powerOf(a, b);
    }
}

static void report(tally &t, mathFunction f, float a, float b, float got, float want)
{
    std::lock_guard<std::mutex> hold(t.shownLock);
    if (t.shown++ >= SHOWN_MISMATCHES)
        return;
    if (f == FN_POW)
        printf("  pow(%a [%08x], %a [%08x]): array %a [%08x], scalar %a [%08x]\n", a, std::bit_cast<uint32_t>(a), b,
               std::bit_cast<uint32_t>(b), got, std::bit_cast<uint32_t>(got), want, std::bit_cast<uint32_t>(want));
    else
        printf("  %s(%a [%08x]): array %a [%08x], scalar %a [%08x]\n", FUNCTION_NAMES[f], a, std::bit_cast<uint32_t>(a),
               got, std::bit_cast<uint32_t>(got), want, std::bit_cast<uint32_t>(want));
}

// Runs one chunk of inputs through the array function and the scalar one.
static void compareChunk(mathFunction f, const float *a, const float *b, int n, tally &t)
{
    std::vector<float> out(n);
    uint64_t wrong = 0;
    t.fallbacks += arrayOf(f, a, b, out.data(), n);
    for (int i = 0; i < n; i++) {
        float want = scalarOf(f, a[i], b ? b[i] : 0);
        if (!sameValue(out[i], want))
            wrong++, report(t, f, a[i], b ? b[i] : 0, out[i], want);
    }
    t.checked += n;
    t.mismatches += wrong;
}

// ---- pow's pairs ----

static uint64_t nextRandom(uint64_t &state)     // splitmix64
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

static double uniform(uint64_t &state, double low, double high)
{
    return low + (high - low) * (double)(nextRandom(state) >> 11) * 0x1p-53;
}

static float logUniform(uint64_t &state, double lowPower, double highPower)
{
    return (float)std::exp2(uniform(state, lowPower, highPower));
}

enum pairFamily {
    PAIR_SMALL_BASE,        // base in (0, 2), exponent in (-50, 50)
    PAIR_INTEGER_EXPONENT,  // base of either sign from 2^-20 to 2^20, integer exponent in [-30, 30]
    PAIR_WIDE_MAGNITUDE,    // base from the least subnormal to FLT_MAX, exponent in (-4, 4)
    PAIR_NEGATIVE_BASE,     // base in (-4, 0), integer or fractional exponent in (-60, 60)
    PAIR_NEAR_ONE,          // base within 2^-10 of 1, exponent of magnitude up to 2^20
    PAIR_SIMPLE_EXPONENT,   // base in (0, 1000), exponent k/4 for k in [-16, 16]: often exact results
    PAIR_RAW_BITS,          // both random bit patterns
    PAIR_FAMILIES
};

static void makePair(uint64_t &state, int family, float &base, float &exponent)
{
    switch (family) {
    case PAIR_SMALL_BASE:
        base = (float)uniform(state, 0, 2), exponent = (float)uniform(state, -50, 50);
        break;
    case PAIR_INTEGER_EXPONENT:
        base = logUniform(state, -20, 20) * (nextRandom(state) & 1 ? -1 : 1);
        exponent = (float)((int)(nextRandom(state) % 61) - 30);
        break;
    case PAIR_WIDE_MAGNITUDE:
        base = logUniform(state, -149, 128), exponent = (float)uniform(state, -4, 4);
        break;
    case PAIR_NEGATIVE_BASE:
        base = -(float)uniform(state, 0, 4), exponent = (float)uniform(state, -60, 60);
        if (nextRandom(state) & 1)
            exponent = std::round(exponent);
        break;
    case PAIR_NEAR_ONE:
        base = (float)(1 + uniform(state, -0x1p-10, 0x1p-10));
        exponent = (float)uniform(state, -0x1p20, 0x1p20);
        break;
    case PAIR_SIMPLE_EXPONENT:
        base = (float)uniform(state, 0, 1000), exponent = (float)((int)(nextRandom(state) % 33) - 16) / 4;
        break;
    default:
        base = std::bit_cast<float>((uint32_t)nextRandom(state));
        exponent = std::bit_cast<float>((uint32_t)nextRandom(state));
    }
}

// ---- the two kinds of run ----

static void sweepFloats(mathFunction f, uint64_t stride, tally &t, std::atomic<uint64_t> &nextChunk)
{
    uint64_t total = ((1ull << 32) + stride - 1) / stride;
    std::vector<float> in(CHUNK);
    for (uint64_t c; (c = nextChunk++) * CHUNK < total;) {
        int n = (int)std::min<uint64_t>(CHUNK, total - c * CHUNK);
        for (int i = 0; i < n; i++)
            in[i] = std::bit_cast<float>((uint32_t)((c * CHUNK + i) * stride));
        compareChunk(f, in.data(), nullptr, n, t);
    }
}

static void samplePairs(uint64_t pairs, tally &t, std::atomic<uint64_t> &nextChunk)
{
    std::vector<float> base(CHUNK), exponent(CHUNK);
    for (uint64_t c; (c = nextChunk++) * CHUNK < pairs;) {
        int n = (int)std::min<uint64_t>(CHUNK, pairs - c * CHUNK);
        uint64_t state = c;
        for (int i = 0; i < n; i++)
            makePair(state, (int)((c * CHUNK + i) % PAIR_FAMILIES), base[i], exponent[i]);
        compareChunk(FN_POW, base.data(), exponent.data(), n, t);
    }
}

static bool checkFunction(mathFunction f, const options &o)
{
    tally t;
    std::atomic<uint64_t> nextChunk{0};
    auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int k = 0; k < THREADS; k++)
        workers.emplace_back([&] {
            if (f == FN_POW)
                samplePairs(o.powPairs, t, nextChunk);
            else
                sweepFloats(f, o.stride, t, nextChunk);
        });
    for (auto &w : workers)
        w.join();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("%s, %s: %llu inputs checked, %llu mismatches, %llu fallbacks (%.4f%%), %.1f s\n", FUNCTION_NAMES[f],
           vectorPathName(activeVectorPath()), (unsigned long long)t.checked, (unsigned long long)t.mismatches, (unsigned long long)t.fallbacks,
           t.checked ? 100.0 * t.fallbacks / t.checked : 0.0, seconds);
    fflush(stdout);
    return t.mismatches == 0;
}

// ---- speed ----

const int SPEED_VALUES = 4096;
const int SPEED_ROUNDS = 7;
const double SPEED_ROUND_MS = 50;

// Processor time of this thread: the machine is shared, and time spent
// waiting for a core is not time spent computing.
static double cpuNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e9 + now.tv_nsec;
}

// Median over several rounds of the time per value, each round long enough
// for the clock.
static double nanosecondsPerValue(mathFunction f, const float *a, const float *b, float *out)
{
    double rounds[SPEED_ROUNDS];
    for (double &r : rounds) {
        long values = 0;
        double start = cpuNanoseconds(), now = start;
        while (now - start < SPEED_ROUND_MS * 1e6) {
            arrayOf(f, a, b, out, SPEED_VALUES);
            values += SPEED_VALUES;
            now = cpuNanoseconds();
        }
        r = (now - start) / values;
    }
    std::sort(rounds, rounds + SPEED_ROUNDS);
    return rounds[SPEED_ROUNDS / 2];
}

// Inputs as formulas see them: lattice coordinates and their products for
// sin, cos and tan, bases in (0, 2) and exponents in (-50, 50) for pow.
static void timeFunction(mathFunction f)
{
    std::vector<float> a(SPEED_VALUES), b(SPEED_VALUES), out(SPEED_VALUES);
    uint64_t state = 1;
    for (int i = 0; i < SPEED_VALUES; i++) {
        if (f == FN_POW)
            makePair(state, PAIR_SMALL_BASE, a[i], b[i]);
        else
            a[i] = (float)uniform(state, -100, 100);
    }
    vectorPath path = activeVectorPath();
    useVectorPath(vectorPath::none);
    double scalar = nanosecondsPerValue(f, a.data(), b.data(), out.data());
    useVectorPath(path);
    double vector = nanosecondsPerValue(f, a.data(), b.data(), out.data());
    int fallbacks = arrayOf(f, a.data(), b.data(), out.data(), SPEED_VALUES);
    printf("%s: scalar %.2f ns per value, %s %.2f ns per value, %.2fx (%d of %d values fell back)\n",
           FUNCTION_NAMES[f], scalar, vectorPathName(path), vector, scalar / vector, fallbacks, SPEED_VALUES);
    fflush(stdout);
}

// ---- options ----

static bool readCount(const char *text, uint64_t &count)
{
    char *end;
    errno = 0;
    unsigned long long v = strtoull(text, &end, 10);
    if (errno || end == text || *end || v == 0 || text[0] == '-')
        return false;
    count = v;
    return true;
}

static bool readOptions(int argc, char **argv, options &o)
{
    o = options{ { true, true, true, true }, 1, 1000000000ull, false, vectorPath::none };
    bool onlySeen = false;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i], *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(arg, "--speed")) {
            o.speed = true;
            continue;
        }
        if (!value)
            return false;
        i++;
        if (!strcmp(arg, "--stride") && readCount(value, o.stride) && o.stride <= (1ull << 32))
            continue;
        if (!strcmp(arg, "--pow-pairs") && readCount(value, o.powPairs))
            continue;
        if (!strcmp(arg, "--path")) {
            if (strcmp(value, "avx2") && strcmp(value, "avx512"))
                return false;
            o.path = strcmp(value, "avx2") ? vectorPath::avx512 : vectorPath::avx2;
            continue;
        }
        if (strcmp(arg, "--only"))
            return false;
        int f = 0;
        while (f < FN_COUNT && strcmp(value, FUNCTION_NAMES[f]))
            f++;
        if (f == FN_COUNT)
            return false;
        if (!onlySeen)     // the first --only drops the others; each further one adds its function
            std::fill(o.wanted, o.wanted + FN_COUNT, false);
        onlySeen = true;
        o.wanted[f] = true;
    }
    return true;
}

int main(int argc, char **argv)
{
    options o;
    if (!readOptions(argc, argv, o)) {
        fprintf(stderr, "usage: checkvecmath [--only sin|cos|tan|pow ...] [--path avx2|avx512] [--stride K] [--pow-pairs N]"
                        " [--speed]\n");
        return 2;
    }
    if (!vectorMathActive()) {
        fprintf(stderr, "checkvecmath: no vector path is active here (no AVX2 or no SLEEF): nothing to compare\n");
        return 2;
    }
    if (o.path > widestVectorPath()) {
        fprintf(stderr, "checkvecmath: the %s path is not on this processor or in this build\n", vectorPathName(o.path));
        return 2;
    }
    bool allSame = true;
    for (vectorPath path : { vectorPath::avx512, vectorPath::avx2 }) {
        if (path > widestVectorPath() || (o.path != vectorPath::none && path != o.path))
            continue;
        useVectorPath(path);
        for (int f = 0; f < FN_COUNT; f++) {
            if (!o.wanted[f])
                continue;
            if (o.speed)
                timeFunction((mathFunction)f);
            else
                allSame = checkFunction((mathFunction)f, o) && allSame;
        }
    }
    return allSame ? 0 : 1;
}
