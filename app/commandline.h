// The command line: with no arguments the window with the default figure;
// with a figure file the window with that figure; --export renders a figure
// into a PNG file without a display; --explain tells how formula texts are
// read. One usage text serves --help and every
// usage error.
#pragma once
#include <string>
#include <vector>
#include "export/export.h"

// Exit status of the program.
enum exitStatus {
    STATUS_DONE = 0,
    STATUS_FAILED = 1,              // an export failed, or there is no display for the window
    STATUS_USAGE = 2                // a usage error, an unreadable figure, a sweep that never ends,
                                    // an output file that is the figure itself
};

enum class commandAction { window, exportPicture, explain, help, version, usageError };

struct commandLine {
    commandAction action = commandAction::window;
    const char *figure = nullptr;   // a figure file; with --export also the word "default"
    exportRequest request;          // for --export
    std::vector<const char *> texts;    // for --explain: the formula texts
    std::string problem;            // what is wrong, for a usage error
};

commandLine parseCommandLine(int argc, const char *const *argv);

// Parses, then runs what the command line asks for; the exit status.
int runCommandLine(int argc, const char *const *argv);
