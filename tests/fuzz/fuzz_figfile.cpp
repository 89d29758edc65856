// Any bytes as a figure file, and any bytes as figure settings.
// As a file: reading must keep every text inside its 100 bytes, and what was
// read must come back through the format: written, read again and written
// once more, it gives the same bytes.
// As settings: every float bit pattern in the ranges, any colours, style and
// gain, texts of any bytes; written and read back they are the same settings,
// bit for bit, but that a NaN keeps only its sign and that a text is stored
// as one word (whitespace as "_", an empty text as "_").
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

struct settingsImage {
    float range[9];
    int color[12];
    unsigned char style;
    int pow;
    char texts[3][FORMULA_TEXT];
};

// Texts come from the bytes after the numbers, cut at a zero byte or 99 bytes.
static void takeText(const uint8_t *&data, const uint8_t *end, char *text)
{
    int n = 0;
    while (data < end && *data != 0 && n < FORMULA_TEXT - 1)
        text[n++] = (char)*data++;
    text[n] = 0;
    if (data < end)
        data++;
}

static settingsImage imageFromBytes(const uint8_t *data, size_t size)
{
    settingsImage image = {};
    const size_t numbers = sizeof image.range + sizeof image.color + 1 + sizeof image.pow;
    uint8_t raw[numbers] = {};
    memcpy(raw, data, size < numbers ? size : numbers);
    memcpy(image.range, raw, sizeof image.range);
    memcpy(image.color, raw + sizeof image.range, sizeof image.color);
    image.style = raw[sizeof image.range + sizeof image.color];
    memcpy(&image.pow, raw + numbers - sizeof image.pow, sizeof image.pow);
    const uint8_t *rest = data + (size < numbers ? size : numbers), *end = data + size;
    for (char *text : image.texts)
        takeText(rest, end, text);
    return image;
}

static void applyImage(const settingsImage &image)
{
    memcpy(Range, image.range, sizeof Range);
    memcpy(Color, image.color, sizeof Color);
    style = image.style;
    ColorPow = image.pow;
    strcpy(aXForm, image.texts[0]);
    strcpy(aYForm, image.texts[1]);
    strcpy(aZForm, image.texts[2]);
}

static std::string fileWord(const char *text)
{
    std::string word;
    for (const char *c = text; *c; c++)
        word += strchr(" \t\n\v\f\r", *c) ? '_' : *c;
    return word.empty() ? "_" : word;
}

static bool sameReal(float read, float written)
{
    if (std::isnan(written))
        return std::isnan(read) && std::signbit(read) == std::signbit(written);
    return memcmp(&read, &written, sizeof read) == 0;
}

static void checkSettingsRoundTrip(const uint8_t *data, size_t size)
{
    settingsImage image = imageFromBytes(data, size);
    applyImage(image);
    if (!writeFIG(outputPath))
        fail("writeFIG failed");
    setDefaultTexts();
    setDefaultSettings();
    readChecked(outputPath);
    for (int i = 0; i < 9; i++)
        if (!sameReal(Range[i], image.range[i]))
            fail("a range value comes back as another float");
    if (memcmp(Color, image.color, sizeof Color) != 0 || style != image.style || ColorPow != image.pow)
        fail("a colour, the style or the gain comes back changed");
    const char *texts[3] = { aXForm, aYForm, aZForm };
    for (int i = 0; i < 3; i++)
        if (texts[i] != fileWord(image.texts[i]))
            fail("a formula text comes back changed");
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
