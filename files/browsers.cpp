// The gallery browsers: the figure files as a grid of entries over the drawing
// area, to load, delete or overwrite one, or to save the figure as a new file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "figure/figure.h"
#include "files/files.h"
#include "io/figurename.h"
#include "io/reason.h"
#include "prompts/prompts.h"
#include "ui/display.h"
#include "ui/input.h"
#include "ui/screen.h"
#include "ui/view.h"

// Slots hold whole names: a typed name can make a file name longer than any
// label fits, and a cut name would load or overwrite the wrong file.
const int ENTRY_NAME = 256;         // a file name of the file system and its terminator
static char entryName[GALLERY_ENTRIES][ENTRY_NAME];
static int entryCount;

enum browserOutcome { STAY_OPEN, CLOSE_CHOSEN, CLOSE };

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

// A figure file: a visible regular file (or a link to one) named *.fig.
static bool isFigureFile(const char *name)
{
    if (!isFigureName(name) || strlen(name) >= ENTRY_NAME)
        return false;
    char path[8 + ENTRY_NAME];
    snprintf(path, sizeof path, "gallery/%s", name);
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// The directory order is arbitrary, so the list is sorted by name.
int listGallery()
{
    entryCount = 0;
    DIR *folder = opendir("gallery");
    if (folder) {
        while (const dirent *entry = readdir(folder))
            if (isFigureFile(entry->d_name))
                keepEntry(entry->d_name);
        closedir(folder);
    }
    qsort(entryName, entryCount, ENTRY_NAME, compareEntries);
    return entryCount;
}

const char *galleryEntry(int i)
{
    return entryName[i];
}

// A banner is one line across the screen. A long path gives up its middle
// (the folder first) so that the reason and "(Press Enter)" stay in view.
const int BANNER_CHARACTERS = BANNER_BOX.w / CHAR_W_PX;

void reportFailure(const char *action, const char *path, const char *reason)
{
    std::string before = std::string("Could not ") + action + " ";
    std::string after = std::string(": ") + reason + ". (Press Enter)";
    std::string name = path;
    int room = BANNER_CHARACTERS - (int)(before.size() + after.size());
    if ((int)name.size() > room && room > 3)
        name = "..." + name.substr(name.size() - (room - 3));
    showBanner((before + name + after).c_str());
}

// Entries fill a column of 30 from the top of the drawing area, then a
// second column beside it.
const int ENTRY_W = 192, ENTRY_H = 16, COLUMN_ENTRIES = 30;

static void drawEntry(int i, const char *label, int colour)
{
    if (i >= VISIBLE_ENTRIES)
        return;
    int column = i / COLUMN_ENTRIES, row = i % COLUMN_ENTRIES;
    drawButton(buffer, label, column * ENTRY_W, row * ENTRY_H, ENTRY_W, ENTRY_H, colour, 2);
}

static void drawEntries()
{
    for (int i = 0; i < entryCount; i++)
        drawEntry(i, entryName[i], rgbColour(255 - 4 * i, 128, 2 * i));
}

// The grid place under the pointer, 0..59, or -1 off the grid.
static int slotUnder(int mx, int my)
{
    if (mx < 0 || my < 0 || my / ENTRY_H >= COLUMN_ENTRIES || mx >= 2 * ENTRY_W)
        return -1;
    return my / ENTRY_H + (mx / ENTRY_W) * COLUMN_ENTRIES;
}

static void entryPath(int e, char *path, int size)
{
    snprintf(path, size, "gallery/%s", entryName[e]);
}

// ---- load browser ----

// A file that is refused (not a figure file, gone, unreadable) leaves the
// settings as they were; the banner says why and the list stays open.
static browserOutcome loadEntry(int e, figure &into)
{
    char path[8 + ENTRY_NAME];
    entryPath(e, path, sizeof path);
    const char *reason = "";
    if (readFIG(path, into, &reason)) {
        showFigureName(path);
        return CLOSE_CHOSEN;
    }
    reportFailure("load", path, reason);
    return STAY_OPEN;
}

// The orange question box over the list: true only for Y; N or Esc answer no.
static bool askYes(const char *question, const char *name)
{
    char prompt[ENTRY_NAME + 40];
    snprintf(prompt, sizeof prompt, question, name);
    drawBox(display(), prompt, PROMPT_BOX, rgbColour(255, 128, 64), 6);
    while (!cancelRequested() && !keyHeld(Key::Y) && !keyHeld(Key::N))
        idle();
    pictureChanged();               // the box goes with the next frame
    return keyHeld(Key::Y);
}

// Only Y removes the file; N or Esc leaves it. A file that stays (a
// read-only gallery, a folder put in its place) is reported, and the list
// stays open, since the name in it is still there.
static browserOutcome confirmDelete(int e)
{
    if (!askYes("Delete %s? Y for yes, N for no.", entryName[e]))
        return STAY_OPEN;
    char path[8 + ENTRY_NAME];
    entryPath(e, path, sizeof path);
    if (unlink(path) == 0)
        return CLOSE;
    reportFailure("delete", path, reasonText(errno));
    return STAY_OPEN;
}

static browserOutcome loadBrowserFrame(int *clickState, figure &into)
{
    browserOutcome outcome = cancelRequested() ? CLOSE : STAY_OPEN;
    frameInput input = nextFrame(clickState, false);
    int e = slotUnder(input.x, input.y);
    bool onEntry = e >= 0 && e < entryCount;
    if (input.click && onEntry)
        outcome = loadEntry(e, into);
    if (keyHeld(Key::Del) && onEntry && confirmDelete(e) == CLOSE)
        outcome = CLOSE;
    return outcome;
}

bool loadFIG(figure &into)
{
    modalActivity browser;
    listGallery();
    drawEntries();
    browserOutcome outcome = entryCount == 0 ? CLOSE : STAY_OPEN;
    int clickState = CLICK_NONE;
    while (outcome == STAY_OPEN) {
        outcome = loadBrowserFrame(&clickState, into);
        idle();
    }
    waitKeyRelease(Key::Esc);
    return outcome == CLOSE_CHOSEN;
}

// ---- save browser ----

// The first save creates the gallery folder; a figure that still cannot be
// written is reported, never lost without a word, and a file it would have
// replaced keeps what it held. True when the file holds the figure.
static bool saveFigure(const char *path, const figure &f)
{
    mkdir("gallery", 0755);
    const char *reason = "";
    if (writeFIG(path, f, &reason)) {
        showFigureName(path);
        return true;
    }
    reportFailure("write", path, reason);
    return false;
}

enum saveOutcome { SAVE_NONE, SAVE_WRITTEN, SAVE_FAILED };

// An existing figure is replaced only after Y; N or Esc write nothing and
// the list stays open, so Esc is waited out here (at the delete question it
// closes the list as well).
static saveOutcome saveOverEntry(int e, const figure &f)
{
    bool yes = askYes("Replace %s? Y for yes, N for no.", entryName[e]);
    waitKeyRelease(Key::Esc);
    if (!yes)
        return SAVE_NONE;
    char path[8 + ENTRY_NAME];
    entryPath(e, path, sizeof path);
    return saveFigure(path, f) ? SAVE_WRITTEN : SAVE_FAILED;
}

// An empty name (Esc, or Enter on nothing) saves nothing and keeps the browser open.
static saveOutcome saveNewFile(const figure &f, std::string &name)
{
    char typed[FORMULA_TEXT] = "";
    drawBox(display(), "Type in a name. The '.fig' is automatically added.",
            NOTE_BOX, rgbColour(48, 192, 96), 6);
    getFormula(typed);
    if (typed[0] == 0)
        return SAVE_NONE;
    name = std::string(typed) + ".fig";
    return saveFigure(("gallery/" + name).c_str(), f) ? SAVE_WRITTEN : SAVE_FAILED;
}

// A save attempted at the slot closes the browser; a refused one does not.
static saveOutcome saveAtSlot(int slot, const figure &f, std::string &name)
{
    if (slot < 0 || slot > entryCount)
        return SAVE_NONE;
    if (slot == entryCount)
        return saveNewFile(f, name);
    name = entryName[slot];
    return saveOverEntry(slot, f);
}

std::string saveFIG(const figure &f)
{
    modalActivity browser;
    listGallery();
    drawEntries();
    drawEntry(entryCount, "New File", rgbColour(24, 192, 96));
    saveOutcome outcome = SAVE_NONE;
    std::string name;
    bool closing = false;
    int clickState = CLICK_NONE;
    while (!closing) {
        closing = cancelRequested();
        frameInput input = nextFrame(&clickState, false);
        if (input.click) {
            outcome = saveAtSlot(slotUnder(input.x, input.y), f, name);
            closing = outcome != SAVE_NONE;
        }
        idle();
    }
    waitKeyRelease(Key::Esc);
    drawFIG(f);
    return outcome == SAVE_WRITTEN ? name : "";
}
