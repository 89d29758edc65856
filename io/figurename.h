// Which file names are figure files, for every place that lists a gallery.
#pragma once

// A visible name (no leading '.') ending in ".fig" with something before it.
// Whether the file is a regular one is the caller's to check.
bool isFigureName(const char *name);
