// Start-up and shutdown of the screen layer, and the picture as a BMP file.
#include <allegro.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
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

static std::string windowTitle = "latticegraph";

int fittingScale(int desktopW, int desktopH)
{
    int across = desktopW * 9 / 10 / SCREEN_W_PX, down = desktopH * 9 / 10 / SCREEN_H_PX;
    return std::clamp(std::min(across, down), 1, SCALE_MAX);
}

static int desktopScale()
{
    int w = 0, h = 0;
    return get_desktop_resolution(&w, &h) == 0 ? fittingScale(w, h) : 1;
}

// A window among the others on the desktop: it leaves the monitor's mode,
// the rest of the screen and the keyboard and mouse to everyone else. Only
// where the library refuses a window does it choose the mode itself. A long
// render goes on while the window is in the background, and the window
// manager's close button asks the main loop to end as Exit does. The window
// is the picture's size times the scale, and its size hints say so.
static bool openWindow(int scale)
{
    int w = SCREEN_W_PX * scale, h = SCREEN_H_PX * scale;
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, w, h, 0, 0) != 0 && set_gfx_mode(GFX_AUTODETECT, w, h, 0, 0) != 0)
        return false;
    setScreenScale(scale);
    set_display_switch_mode(SWITCH_BACKGROUND);
    set_close_button_callback(noteCloseRequest);
    set_window_title(windowTitle.c_str());
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

// A request to end from outside (the session ending, kill, Ctrl+C in the
// terminal that started it) ends the program as the close button does: the
// library's own handlers for these would abort while its input thread is
// stopped. Only an atomic is set here, which a signal handler may do.
static void endOnRequest()
{
    struct sigaction action = {};
    action.sa_handler = [](int) { closeRequested = true; };
    sigemptyset(&action.sa_mask);
    for (int signal : { SIGTERM, SIGINT, SIGHUP })
        sigaction(signal, &action, nullptr);
}

// A scale the display refuses falls back to 1, the picture's own size.
static bool openScreen(int scale)
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
    if (!openWindow(scale > 0 ? scale : desktopScale()) && !openWindow(1)) {
        char line[400];
        snprintf(line, sizeof line, "the display refused the 640x480 32-bit graphics mode (%s). "
                 "Use a display that offers it, for example xvfb-run -s \"-screen 0 640x480x24\".",
                 allegro_error);
        allegro_exit();
        return fail(line);
    }
    install_mouse();
    listenToInput();
    takeOverInput();
    endOnRequest();
    return true;
}

// The library makes the window again at the new size; the picture is copied
// over by the next frame. The library's input thread runs meanwhile, as the
// library expects while it changes the mode.
bool changeScale(int step)
{
    if (gfx_driver == nullptr)
        return false;
    int scale = screenScale();
    int wanted = std::clamp(scale + step, 1, std::max(desktopScale(), scale));
    if (wanted == scale)
        return false;
    backgroundInput changing;
    if (openWindow(wanted))
        return true;
    if (openWindow(scale))
        return false;
    fprintf(stderr, "latticegraph: the display refused the window at both scale %d and %d (%s)\n", wanted, scale,
            allegro_error);
    exit(1);
}

static bool createSurfaces()
{
    buffer = create_bitmap(SCREEN_W_PX, SCREEN_H_PX);
    shown = create_bitmap(SCREEN_W_PX, SCREEN_H_PX);
    mseBlock = create_bitmap(POINTER_PX, POINTER_PX);
    life = new (std::nothrow) int[AREA_PX * AREA_PX]();
    if (!buffer || !shown || !mseBlock || !life)
        return false;
    clear(buffer);
    clear(shown);
    makePointerImage();
    return true;
}

void showFigureName(const char *path)
{
    windowTitle = "latticegraph";
    if (path) {
        const char *slash = strrchr(path, '/');
        windowTitle += " - " + drawableText(slash ? slash + 1 : path);
    }
    set_window_title(windowTitle.c_str());
}

bool openDisplay(int scale)
{
    if (!openScreen(scale))
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
    listenToInput();
    return screen && createSurfaces();
}

void closeDisplay()
{
    if (buffer)
        destroy_bitmap(buffer);
    if (mseBlock)
        destroy_bitmap(mseBlock);
    if (shown)
        destroy_bitmap(shown);
    shown = nullptr;
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
