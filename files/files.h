// The gallery browsers and screenshots.
#pragma once

// The Load list over the drawing area: a click loads that figure file into
// the figure settings, Del then Y deletes one, Esc closes. True when an entry
// was chosen; the caller then renders and shows the figure.
bool loadFIG();
// The Save list: a click writes the figure over that file, "New File" asks
// for a name; the figure is repainted when it closes.
void saveFIG();
// The whole picture as the lowest free Screenshots/shotN.bmp.
void printscreen();

const int GALLERY_ENTRIES = 512;    // most files a browser lists
int listGallery();                  // gallery/*.fig names, sorted; returns the count
const char *galleryEntry(int i);    // whole file name of entry i, without the folder
void reportWriteFailure(const char *path);
