// The history file: a header line, then one record a line. A record is a
// mark ('+' a figure of its own, '=' a change of the one before), the hash of
// the figure record that follows, and that record as a figure file holds it.
// Each record is appended whole by one write under a lock and flushed to the
// disk, so a cut-off write loses at most that record, which then fails its
// hash (or lacks its line end) and is skipped.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include "figure/history.h"
#include "io/reason.h"
#include "io/replace.h"

const char HISTORY_HEADER[] = "latticegraph figure history 1\n";
static const size_t HEADER_LENGTH = sizeof HISTORY_HEADER - 1;
static const size_t MARK_LENGTH = 11;    // "+ 0123abcd "

static uint32_t hashOf(const char *bytes, size_t length)
{
    uint32_t hash = 2166136261u;         // FNV-1a
    for (size_t i = 0; i < length; i++)
        hash = (hash ^ (unsigned char)bytes[i]) * 16777619u;
    return hash;
}

std::string historyLine(const figure &f, historyMark mark)
{
    char record[FIGURE_FILE_LIMIT];
    size_t length = figureRecord(f, record, sizeof record);
    char head[MARK_LENGTH + 1];
    snprintf(head, sizeof head, "%c %08" PRIx32 " ", mark == historyMark::replaces ? '=' : '+',
             hashOf(record, length));
    return std::string(head) + std::string(record, length) + "\n";
}

static bool hexWord(const char *text, uint32_t &value)
{
    value = 0;
    for (int i = 0; i < 8; i++) {
        char c = text[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            return false;
        value = value << 4 | (uint32_t)digit;
    }
    return true;
}

bool readHistoryLine(const char *line, size_t length, figure &into, historyMark &mark)
{
    uint32_t hash;
    if (length <= MARK_LENGTH || length - MARK_LENGTH >= (size_t)FIGURE_FILE_LIMIT
        || (line[0] != '+' && line[0] != '=') || line[1] != ' ' || !hexWord(line + 2, hash)
        || line[10] != ' ' || hashOf(line + MARK_LENGTH, length - MARK_LENGTH) != hash)
        return false;
    memset(&into, 0, sizeof into);
    scanFigureRecord(line + MARK_LENGTH, length - MARK_LENGTH, into);
    mark = line[0] == '=' ? historyMark::replaces : historyMark::reached;
    return true;
}

// ---- reading ----

struct parsedHistory {
    std::vector<figure> figures;
    size_t damaged = 0;
};

// A '=' record replaces the figure before it; the last line is torn when it
// has no line end, and is then dropped without counting as damage.
static parsedHistory parseRecords(const std::string &bytes)
{
    parsedHistory parsed;
    size_t start = HEADER_LENGTH;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            break;
        figure f;
        historyMark mark;
        if (!readHistoryLine(bytes.data() + start, end - start, f, mark))
            parsed.damaged += end > start;
        else if (mark == historyMark::replaces && !parsed.figures.empty())
            parsed.figures.back() = f;
        else
            parsed.figures.push_back(f);
        start = end + 1;
    }
    return parsed;
}

// The whole file from an open descriptor; false when it is over the limit or
// cannot be read.
static bool readAll(int fd, std::string &bytes, const char **reason)
{
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *reason = "not a regular file";
        return false;
    }
    if ((size_t)info.st_size > HISTORY_READ_LIMIT) {
        *reason = "too large to be a history file";
        return false;
    }
    bytes.resize((size_t)info.st_size);
    size_t total = 0;
    while (total < bytes.size()) {
        ssize_t n = pread(fd, bytes.data() + total, bytes.size() - total, (off_t)total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *reason = reasonText(errno);
            return false;
        }
        if (n == 0)
            break;
        total += (size_t)n;
    }
    bytes.resize(total);
    return true;
}

static bool isHistory(const std::string &bytes)
{
    return bytes.empty() || bytes.compare(0, HEADER_LENGTH, HISTORY_HEADER) == 0;
}

std::vector<figure> figureHistory::read()
{
    if (status == historyState::refused)
        return {};
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return {};
    std::string content;
    const char *reason = "not a history file";
    bool readable = fd >= 0 && flock(fd, LOCK_SH) == 0 && readAll(fd, content, &reason) && isHistory(content);
    if (fd < 0)
        reason = reasonText(errno);
    else
        close(fd);
    if (!readable) {
        status = historyState::refused;
        fprintf(stderr, "latticegraph: ignoring the history file %s: %s; this run keeps no history\n",
                path.c_str(), reason);
        return {};
    }
    parsedHistory parsed = parseRecords(content);
    if (parsed.damaged)
        fprintf(stderr, "latticegraph: skipping %zu damaged records of the history file %s\n",
                parsed.damaged, path.c_str());
    records = parsed.figures.size();
    bytes = content.size();
    if (parsed.figures.size() > HISTORY_RECORDS)
        parsed.figures.erase(parsed.figures.begin(), parsed.figures.end() - HISTORY_RECORDS);
    return parsed.figures;
}

// ---- writing ----

// The file at path, opened for appending and locked. Another program may
// have replaced it (compact) between the open and the lock: then the
// descriptor names a file no longer there, and the open is made again.
static int openLocked(const std::string &path, const char **reason)
{
    for (int attempt = 0; attempt < 16; attempt++) {
        int fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd < 0)
            break;
        struct stat opened, named;
        if (flock(fd, LOCK_EX) == 0 && fstat(fd, &opened) == 0 && stat(path.c_str(), &named) == 0
            && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            if (S_ISREG(opened.st_mode))
                return fd;
            errno = EINVAL;
            close(fd);
            break;
        }
        close(fd);
    }
    *reason = reasonText(errno);
    return -1;
}

static bool writeWhole(int fd, const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += (size_t)n;
    }
    return true;
}

// What goes before a record: the header in an empty file, a line end after
// a torn last record so that the new one stands on a line of its own.
static std::string lead(int fd)
{
    struct stat info;
    if (fstat(fd, &info) != 0 || info.st_size == 0)
        return HISTORY_HEADER;
    char last = '\n';
    return pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n' ? "\n" : "";
}

bool figureHistory::append(const figure &f, historyMark mark)
{
    if (status == historyState::refused)
        return false;
    const char *reason = "";
    int fd = openLocked(path, &reason);
    bool written = false;
    if (fd >= 0) {
        std::string text = lead(fd) + historyLine(f, mark);
        written = writeWhole(fd, text) && fdatasync(fd) == 0;
        if (!written)
            reason = reasonText(errno);
        struct stat info;
        bytes = fstat(fd, &info) == 0 ? (size_t)info.st_size : bytes + text.size();
        records += mark == historyMark::reached;
        if (written && (records > HISTORY_RECORDS + HISTORY_RECORDS / 10 || bytes > HISTORY_BYTES + HISTORY_BYTES / 10))
            compact(fd);
        close(fd);
    }
    if (!written && !warned) {
        warned = true;
        fprintf(stderr, "latticegraph: cannot write the history file %s: %s\n", path.c_str(), reason);
    }
    return written;
}

static bool writeText(FILE *file, void *context)
{
    const std::string &text = *(const std::string *)context;
    return fwrite(text.data(), 1, text.size(), file) == text.size() && fflush(file) == 0;
}

// Keeps the newest records within the bounds, rewritten whole through a
// safe replace while this program holds the lock of the old file.
void figureHistory::compact(int fd)
{
    std::string content;
    const char *reason = "";
    if (!readAll(fd, content, &reason) || !isHistory(content))
        return;
    std::vector<figure> figures = parseRecords(content).figures;
    std::vector<std::string> lines;
    size_t total = HEADER_LENGTH;
    for (size_t i = figures.size(); i-- > 0 && lines.size() < HISTORY_RECORDS;) {
        std::string line = historyLine(figures[i], historyMark::reached);
        if (total + line.size() > HISTORY_BYTES)
            break;
        total += line.size();
        lines.push_back(line);
    }
    std::string kept = HISTORY_HEADER;
    for (size_t i = lines.size(); i-- > 0;)
        kept += lines[i];
    if (replaceFile(path.c_str(), writeText, &kept)) {
        records = lines.size();
        bytes = kept.size();
    }
}
