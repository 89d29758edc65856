// Figure files: one line of 26 whitespace-separated fields holding the three
// formula texts, the nine range values, the four colour stops, the style and
// the colour power.
#include <cstring>
#include <locale.h>
#include "figure/figure.h"

FILE *loadFile;

static const char FIG_FORMAT[] =
    "%s %s %s %f %f %f %f %f %f %f %f %f %d %d %d %d %d %d %d %d %d %d %d %d %d %d";

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

static bool writeFields()
{
    char x[FORMULA_TEXT], y[FORMULA_TEXT], z[FORMULA_TEXT];
    makeFileWord(aXForm, x);
    makeFileWord(aYForm, y);
    makeFileWord(aZForm, z);
    int written = fprintf(loadFile, FIG_FORMAT, x, y, z,
        (double)Range[0], (double)Range[1], (double)Range[2],
        (double)Range[3], (double)Range[4], (double)Range[5],
        (double)Range[6], (double)Range[7], (double)Range[8],
        Color[0], Color[1], Color[2], Color[3], Color[4], Color[5],
        Color[6], Color[7], Color[8], Color[9], Color[10], Color[11],
        (int)style, ColorPow);
    return written >= 0 && fflush(loadFile) == 0 && !ferror(loadFile);
}

// True only when the whole record reached the file: a full disk shows up at
// the flush or the close, not at the formatted write.
bool writeFIG(const char *path)
{
    loadFile = fopen(path, "wb");
    if (!loadFile)
        return false;
    useCNumbers();
    bool complete = writeFields();
    restoreLocale();
    if (fclose(loadFile) != 0)
        complete = false;
    loadFile = nullptr;
    return complete;
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

static bool scanStyle()
{
    int value;
    if (!scanInteger(&value))
        return false;
    style = (unsigned char)(value & 0xFF);
    return true;
}

// Fields are stored as they convert; the first one that does not convert
// ends the scan and every later setting keeps its value.
static void scanFields()
{
    if (!scanText(aXForm) || !scanText(aYForm) || !scanText(aZForm))
        return;
    for (int i = 0; i < 9; i++)
        if (!scanReal(&Range[i]))
            return;
    for (int i = 0; i < 12; i++)
        if (!scanInteger(&Color[i]))
            return;
    if (scanStyle())
        scanInteger(&ColorPow);
}

bool readFIG(const char *path)
{
    loadFile = fopen(path, "rb");
    if (!loadFile)
        return false;
    useCNumbers();
    scanFields();
    restoreLocale();
    fclose(loadFile);
    loadFile = nullptr;
    compileFormulas();
    return true;
}
