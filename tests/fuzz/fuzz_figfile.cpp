// Any bytes as a figure file. Reading must keep every text inside its 100
// bytes, and what was read must come back through the format: written, read
// again and written once more, it gives the same bytes, so every field the
// one-line format carries survived the second read.
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

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *dir = getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
    snprintf(inputPath, sizeof inputPath, "%s/fuzz-fig-%d-in.fig", dir, (int)getpid());
    snprintf(outputPath, sizeof outputPath, "%s/fuzz-fig-%d-out.fig", dir, (int)getpid());
    atexit([] { remove(inputPath); remove(outputPath); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setDefaultTexts();
    setDefaultSettings();
    FILE *file = fopen(inputPath, "wb");
    if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0)
        fail("the input file cannot be written");

    readChecked(inputPath);
    std::string first = writtenBytes();
    readChecked(outputPath);
    if (writtenBytes() != first)
        fail("a figure read back from its own file is written differently");
    return 0;
}
