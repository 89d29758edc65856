// PNG files of square pictures, 8-bit RGB, written whole or not at all.
#pragma once
#include <cstdint>
#include <cstdio>

// A pixel as the writer takes it: in memory the bytes red, green, blue and
// one unused, on any byte order.
uint32_t packPixel(int red, int green, int blue);

// Rows first..first+count-1 of a picture into out, size pixels each.
typedef void (*rowPainter)(void *context, int first, int count, uint32_t *out);

// Writes the size x size picture that paint gives, band by band, through a
// temporary file beside path (see io/replace.h), painting and compressing on
// the given number of threads; the file's bytes do not depend on it.
// rowDone(context, y) is called on the calling thread as the rows up to y
// are done; false from it abandons the file. On failure path keeps what it
// held and *error gets the errno value (EINTR when rowDone stopped it).
bool writePNG(const char *path, int size, rowPainter paint, void *paintContext, int threads,
              bool (*rowDone)(void *context, int y), void *context, int *error);

// The same file written to an open stream (standard output) as it is made:
// on failure the stream holds what was written so far.
bool writePNGStream(FILE *out, int size, rowPainter paint, void *paintContext, int threads,
                    bool (*rowDone)(void *context, int y), void *context, int *error);
