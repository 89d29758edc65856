// Any bytes as a figure file, and any bytes as figure settings.
// As a file: reading must keep every text inside its 100 bytes, and what was
// read must come back through the format: written, read again and written
// once more, it gives the same bytes.
// As settings: every float bit pattern in the ranges, any colours, style and
// gain, texts of any bytes; written and read back they are the same settings,
// bit for bit, but that a NaN keeps only its sign and that a text is stored
// as one word (whitespace as "_", an empty text as "_"), as the guide says.
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

static std::string writtenBytes()
{
    if (!writeFIG(outputPath))
        fail("writeFIG failed");
    std::string bytes;
    FILE *file = fopen(outputPath, "rb");
    for (int c; file && (c = fgetc(file)) != EOF;)
        bytes += (char)c;
    if (file)
        fclose(file);
    return bytes;
}

static void checkFileRoundTrip(const uint8_t *data, size_t size)
{
    setDefaultTexts();
    setDefaultSettings();
    FILE *file = fopen(inputPath, "wb");
    if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0)
        fail("the input file cannot be written");
    if (size > (size_t)FIGURE_FILE_LIMIT) {
        if (readFIG(inputPath))
            fail("a file larger than a figure is read");
        return;
    }
    readChecked(inputPath);
    std::string first = writtenBytes();
    readChecked(outputPath);
    if (writtenBytes() != first)
        fail("a figure read back from its own file is written differently");
}

// ---- settings -> file -> the same settings ----

const size_t NUMBERS = sizeof Range + sizeof Color + 1 + sizeof ColorPow, TEXT = FORMULA_TEXT - 1;

static std::string fileWord(const char *text)
{
    std::string word;
    for (const char *c = text; *c; c++)
        word += strchr(" \t\n\v\f\r", *c) ? '_' : *c;
    return word.empty() ? "_" : word;
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

// Every save is synced to the disk; a memory file system keeps the fuzzer
// from waiting on the disk at each run.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *dir = getenv("TMPDIR") ? getenv("TMPDIR") : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(inputPath, sizeof inputPath, "%s/fuzz-fig-%d-in.fig", dir, (int)getpid());
    snprintf(outputPath, sizeof outputPath, "%s/fuzz-fig-%d-out.fig", dir, (int)getpid());
    atexit([] { remove(inputPath); remove(outputPath); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkFileRoundTrip(data, size);
    checkSettingsRoundTrip(data, size);
    return 0;
}
