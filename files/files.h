// Figure files, gallery browsers and screenshots.
#pragma once
#include <cstdio>

extern FILE *loadFile;              // the figure file being read or written

bool writeFIG(const char *path);
bool readFIG(const char *path);
void loadFIG();
void saveFIG();
void printscreen();
