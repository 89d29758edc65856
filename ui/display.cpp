// Start-up and shutdown of the screen layer, and the picture as a BMP file.
#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <new>
#include "render/lattice.h"
#include "ui/display.h"
#include "ui/input.h"
#include "ui/screen.h"
#include "ui/view.h"

static PALETTE pal;                 // the BMP writer takes one; a 32-bit picture does not use it

static bool fail(const char *what)
{
    fprintf(stderr, "latticegraph: %s\n", what);
    return false;
}

// A window among the others on the desktop: it leaves the monitor's mode,
// the rest of the screen and the keyboard and mouse to everyone else. Only
// where the library refuses a window does it choose the mode itself. A long
// render goes on while the window is in the background, and the window
// manager's close button asks the main loop to end as Exit does.
static bool openWindow()
{
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, SCREEN_W_PX, SCREEN_H_PX, 0, 0) != 0
        && set_gfx_mode(GFX_AUTODETECT, SCREEN_W_PX, SCREEN_H_PX, 0, 0) != 0)
        return false;
    set_display_switch_mode(SWITCH_BACKGROUND);
    set_close_button_callback(noteCloseRequest);
    showFigureName(nullptr);
    return true;
}

// Two documented parts of the library's X11 port that this file declares
// itself: allegro_icon is in no header, and xwin_set_window_name's header
// brings in Xlib, whose names (Time, None, ...) clash with the program's.
extern "C" void *allegro_icon;      // the window's icon as XPM data
extern "C" void xwin_set_window_name(const char *name, const char *group);
extern const char *const WINDOW_ICON_XPM[];     // desktop/latticegraph.png, made at build time

// The desktop tells the window apart as latticegraph's: its name and class
// are what a task bar groups by and a window manager remembers it by, and it
// shows the rose icon. The library reads both when it makes its window.
static void nameWindow()
{
    allegro_icon = (void *)WINDOW_ICON_XPM;
    xwin_set_window_name("latticegraph", "latticegraph");
}

static bool openScreen()
{
    nameWindow();
    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0)
        return fail("cannot open a display. It needs a graphical desktop (X11 with DISPLAY set); "
                    "without one, run it under xvfb-run.");
    if (install_keyboard() != 0) {
        allegro_exit();
        return fail("cannot use the keyboard of the display.");
    }
    install_timer();
    set_color_depth(32);
    if (!openWindow()) {
        char line[400];
        snprintf(line, sizeof line, "the display refused the 640x480 32-bit graphics mode (%s). "
                 "Use a display that offers it, for example xvfb-run -s \"-screen 0 640x480x24\".",
                 allegro_error);
        allegro_exit();
        return fail(line);
    }
    install_mouse();
    takeOverInput();
    return true;
}

static bool createSurfaces()
{
    buffer = create_bitmap(SCREEN_W_PX, SCREEN_H_PX);
    mseBlock = create_bitmap(32, 64);
    life = new (std::nothrow) int[AREA_PX * AREA_PX]();
    if (!buffer || !mseBlock || !life)
        return false;
    clear(buffer);
    makePointerImage();
    return true;
}

void showFigureName(const char *path)
{
    std::string title = "latticegraph";
    if (path) {
        const char *slash = strrchr(path, '/');
        title += " - " + drawableText(slash ? slash + 1 : path);
    }
    set_window_title(title.c_str());
}

bool openDisplay()
{
    if (!openScreen())
        return false;
    if (!createSurfaces()) {
        closeDisplay();
        allegro_exit();
        return fail("out of memory: cannot create the picture bitmaps or the cell buffer.");
    }
    return true;
}

bool openHeadless()
{
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return false;
    set_color_depth(32);
    screen = create_bitmap(SCREEN_W_PX, SCREEN_H_PX);
    return screen && createSurfaces();
}

void closeDisplay()
{
    if (buffer)
        destroy_bitmap(buffer);
    if (mseBlock)
        destroy_bitmap(mseBlock);
    delete[] life;
    buffer = nullptr;
    mseBlock = nullptr;
    life = nullptr;
}

// save_bmp writes a 32-bit picture as a 54-byte header and 24-bit rows padded
// to four bytes.
static long bmpFileSize(BITMAP *bmp)
{
    long row = (bmp->w * 3L + 3) & ~3L;
    return 54 + row * bmp->h;
}

// The library's BMP writer goes through these into a stdio file, so every
// write is seen to succeed or fail with the system's own errno; the library's
// file code neither checks its last write nor keeps that errno.
struct bmpSink { FILE *file; long written; bool failed; };

static long sinkWrite(const void *bytes, long n, void *userdata)
{
    bmpSink *sink = (bmpSink *)userdata;
    long done = (long)fwrite(bytes, 1, n, sink->file);
    sink->written += done;
    sink->failed = sink->failed || done != n;
    return done;
}

static int sinkPutc(int c, void *userdata)
{
    unsigned char byte = (unsigned char)c;
    return sinkWrite(&byte, 1, userdata) == 1 ? c : EOF;
}

static int sinkError(void *userdata) { return ((bmpSink *)userdata)->failed; }
static int sinkClose(void *) { return 0; }     // the caller owns the file
static int sinkNoRead(void *) { return EOF; }
static int sinkNoUngetc(int, void *) { return EOF; }
static long sinkNoFread(void *, long, void *) { return 0; }
static int sinkNoSeek(void *, int) { return -1; }

static const PACKFILE_VTABLE bmpSinkTable = {
    sinkClose, sinkNoRead, sinkNoUngetc, sinkNoFread, sinkPutc, sinkWrite, sinkNoSeek, sinkNoRead, sinkError,
};

bool writeBufferBMP(FILE *file)
{
    bmpSink sink = { file, 0, false };
    PACKFILE *packed = pack_fopen_vtable(&bmpSinkTable, &sink);
    if (!packed)
        return false;
    bool saved = save_bmp_pf(packed, buffer, pal) == 0;
    pack_fclose(packed);
    return saved && !sink.failed && sink.written == bmpFileSize(buffer);
}
