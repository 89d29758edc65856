// Figure files, gallery browsers and screenshots.
#pragma once
#include <cstdio>

extern FILE *loadFile;              // the figure file being read or written

bool writeFIG(const char *path);    // true only if the whole record was written
bool readFIG(const char *path);     // true if the file opened; formulas are recompiled
void loadFIG();
void saveFIG();
void printscreen();

// browsers.cpp
const int GALLERY_ENTRIES = 512;    // most files a browser lists
int listGallery();                  // gallery/*.fig names, sorted; returns the count
const char *galleryEntry(int i);    // whole file name of entry i, without the folder
void reportWriteFailure(const char *path);
