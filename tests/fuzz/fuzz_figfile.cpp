// Any bytes as a figure file, and as the records of a history file: reading
// keeps every text inside its 100 bytes. Any bytes as settings (any float
// bits, colours, style, gain and texts): written and read back, as a file and
// as a history record, they are the same settings, bit for bit, but that a
// NaN keeps only its sign and a text is one word (whitespace, or nothing, "_").
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include "figure/figure.h"
#include "figure/history.h"

static char inputPath[128], outputPath[128], historyPath[128];
static figure fig;

static void fail(const char *what)
{
    fprintf(stderr, "figure file: %s\n", what);
    abort();
}

static void textsChecked(const figure &f)
{
    for (const char *text : { f.aXForm, f.aYForm, f.aZForm })
        if (!memchr(text, 0, FORMULA_TEXT))
            fail("a text runs past its 100 bytes");
}

static void readChecked(const char *path)
{
    if (!readFIG(path, fig))
        fail("a file that exists cannot be read");
    textsChecked(fig);
}

static std::string fileWord(std::string text)
{
    for (char &c : text)
        c = strchr(" \t\n\v\f\r", c) ? '_' : c;
    return text.empty() ? "_" : text;
}

// The numbers are compared as the bytes that hold them; a NaN only by its sign.
static std::string settingsKey()
{
    float range[9];
    for (int i = 0; i < 9; i++)
        range[i] = std::isnan(fig.Range[i]) ? std::copysign(NAN, fig.Range[i]) : fig.Range[i];
    return std::string((char *)range, sizeof range) + std::string((char *)fig.Color, sizeof fig.Color) + (char)fig.style +
           std::string((char *)&fig.ColorPow, sizeof fig.ColorPow) + fileWord(fig.aXForm) + "|" + fileWord(fig.aYForm) + "|" +
           fileWord(fig.aZForm);
}

const size_t NUMBERS = sizeof fig.Range + sizeof fig.Color + 1 + sizeof fig.ColorPow, TEXT = FORMULA_TEXT - 1;

static void checkSettingsRoundTrip(const uint8_t *data, size_t size)
{
    uint8_t raw[NUMBERS + 3 * TEXT] = {};
    memcpy(raw, data, size < sizeof raw ? size : sizeof raw);
    memcpy(fig.Range, raw, sizeof fig.Range);
    memcpy(fig.Color, raw + sizeof fig.Range, sizeof fig.Color);
    fig.style = raw[sizeof fig.Range + sizeof fig.Color];
    memcpy(&fig.ColorPow, raw + NUMBERS - sizeof fig.ColorPow, sizeof fig.ColorPow);
    char *texts[3] = { fig.aXForm, fig.aYForm, fig.aZForm };
    for (int i = 0; i < 3; i++)
        snprintf(texts[i], FORMULA_TEXT, "%.*s", (int)TEXT, (const char *)raw + NUMBERS + i * TEXT);
    std::string written = settingsKey();
    std::string line = historyLine(fig, historyMark::reached);
    if (!writeFIG(outputPath, fig))
        fail("writeFIG failed");
    fig = defaultFigure();
    readChecked(outputPath);
    if (settingsKey() != written)
        fail("settings written and read back are not the same settings");
    historyMark mark;
    fig = defaultFigure();
    if (!readHistoryLine(line.data(), line.size() - 1, fig, mark) || settingsKey() != written)
        fail("settings in a history record and read back are not the same settings");
}

// The bytes as the records of a history file: damaged records are skipped,
// whatever they hold, and every figure read keeps its texts in bounds.
static void readHistoryChecked(const uint8_t *data, size_t size)
{
    FILE *file = fopen(historyPath, "wb");
    if (!file || fputs(HISTORY_HEADER, file) < 0 || fwrite(data, 1, size, file) != size || fclose(file) != 0)
        fail("the history file cannot be written");
    for (const figure &f : figureHistory(historyPath).read())
        textsChecked(f);
}

// Every save is synced: a memory file system spares the disk at each run.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *dir = getenv("TMPDIR") ? getenv("TMPDIR") : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(inputPath, sizeof inputPath, "%s/fuzz-fig-%d-in.fig", dir, (int)getpid());
    snprintf(outputPath, sizeof outputPath, "%s/fuzz-fig-%d-out.fig", dir, (int)getpid());
    snprintf(historyPath, sizeof historyPath, "%s/fuzz-fig-%d-history.txt", dir, (int)getpid());
    atexit([] { remove(inputPath); remove(outputPath); remove(historyPath); });
    return 0;
}

// A file larger than a figure is refused unread (a unit test checks that).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fig = defaultFigure();
    FILE *file = fopen(inputPath, "wb");
    if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0)
        fail("the input file cannot be written");
    if (size <= (size_t)FIGURE_FILE_LIMIT)
        readChecked(inputPath);
    checkSettingsRoundTrip(data, size);
    readHistoryChecked(data, size);
    return 0;
}
