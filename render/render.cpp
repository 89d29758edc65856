// The render pass: sweeps the X, Y, Z lattice of Range into the cell buffer.
// The coordinates live in Time and are accumulated in single precision, so the
// number of points a sweep visits follows from float rounding of its steps.
#include <climits>
#include <cstring>
#include "app/app.h"
#include "render/render.h"

bool escKeyHeld()
{
    return key[KEY_ESC] != 0;
}

bool (*renderEscHeld)() = escKeyHeld;

// The compiled path runs these programs, made from the records once per pass,
// axis by axis: the ops that depend only on X run once per X value, those
// that depend on Y once per (X, Y) pair, so a point costs only its Z ops.
// Evaluation has no side effects, so running ops early changes no value.
static bool compiledPath;
static formulaProgram programs[3];
static float registers[3][PROGRAM_REGISTERS];

static void runProgramsForAxis(int axis)
{
    if (!compiledPath)
        return;
    for (int f = 0; f < 3; f++)
        runAxis(programs[f], registers[f], axis, Time[axis]);
}

int pixelOfValue(float value)
{
    float scaled = value * 240.0f;
    // trunc(scaled) + 240 lies in 0..479 exactly when -241 < scaled < 240.
    // Testing the float before converting keeps NaN and huge values away
    // from an undefined conversion.
    if (!(scaled > -241.0f && scaled < 240.0f))
        return -1;
    return (int)scaled + 240;
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

int progressColumn(float x, float xMin, float xMax)
{
    if (xMax == xMin)
        return -1;
    float column = ((x - xMin) * 120.0f) / (xMax - xMin) + 500.0f;
    if (!(column > -1.0f && column < (float)SCREEN_W_PX))
        return -1;
    return (int)column;
}

static void formulaValues(float values[3])
{
    if (compiledPath) {
        for (int f = 0; f < 3; f++)
            values[f] = registers[f][programs[f].result];
    } else {
        values[0] = evaluate(myXForm);
        values[1] = evaluate(myYForm);
        values[2] = evaluate(myZForm);
    }
}

static void recordPoint(const float values[3])
{
    int px = pixelOfValue(values[0]);
    int py = pixelOfValue(values[1]);
    if (px < 0 || py < 0)
        return;
    int &cell = life[px * 480 + py];
    if (style == 0) {
        if (cell < INT_MAX)         // a sweep left running for hours must not wrap
            cell++;
    } else if (style == 1) {
        int depth;
        if (depthOfValue(values[2], &depth) && depth > cell)
            cell = depth;
    }
}

static void refreshDisplay()
{
    drawFIG();
    acquire_screen();
    blit(buffer, screen, 0, 0, 0, 0, SCREEN_W_PX, SCREEN_H_PX);
    release_screen();
}

static void drawProgressMarks(float x)
{
    int column = progressColumn(x, Range[0], Range[1]);
    if (column < 0)
        return;
    vline(screen, column, 372, 375, makecol(64, 192, 96));
    vline(screen, column, 392, 395, makecol(64, 96, 192));
}

static void sweepZ()
{
    Time[2] = Range[6];
    while (Time[2] <= Range[7] && !renderEscHeld()) {
        runProgramsForAxis(2);
        float values[3];
        formulaValues(values);
        recordPoint(values);
        if (key[KEY_F1])
            refreshDisplay();
        Time[2] = Time[2] + Range[8];
    }
}

static void sweepY()
{
    Time[1] = Range[3];
    while (Time[1] <= Range[4] && !renderEscHeld()) {
        runProgramsForAxis(1);
        sweepZ();
        if (key[KEY_F2])
            refreshDisplay();
        Time[1] = Time[1] + Range[5];
    }
}

static void sweepX()
{
    Time[0] = Range[0];
    while (Time[0] <= Range[1] && !renderEscHeld()) {
        runProgramsForAxis(0);
        sweepY();
        if (key[KEY_F3])
            refreshDisplay();
        drawProgressMarks(Time[0]);
        Time[0] = Time[0] + Range[2];
    }
}

void renderBy(bool compiled)
{
    compiledPath = compiled;
    if (compiled) {
        programs[0] = compileProgram(myXForm);
        programs[1] = compileProgram(myYForm);
        programs[2] = compileProgram(myZForm);
        for (int f = 0; f < 3; f++)
            loadProgram(programs[f], registers[f]);
    }
    drawButton(screen, "Esc to Cancel", 496, 368, 128, 32, makecol(128, 128, 128), 4, -1);
    memset(life, 0, CELL_COUNT * sizeof life[0]);
    sweepX();
    waitKeyRelease(KEY_ESC);
}

void render()
{
    renderBy(true);
}
