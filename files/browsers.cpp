// The gallery browsers: the figure files as a grid of entries over the drawing
// area, to load, delete or overwrite one, or to save the figure as a new file.
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include "app/app.h"
#include "files/files.h"
#include "prompts/prompts.h"
#include "render/render.h"

// Slots hold whole names: a typed name can make a file name longer than any
// label fits, and a cut name would load or overwrite the wrong file.
const int ENTRY_NAME = sizeof(al_ffblk::name);
static char entryName[GALLERY_ENTRIES][ENTRY_NAME];
static int entryCount;

enum { STAY_OPEN, CLOSE_AND_RENDER, CLOSE };

const int VISIBLE_ENTRIES = 60;     // two columns of 30; later ones lie below the picture

static int largestEntry()
{
    int largest = 0;
    for (int i = 1; i < entryCount; i++)
        if (strcmp(entryName[i], entryName[largest]) > 0)
            largest = i;
    return largest;
}

// With more files than slots, the list keeps the names that sort first.
static void keepEntry(const char *name)
{
    if (entryCount < GALLERY_ENTRIES) {
        strcpy(entryName[entryCount++], name);
        return;
    }
    int largest = largestEntry();
    if (strcmp(name, entryName[largest]) < 0)
        strcpy(entryName[largest], name);
}

static int compareEntries(const void *a, const void *b)
{
    return strcmp((const char *)a, (const char *)b);
}

// The directory search order is arbitrary, so the list is sorted by name.
int listGallery()
{
    al_ffblk info;
    memset(&info, 0, sizeof info);
    entryCount = 0;
    if (al_findfirst("gallery/*.fig", &info, FA_ARCH) == 0) {
        do
            keepEntry(info.name);
        while (al_findnext(&info) == 0);
        al_findclose(&info);
    }
    qsort(entryName, entryCount, ENTRY_NAME, compareEntries);
    return entryCount;
}

const char *galleryEntry(int i)
{
    return entryName[i];
}

void reportWriteFailure(const char *path)
{
    char text[ENTRY_NAME + 64];
    snprintf(text, sizeof text, "Could not write %s. (Press Enter)", path);
    showBanner(text);
}

static void drawEntry(int i, const char *label, int colour)
{
    if (i >= VISIBLE_ENTRIES)
        return;
    int x = i < 30 ? 0 : 192;
    int y = i < 30 ? 16 * i : 16 * i - 480;
    drawButton(buffer, label, x, y, 192, 16, colour, 2, -1);
}

static void drawEntries()
{
    for (int i = 0; i < entryCount; i++)
        drawEntry(i, entryName[i], makecol(255 - 4 * i, 128, 2 * i));
}

// The grid place under the pointer, 0..59, or -1 off the grid.
static int slotUnder(int mx, int my)
{
    if (mx < 0 || my < 0 || my / 16 >= 30)
        return -1;
    if (mx <= 191)
        return my / 16;
    if (mx <= 383)
        return my / 16 + 30;
    return -1;
}

static void entryPath(int e, char *path, int size)
{
    snprintf(path, size, "gallery/%s", entryName[e]);
}

// ---- load browser ----

static void loadEntry(int e)
{
    char path[8 + ENTRY_NAME];
    entryPath(e, path, sizeof path);
    if (readFIG(path)) {
        drawStyleLabel();
        drawPowLabel();
    }
}

// Only Y removes the file; N or Esc leaves it.
static bool confirmDelete(int e)
{
    char prompt[ENTRY_NAME + 40];
    snprintf(prompt, sizeof prompt, "Delete %s? Y for yes, N for no.", entryName[e]);
    drawButton(screen, prompt, 40, 224, 560, 32, makecol(255, 128, 64), 6, -1);
    while (!key[KEY_ESC] && !key[KEY_Y] && !key[KEY_N])
        idle();
    if (!key[KEY_Y])
        return false;
    char path[8 + ENTRY_NAME];
    entryPath(e, path, sizeof path);
    delete_file(path);
    return true;
}

static int loadBrowserFrame(int *clickState)
{
    int outcome = key[KEY_ESC] ? CLOSE : STAY_OPEN;
    poll_mouse();
    *clickState = nextClickState(*clickState, mouse_b, false);
    int mx = mouse_x, my = mouse_y;
    showFrame(mx, my);
    int e = slotUnder(mx, my);
    bool onEntry = e >= 0 && e < entryCount;
    if (*clickState == 1 && onEntry) {
        loadEntry(e);
        outcome = CLOSE_AND_RENDER;
    }
    if (key[KEY_DEL] && onEntry && confirmDelete(e))
        outcome = CLOSE;
    return outcome;
}

void loadFIG()
{
    listGallery();
    drawEntries();
    int outcome = entryCount == 0 ? CLOSE : STAY_OPEN;
    int clickState = 0;
    while (outcome == STAY_OPEN) {
        outcome = loadBrowserFrame(&clickState);
        idle();
    }
    waitKeyRelease(KEY_ESC);
    if (outcome == CLOSE_AND_RENDER)
        render();
    drawFIG();
}

// ---- save browser ----

// The first save creates the gallery folder; a figure that still cannot be
// written is reported, never lost without a word.
static void saveFigure(const char *path)
{
    mkdir("gallery", 0755);
    if (!writeFIG(path))
        reportWriteFailure(path);
}

static void saveOverEntry(int e)
{
    char path[8 + ENTRY_NAME];
    entryPath(e, path, sizeof path);
    saveFigure(path);
}

// An empty name (Esc, or Enter on nothing) saves nothing and keeps the browser open.
static bool saveNewFile()
{
    char name[FORMULA_TEXT] = "";
    drawButton(screen, "Type in a name. The '.fig' is automatically added.",
               40, 192, 560, 32, makecol(48, 192, 96), 6, -1);
    getFormula(name);
    if (name[0] == 0)
        return false;
    char path[8 + FORMULA_TEXT + 4];
    snprintf(path, sizeof path, "gallery/%s.fig", name);
    saveFigure(path);
    return true;
}

// True when a save was attempted and the browser closes.
static bool saveAtSlot(int slot)
{
    if (slot < 0 || slot > entryCount)
        return false;
    if (slot == entryCount)
        return saveNewFile();
    saveOverEntry(slot);
    return true;
}

void saveFIG()
{
    listGallery();
    drawEntries();
    drawEntry(entryCount, "New File", makecol(24, 192, 96));
    bool closing = false;
    int clickState = 0;
    while (!closing) {
        closing = key[KEY_ESC] != 0;
        poll_mouse();
        clickState = nextClickState(clickState, mouse_b, false);
        int mx = mouse_x, my = mouse_y;
        showFrame(mx, my);
        if (clickState == 1 && saveAtSlot(slotUnder(mx, my)))
            closing = true;
        idle();
    }
    waitKeyRelease(KEY_ESC);
    drawFIG();
}
