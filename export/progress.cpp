// The progress line and the interrupt flag of an export.
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#include "export/progress.h"

const double FIRST_DRAW_SECONDS = 1.0;      // quick exports stay silent
const double REDRAW_SECONDS = 0.1;
const int BAR_CELLS = 20;

// 1234567 -> "1.2 M"
static std::string shortNumber(double value)
{
    static const char *const prefixes[] = { "", " k", " M", " G", " T" };
    int p = 0;
    while (value >= 999.5 && p < 4) {
        value /= 1000;
        p++;
    }
    char text[32];
    snprintf(text, sizeof text, p == 0 ? "%.0f%s" : "%.1f%s", value, prefixes[p]);
    return text;
}

// 75 -> "1:15", 3725 -> "1:02:05"
static std::string clockTime(double seconds)
{
    if (!(seconds >= 0 && seconds < 360000))
        return "--:--";
    long s = std::lround(seconds);
    char text[32];
    if (s >= 3600)
        snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

std::string progressText(const char *phase, double fraction, double perSecond, const char *unit,
                         double secondsLeft)
{
    fraction = std::fmin(std::fmax(fraction, 0.0), 1.0);
    int filled = (int)(fraction * BAR_CELLS);
    char text[160];
    snprintf(text, sizeof text, "%s %3d%% [%s%s] %s %s/s, %s left", phase, (int)(fraction * 100),
             std::string(filled, '#').c_str(), std::string(BAR_CELLS - filled, ' ').c_str(),
             shortNumber(perSecond).c_str(), unit, clockTime(secondsLeft).c_str());
    return text;
}

progressLine::progressLine(const char *phase, const char *unit)
    : phase(phase), unit(unit), start(clock::now()), lastDraw(start)
{
}

bool progressLine::shown()
{
    static const bool terminal = isatty(STDERR_FILENO) == 1;
    return terminal;
}

void progressLine::update(double done, double total)
{
    clock::time_point now = clock::now();
    double elapsed = std::chrono::duration<double>(now - start).count();
    if (!shown() || elapsed < FIRST_DRAW_SECONDS
        || std::chrono::duration<double>(now - lastDraw).count() < REDRAW_SECONDS)
        return;
    double fraction = total > 0 ? done / total : 1.0;
    double left = fraction > 0 ? elapsed * (1 - fraction) / fraction : -1;
    // padded so that a shorter line covers a longer one drawn before it
    fprintf(stderr, "\r%-78s", progressText(phase, fraction, done / elapsed, unit, left).c_str());
    fflush(stderr);
    lastDraw = now;
    drawn = true;
}

void progressLine::finish()
{
    if (drawn)
        fprintf(stderr, "\r%78s\r", "");
    drawn = false;
}

// Set by the handler, read by every sweep thread at every loop test.
static std::atomic<int> caughtSignal{ 0 };
static_assert(std::atomic<int>::is_always_lock_free, "stored from a signal handler");

static void catchSignal(int signal)
{
    caughtSignal.store(signal, std::memory_order_relaxed);
}

void catchInterrupts()
{
    for (int signal : { SIGINT, SIGTERM }) {
        struct sigaction action = {}, previous;
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        action.sa_handler = catchSignal;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

bool interruptRequested()
{
    return caughtSignal.load(std::memory_order_relaxed) != 0;
}

int interruptSignal()
{
    return caughtSignal.load(std::memory_order_relaxed);
}
