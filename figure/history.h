// The history file: every figure the user reaches, appended one record a
// line, so that a later run can walk back into an earlier one. Knows no
// screen; the shell says where the file is and when to write.
#pragma once
#include <string>
#include <vector>
#include "figure/figure.h"

// Kept at most: the newest records, within about this many bytes. The file
// is rewritten without the oldest records once it is a tenth beyond either.
const size_t HISTORY_RECORDS = 10000;
const size_t HISTORY_BYTES = 10 * 1024 * 1024;
// A larger file is not read at all.
const size_t HISTORY_READ_LIMIT = 64 * 1024 * 1024;

// How a record relates to the one before it in the file.
enum class historyMark {
    reached,                        // a figure of its own
    replaces                        // the figure before it, changed (the end of a run of gain steps)
};

enum class historyState {
    usable,                         // read (or absent) and written to
    refused                         // foreign, over-large or unreadable: neither read nor written
};

class figureHistory {
public:
    // An empty path keeps no history at all.
    explicit figureHistory(std::string path)
        : path(std::move(path)), status(this->path.empty() ? historyState::refused : historyState::usable) {}

    // The figures of the file, oldest first. A torn last record (a write cut
    // short) and any damaged record are skipped; a file that is not a
    // history file, or is over HISTORY_READ_LIMIT, gives none and is left
    // alone for the rest of the run. Problems are one line on stderr.
    std::vector<figure> read();

    // Appends one whole record and flushes it to the disk; several programs
    // may append at once. False, with one line on stderr the first time,
    // when it could not.
    bool append(const figure &f, historyMark mark);

    historyState state() const { return status; }

private:
    std::string path;
    historyState status;
    size_t records = 0, bytes = 0;  // of the file as this run last saw it
    bool warned = false;
    void compact(int fd);
};

// One line of a history file, and back: for the tests and the fuzz target.
std::string historyLine(const figure &f, historyMark mark);
// False when the line (without its line end) is not a whole, intact record.
bool readHistoryLine(const char *line, size_t length, figure &into, historyMark &mark);
extern const char HISTORY_HEADER[];  // the first line of every history file, with its line end
