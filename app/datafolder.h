// Where the figures and the screenshots live: the gallery/ and Screenshots/
// folders of the working folder when it has a gallery/ folder (./run starts
// the program in the project folder), or else those of a folder of the
// user's own, $XDG_DATA_HOME/latticegraph (~/.local/share/latticegraph by
// default), which the first start makes with a copy of the starter gallery.
#pragma once
#include <string>

// The folder to use, made ready: working when it has gallery/, else the
// user's folder under xdgDataHome (only an absolute path counts) or under
// home/.local/share, created if missing; a folder without gallery/ gets a
// copy of starterGallery's *.fig files, all of them or none. "" after
// saying in *error why no folder could be made ready.
std::string prepareDataFolder(const std::string &working, const char *xdgDataHome, const char *home,
                              const std::string &starterGallery, std::string *error);

// Makes the chosen folder the working folder, so that every relative path of
// the program lands in it; paths taken from the command line must be made
// absolute first. On failure it says why on stderr, keeps the working
// folder and returns false.
bool enterDataFolder();

// The folder a start from the working folder would use, whether or not it
// exists yet; "" when it would be the user's and no home folder is known.
std::string dataFolderPath();

// The history of figures, in the folder: every figure reached, so that
// Ctrl+Z walks back into earlier runs. Removing the file clears it.
const char HISTORY_FILE[] = "figure-history.txt";

// One line for --help: the folder a start from the working folder would use.
std::string dataFolderDescription();
