// What a long export tells its terminal, and how it is stopped: a one-line
// progress report on stderr, and SIGINT and SIGTERM caught as a request to
// stop instead of an instant end that would leave a temporary file behind.
#pragma once
#include <chrono>
#include <string>

// The line, e.g. "rendering  42% [########            ] 1.2 M points/s, 0:07 left".
std::string progressText(const char *phase, double fraction, double perSecond, const char *unit,
                         double secondsLeft);

// Drawn on stderr, redrawn in place, only when stderr is a terminal and the
// phase has run about a second; redrawn at most ten times a second.
class progressLine {
public:
    progressLine(const char *phase, const char *unit);
    static bool shown();                    // false when stderr is not a terminal
    void update(double done, double total); // units done of total
    void finish();                          // ends the line if one was drawn
private:
    using clock = std::chrono::steady_clock;
    const char *phase, *unit;
    clock::time_point start, lastDraw;
    bool drawn = false;
};

// From here on SIGINT and SIGTERM only set a flag (a signal that the process
// inherited as ignored stays ignored).
void catchInterrupts();
bool interruptRequested();                  // may be asked from any thread
int interruptSignal();                      // the signal caught, or 0
