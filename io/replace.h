// Files that appear whole or not at all. Knows nothing of the program.
#pragma once
#include <cstdio>

// Writes a new version of path: write() fills a temporary file in the same
// folder, which is flushed, synced to the disk and renamed over path. On any
// failure the temporary file is removed, path keeps exactly what it held (or
// stays absent), *error (if given) gets the errno value of the first failure
// (EIO when write() failed without one), and the result is false.
bool replaceFile(const char *path, bool (*write)(FILE *file, void *context), void *context,
                 int *error = nullptr);
