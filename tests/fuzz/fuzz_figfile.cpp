// Any bytes as a figure file. Reading must keep every text inside its 100
// bytes; writing what was read and reading it back must give the same figure
// for every field the one-line format carries, and from then on the file is
// a fixed point: written again, it is the same bytes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include "app/app.h"
#include "files/files.h"

struct figure {
    std::string texts[3];
    float range[9];
    int color[12];
    int style, pow;
};

static char inputPath[128], outputPath[128];

static void fail(const char *what)
{
    fprintf(stderr, "figure file round trip: %s\n", what);
    abort();
}

static std::string textOf(const char *text)
{
    if (!memchr(text, 0, FORMULA_TEXT))
        fail("a text runs past its 100 bytes");
    return text;
}

static figure settings()
{
    figure f;
    f.texts[0] = textOf(aXForm), f.texts[1] = textOf(aYForm), f.texts[2] = textOf(aZForm);
    memcpy(f.range, Range, sizeof f.range);
    memcpy(f.color, Color, sizeof f.color);
    f.style = style, f.pow = ColorPow;
    return f;
}

static std::string fileBytes(const char *path)
{
    std::string bytes;
    FILE *file = fopen(path, "rb");
    if (!file)
        fail("a written file cannot be opened");
    for (int c; (c = fgetc(file)) != EOF;)
        bytes += (char)c;
    fclose(file);
    return bytes;
}

static void writeBytes(const char *path, const uint8_t *data, size_t size)
{
    FILE *file = fopen(path, "wb");
    if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0)
        fail("the input file cannot be written");
}

// Reals pass through six decimals: what comes back is within half a
// millionth of what went out, plus the float's own rounding.
static bool carried(float first, float second)
{
    if (std::isnan(first) || std::isnan(second))
        return std::isnan(first) && std::isnan(second);
    if (first == second)
        return true;
    float spacing = std::nextafter(std::fabs(first), INFINITY) - std::fabs(first);
    return std::fabs(second - first) <= 5e-7f + spacing;
}

// An empty text (a file word that starts with a zero byte) is written as "_".
static void compare(const figure &first, const figure &second, bool exactReals)
{
    for (int i = 0; i < 3; i++)
        if (second.texts[i] != (first.texts[i].empty() ? "_" : first.texts[i]))
            fail("a text changed");
    for (int i = 0; i < 9; i++) {
        bool same = exactReals ? memcmp(&first.range[i], &second.range[i], 4) == 0
                                     || (std::isnan(first.range[i]) && std::isnan(second.range[i]))
                               : carried(first.range[i], second.range[i]);
        if (!same)
            fail("a range value changed");
    }
    if (memcmp(first.color, second.color, sizeof first.color) != 0)
        fail("a colour channel changed");
    if (first.style != second.style || first.pow != second.pow)
        fail("the style or the power changed");
}

static figure readBack(const char *path)
{
    if (!readFIG(path))
        fail("a file cannot be read");
    return settings();
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *dir = getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
    snprintf(inputPath, sizeof inputPath, "%s/fuzz-fig-%d-in.fig", dir, (int)getpid());
    snprintf(outputPath, sizeof outputPath, "%s/fuzz-fig-%d-out.fig", dir, (int)getpid());
    atexit([] { remove(inputPath); remove(outputPath); });
    fillSignOf();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setDefaultTexts();
    setDefaultSettings();
    writeBytes(inputPath, data, size);
    figure first = readBack(inputPath);

    if (!writeFIG(outputPath))
        fail("writeFIG failed");
    std::string written = fileBytes(outputPath);
    figure second = readBack(outputPath);
    compare(first, second, false);

    if (!writeFIG(outputPath) || fileBytes(outputPath) != written)
        fail("a figure read back is not written as the same bytes");
    compare(second, readBack(outputPath), true);
    return 0;
}
