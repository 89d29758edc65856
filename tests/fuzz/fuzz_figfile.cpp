// Any bytes as a figure file: reading keeps every text inside its 100 bytes.
// Any bytes as settings (any float bits, colours, style, gain and texts):
// written and read back they are the same settings, bit for bit, but that a
// NaN keeps only its sign and a text is one word (whitespace, or nothing, "_").
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include "figure/figure.h"

static char inputPath[128], outputPath[128];

static void fail(const char *what)
{
    fprintf(stderr, "figure file: %s\n", what);
    abort();
}

static void readChecked(const char *path)
{
    if (!readFIG(path))
        fail("a file that exists cannot be read");
    for (const char *text : { aXForm, aYForm, aZForm })
        if (!memchr(text, 0, FORMULA_TEXT))
            fail("a text runs past its 100 bytes");
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
        range[i] = std::isnan(Range[i]) ? std::copysign(NAN, Range[i]) : Range[i];
    return std::string((char *)range, sizeof range) + std::string((char *)Color, sizeof Color) + (char)style +
           std::string((char *)&ColorPow, sizeof ColorPow) + fileWord(aXForm) + "|" + fileWord(aYForm) + "|" +
           fileWord(aZForm);
}

const size_t NUMBERS = sizeof Range + sizeof Color + 1 + sizeof ColorPow, TEXT = FORMULA_TEXT - 1;

static void checkSettingsRoundTrip(const uint8_t *data, size_t size)
{
    uint8_t raw[NUMBERS + 3 * TEXT] = {};
    memcpy(raw, data, size < sizeof raw ? size : sizeof raw);
    memcpy(Range, raw, sizeof Range);
    memcpy(Color, raw + sizeof Range, sizeof Color);
    style = raw[sizeof Range + sizeof Color];
    memcpy(&ColorPow, raw + NUMBERS - sizeof ColorPow, sizeof ColorPow);
    char *texts[3] = { aXForm, aYForm, aZForm };
    for (int i = 0; i < 3; i++)
        snprintf(texts[i], FORMULA_TEXT, "%.*s", (int)TEXT, (const char *)raw + NUMBERS + i * TEXT);
    std::string written = settingsKey();
    if (!writeFIG(outputPath))
        fail("writeFIG failed");
    setDefaultTexts();
    setDefaultSettings();
    readChecked(outputPath);
    if (settingsKey() != written)
        fail("settings written and read back are not the same settings");
}

// Every save is synced: a memory file system spares the disk at each run.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *dir = getenv("TMPDIR") ? getenv("TMPDIR") : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(inputPath, sizeof inputPath, "%s/fuzz-fig-%d-in.fig", dir, (int)getpid());
    snprintf(outputPath, sizeof outputPath, "%s/fuzz-fig-%d-out.fig", dir, (int)getpid());
    atexit([] { remove(inputPath); remove(outputPath); });
    return 0;
}

// A file larger than a figure is refused unread (a unit test checks that).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setDefaultTexts();
    setDefaultSettings();
    FILE *file = fopen(inputPath, "wb");
    if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0)
        fail("the input file cannot be written");
    if (size <= (size_t)FIGURE_FILE_LIMIT)
        readChecked(inputPath);
    checkSettingsRoundTrip(data, size);
    return 0;
}
