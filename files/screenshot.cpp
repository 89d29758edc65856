// Screenshots: the whole picture saved as the lowest free numbered BMP file.
#include <climits>
#include <cstdio>
#include <sys/stat.h>
#include "app/app.h"
#include "files/files.h"

// save_bmp writes a 32-bit picture as a 54-byte header and 24-bit rows padded
// to four bytes. It does not check its last write, so a full disk can leave a
// shorter file behind while it reports success.
static long bmpFileSize(BITMAP *bmp)
{
    long row = (bmp->w * 3L + 3) & ~3L;
    return 54 + row * bmp->h;
}

static bool fileHasSize(const char *path, long size)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == size;
}

// Gaps left by deleted screenshots are filled first.
static void freeShotName(char *name, int size)
{
    int number = 0;
    snprintf(name, size, "Screenshots/shot%d.bmp", number);
    while (exists(name) && number < INT_MAX) {
        number++;
        snprintf(name, size, "Screenshots/shot%d.bmp", number);
    }
}

// Holding Q or W keeps the program here after the shot until both are up.
static void waitQAndWRelease()
{
    for (;;) {
        waitKeyRelease(KEY_Q);
        if (!key[KEY_W])
            return;
        idle();
    }
}

void printscreen()
{
    char name[60];
    mkdir("Screenshots", 0755);
    freeShotName(name, sizeof name);
    if (save_bmp(name, buffer, pal) != 0 || !fileHasSize(name, bmpFileSize(buffer))) {
        delete_file(name);          // no half picture left under a shot name
        reportWriteFailure(name);
    }
    waitQAndWRelease();
}
