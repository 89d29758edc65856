// PNG files of square pictures, 8-bit RGB, written whole or not at all.
#pragma once
#include <cstdint>

// A pixel as the writer takes it: in memory the bytes red, green, blue and
// one unused, on any byte order.
uint32_t packPixel(int red, int green, int blue);

// Writes the size x size picture whose row y starts at rows[y] through a
// temporary file beside path (see io/replace.h). rowDone(context, y) is
// called after each row; false from it abandons the file. On failure path
// keeps what it held and *error gets the errno value (EINTR when rowDone
// stopped it).
bool writePNG(const char *path, int size, const uint32_t *const *rows, bool (*rowDone)(void *context, int y),
              void *context, int *error);
