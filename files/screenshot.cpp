// Screenshots: the whole picture saved as the lowest free numbered BMP file.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "files/files.h"
#include "io/reason.h"
#include "io/replace.h"
#include "ui/display.h"
#include "ui/input.h"

const int SHOT_NAME = 60;           // "Screenshots/shot%d.bmp" with any int

// Anything of that name, a folder or a broken link too, takes the number:
// a name that exists is never given to a new shot.
static bool nameTaken(const char *path)
{
    struct stat info;
    return lstat(path, &info) == 0;
}

// Gaps left by deleted screenshots are filled first.
static int freeShotNumber(int number, char *name)
{
    snprintf(name, SHOT_NAME, "Screenshots/shot%d.bmp", number);
    while (nameTaken(name) && number < INT_MAX) {
        number++;
        snprintf(name, SHOT_NAME, "Screenshots/shot%d.bmp", number);
    }
    return number;
}

// The finished picture takes the lowest free name; one that another program
// took meanwhile is passed over, never replaced.
static bool nameShot(const char *temporary, char *name, int *error)
{
    for (int number = freeShotNumber(0, name);; number = freeShotNumber(number + 1, name)) {
        if (placeNewFile(temporary, name, error))
            return true;
        if (*error != EEXIST || number == INT_MAX)
            return false;
    }
}

static bool writeShot(FILE *file, void *)
{
    return writeBufferBMP(file);
}

// The picture is written whole to a temporary file, synced, and only then
// given a shot's name, so a full disk leaves no part of a picture behind.
static bool saveShot(char *name, int *error)
{
    freeShotNumber(0, name);
    std::string temporary;
    if (!writeTemporary(name, writeShot, nullptr, temporary, error))
        return false;
    if (nameShot(temporary.c_str(), name, error))
        return true;
    unlink(temporary.c_str());
    return false;
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

std::string printscreen()
{
    char name[SHOT_NAME];
    int error = 0;
    mkdir("Screenshots", 0755);
    bool saved = saveShot(name, &error);
    if (!saved)
        reportFailure("write", name, reasonText(error));
    waitQAndWRelease();
    const char *file = strrchr(name, '/');
    return saved ? std::string(file ? file + 1 : name) : "";
}
