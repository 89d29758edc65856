// Figure files: one line of 26 whitespace-separated fields holding the three
// formula texts, the nine range values, the four colour stops, the style and
// the colour power.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include "figure/figure.h"
#include "io/reason.h"
#include "io/replace.h"

// The figure file being read or written, and the figure it comes from or goes to.
static FILE *loadFile;

// The reals are already texts here (see realText); the reader takes each
// of them with "%f".
static const char FIG_FORMAT[] =
    "%s %s %s %s %s %s %s %s %s %s %s %s %d %d %d %d %d %d %d %d %d %d %d %d %d %d";

static const char WHITESPACE[] = " \t\n\v\f\r";

// The library switches the process locale for its keyboard, and some locales
// write "," for the decimal point; figure files always use ".".
static locale_t previousLocale;

static void useCNumbers()
{
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", (locale_t)0);
    previousLocale = uselocale(cLocale ? cLocale : LC_GLOBAL_LOCALE);
}

static void restoreLocale()
{
    uselocale(previousLocale);
}

// A text field ends at the first whitespace, so a space would push every later
// field one place along. "_" is not a formula character and, like a space,
// only ends a number literal, so the text compiles to the same record.
static void makeFileWord(const char *text, char *word)
{
    int n = 0;
    while (n < FORMULA_TEXT - 1 && text[n] != 0) {
        word[n] = strchr(WHITESPACE, text[n]) ? '_' : text[n];
        n++;
    }
    if (n == 0)
        word[n++] = '_';
    word[n] = 0;
}

static bool readsBackAs(const char *text, float value)
{
    float back;
    return sscanf(text, "%f", &back) == 1 && memcmp(&back, &value, sizeof value) == 0;
}

// Six decimals, as figure files have always held, wherever that text reads
// back as the same float: nearly every value typed, so such files keep their
// bytes. Otherwise (tiny skips, values one step off a short decimal) the
// shortest text that does, which may have an exponent. A NaN ends as "nan"
// or "-nan": its sign survives, its payload does not.
const int REAL_TEXT = 64;           // "%f" of the largest float has 47 characters

static void realText(float value, char *text)
{
    snprintf(text, REAL_TEXT, "%f", (double)value);
    for (int digits = 1; digits <= 9 && !readsBackAs(text, value); digits++)
        snprintf(text, REAL_TEXT, "%.*g", digits, (double)value);
}

static int writeFields(const figure &f, char *line, size_t size)
{
    char x[FORMULA_TEXT], y[FORMULA_TEXT], z[FORMULA_TEXT], r[9][REAL_TEXT];
    makeFileWord(f.aXForm, x);
    makeFileWord(f.aYForm, y);
    makeFileWord(f.aZForm, z);
    for (int i = 0; i < 9; i++)
        realText(f.Range[i], r[i]);
    const int *c = f.Color;
    return snprintf(line, size, FIG_FORMAT, x, y, z,
        r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8],
        c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10], c[11],
        (int)f.style, f.ColorPow);
}

size_t figureRecord(const figure &f, char *text, size_t size)
{
    useCNumbers();
    int length = writeFields(f, text, size);
    restoreLocale();
    return length < 0 ? 0 : std::min((size_t)length, size - 1);
}

static bool writeRecord(FILE *file, void *context)
{
    static char line[FIGURE_FILE_LIMIT];
    size_t length = figureRecord(*(const figure *)context, line, sizeof line);
    return fwrite(line, 1, length, file) == length && fflush(file) == 0 && !ferror(file);
}

static bool fail(const char **reason, const char *text)
{
    if (reason)
        *reason = text;
    return false;
}

static const char NOT_REGULAR[] = "not a regular file", TOO_LARGE[] = "too large to be a figure";

// The byte count of a read that was refused.
static ssize_t refuse(const char **reason, const char *text)
{
    fail(reason, text);
    return -1;
}

static const char *notRegularReason(mode_t mode)
{
    return S_ISDIR(mode) ? reasonText(EISDIR) : NOT_REGULAR;
}

// A full disk shows up at the flush, the sync or the close, not at the
// formatted write; replaceFile sees all of them.
bool writeFIG(const char *path, const figure &f, const char **reason)
{
    struct stat info;
    if (stat(path, &info) == 0 && !S_ISREG(info.st_mode))
        return fail(reason, notRegularReason(info.st_mode));
    int error = 0;
    bool written = replaceFile(path, writeRecord, const_cast<figure *>(&f), &error);
    return written || fail(reason, reasonText(error));
}

// At most 99 characters fit a formula text; the rest of a longer word is
// skipped so that the next field starts at the next word.
static bool scanText(char *text)
{
    if (fscanf(loadFile, "%99s", text) != 1)
        return false;
    int skipped = fscanf(loadFile, "%*[^ \t\n\v\f\r]");
    (void)skipped;
    return true;
}

static bool scanReal(float *value)
{
    return fscanf(loadFile, "%f", value) == 1;
}

static bool scanInteger(int *value)
{
    return fscanf(loadFile, "%d", value) == 1;
}

static bool scanStyle(unsigned char *style)
{
    int value;
    if (!scanInteger(&value))
        return false;
    *style = (unsigned char)(value & 0xFF);
    return true;
}

// Fields are stored as they convert; the first one that does not convert
// ends the scan and every later setting keeps its value.
static void scanFields(figure &f)
{
    if (!scanText(f.aXForm) || !scanText(f.aYForm) || !scanText(f.aZForm))
        return;
    for (int i = 0; i < 9; i++)
        if (!scanReal(&f.Range[i]))
            return;
    for (int i = 0; i < 12; i++)
        if (!scanInteger(&f.Color[i]))
            return;
    if (scanStyle(&f.style))
        scanInteger(&f.ColorPow);
}

// The bytes are scanned from memory with the same conversions as ever, so a
// record reads exactly as it did when it was scanned from the disk. The
// formulas are recompiled whatever the record held.
static bool scanBytes(const char *bytes, size_t size, figure &into)
{
    if (size > 0) {
        loadFile = fmemopen(const_cast<char *>(bytes), size, "r");
        if (!loadFile)
            return false;
        useCNumbers();
        scanFields(into);
        restoreLocale();
        fclose(loadFile);
        loadFile = nullptr;
    }
    compileFormulas(into);
    return true;
}

void scanFigureRecord(const char *bytes, size_t size, figure &into)
{
    scanBytes(bytes, size, into);
}

// Up to FIGURE_FILE_LIMIT + 1 bytes: one more than a figure may have tells
// a file that grew after fstat looked at it.
static ssize_t readBounded(int fd, char *bytes, const char **reason)
{
    ssize_t total = 0;
    while (total <= FIGURE_FILE_LIMIT) {
        ssize_t n = read(fd, bytes + total, FIGURE_FILE_LIMIT + 1 - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refuse(reason, reasonText(errno));
        if (n == 0)
            break;
        total += n;
    }
    if (total > FIGURE_FILE_LIMIT)
        return refuse(reason, TOO_LARGE);
    return total;
}

// A pipe or a device would block the program or never end, so only a regular
// file is read. The first look happens before the open, since opening some
// devices does something of its own (a terminal hangs up, a tape rewinds);
// the open never blocks, and fstat then checks the file actually opened,
// which may have been swapped in between.
static ssize_t readFigureBytes(const char *path, char *bytes, const char **reason)
{
    struct stat info;
    if (stat(path, &info) == 0 && !S_ISREG(info.st_mode))
        return refuse(reason, notRegularReason(info.st_mode));
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(reason, reasonText(errno));
    ssize_t size = -1;
    if (fstat(fd, &info) != 0)
        fail(reason, reasonText(errno));
    else if (!S_ISREG(info.st_mode))
        fail(reason, notRegularReason(info.st_mode));
    else if (info.st_size > FIGURE_FILE_LIMIT)
        fail(reason, TOO_LARGE);
    else
        size = readBounded(fd, bytes, reason);
    close(fd);
    return size;
}

bool readFIG(const char *path, figure &into, const char **reason)
{
    static char bytes[FIGURE_FILE_LIMIT + 1];
    ssize_t size = readFigureBytes(path, bytes, reason);
    if (size < 0)
        return false;
    figure read = into;
    if (!scanBytes(bytes, size, read))
        return fail(reason, reasonText(errno));
    into = read;
    return true;
}

bool readFigureOverDefaults(const char *path, figure &into, const char **reason)
{
    into = defaultFigure();
    return readFIG(path, into, reason);
}
