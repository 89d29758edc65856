// The gallery browsers and screenshots.
#pragma once


#include <string>
#include "figure/figure.h"

// The Load list over the drawing area: a click loads that figure file into
// into (fields the file lacks keep their values), Del then Y deletes one,
// Esc closes. A file that cannot be loaded or deleted is reported and the
// list stays. True when a figure was loaded; the caller then renders and
// shows it.
bool loadFIG(figure &into);
// The Save list: a click on a file asks before writing the figure over it,
// "New File" asks for a name; the figure is repainted when it closes. The
// name of the file written ("NAME.fig"), or "" when none was.
std::string saveFIG(const figure &f);
// The whole picture as the lowest free Screenshots/shotN.bmp, which appears
// whole or not at all and never replaces a file. Its name ("shotN.bmp"), or
// "" when none was written.
std::string printscreen();

const int GALLERY_ENTRIES = 512;    // most files a browser lists
int listGallery();                  // gallery/*.fig names, sorted; returns the count
const char *galleryEntry(int i);    // whole file name of entry i, without the folder
// "Could not ACTION PATH: REASON. (Press Enter)" until Enter or Esc.
void reportFailure(const char *action, const char *path, const char *reason);
