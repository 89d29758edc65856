// Screenshots: the whole picture saved as the lowest free numbered BMP file.
#include <climits>
#include <cstdio>
#include <sys/stat.h>
#include "files/files.h"
#include "ui/display.h"
#include "ui/input.h"

static bool fileExists(const char *path)
{
    struct stat info;
    return stat(path, &info) == 0 && !S_ISDIR(info.st_mode);
}

// Gaps left by deleted screenshots are filled first.
static void freeShotName(char *name, int size)
{
    int number = 0;
    snprintf(name, size, "Screenshots/shot%d.bmp", number);
    while (fileExists(name) && number < INT_MAX) {
        number++;
        snprintf(name, size, "Screenshots/shot%d.bmp", number);
    }
}

// Holding Q or W keeps the program here after the shot until both are up.
static void waitQAndWRelease()
{
    for (;;) {
        waitKeyRelease(Key::Q);
        if (!keyHeld(Key::W))
            return;
        idle();
    }
}

void printscreen()
{
    char name[60];
    mkdir("Screenshots", 0755);
    freeShotName(name, sizeof name);
    if (!saveBufferBMP(name)) {
        remove(name);               // no half picture left under a shot name
        reportWriteFailure(name);
    }
    waitQAndWRelease();
}
