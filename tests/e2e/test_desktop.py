"""The program among other windows: on a screen larger than its window it
covers only its own 640x480, leaves the keyboard to others, names the figure
in its title and ends on the window manager's close request; Esc that comes
just after a render ends quits nothing."""
import ctypes
import ctypes.util
import os
import re
import subprocess
import time
import harness

from harness import LOAD, LOADING_BAR as RENDER_BOX, entry_colour

FIRST_ENTRY, LIST_FACE = (96, 8), entry_colour(0)
x11 = ctypes.CDLL(ctypes.util.find_library('X11'))     # X11 as any other client would ask
x11.XOpenDisplay.restype = x11.XDefaultRootWindow.restype = x11.XInternAtom.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = x11.XCloseDisplay.argtypes = x11.XFlush.argtypes = [ctypes.c_ulong]
x11.XInternAtom.argtypes = [ctypes.c_ulong, ctypes.c_char_p, ctypes.c_int]
x11.XGrabKeyboard.argtypes = [ctypes.c_ulong] * 2 + [ctypes.c_int] * 3 + [ctypes.c_ulong]
x11.XUngrabKeyboard.argtypes = [ctypes.c_ulong] * 2
x11.XSendEvent.argtypes = [ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_ulong, ctypes.c_ulong] + [ctypes.c_int] * 2 + [ctypes.c_uint] * 2 + [ctypes.c_ulong,
                                                                                                       ctypes.c_int]
x11.XGetPixel.restype = ctypes.c_ulong
x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
ICON = os.path.join(os.path.dirname(os.path.abspath(__file__)), '../../desktop/latticegraph.png')


class ClientMessage(ctypes.Structure):
    _fields_ = [('type', ctypes.c_int), ('serial', ctypes.c_ulong), ('send_event', ctypes.c_int),
                ('display', ctypes.c_ulong), ('window', ctypes.c_ulong), ('message_type', ctypes.c_ulong),
                ('format', ctypes.c_int), ('data', ctypes.c_long * 5), ('pad', ctypes.c_long * 24)]


def grab_keyboard(d):
    """Another client's keyboard grab: 0 is GrabSuccess."""
    answer = x11.XGrabKeyboard(d, x11.XDefaultRootWindow(d), 1, 1, 1, 0)
    x11.XUngrabKeyboard(d, 0)
    return answer


def ask_to_close(d, window):
    """WM_DELETE_WINDOW (type 33, ClientMessage), as a window manager sends it for the close button."""
    event = ClientMessage(type=33, window=window, format=32, message_type=x11.XInternAtom(d, b'WM_PROTOCOLS', 0))
    event.data[0] = x11.XInternAtom(d, b'WM_DELETE_WINDOW', 0)
    x11.XSendEvent(d, window, 0, 0, ctypes.byref(event))
    x11.XFlush(d)


def pixmap_pixels(d, pixmap, width, height):
    """A pixmap's pixels as (r, g, b), row after row (a 24-bit screen)."""
    image = x11.XGetImage(d, pixmap, 0, 0, width, height, 0xFFFFFFFF, 2)     # ZPixmap
    assert image, 'the pixmap %#x cannot be read' % pixmap
    pixels = [x11.XGetPixel(image, x, y) for y in range(height) for x in range(width)]
    return [(p >> 16 & 255, p >> 8 & 255, p & 255) for p in pixels]


def slow_figure(skip):
    """The default figure with X and Y stepped by skip: (125.66 / skip)^2 points."""
    return ('CX*S(X/Y) SX*S(Y/X) Z -62.831799 62.831799 %f -62.831799 62.831799 %f 0 0 1 '
            '0 0 0 0 0 255 0 255 255 255 255 255 0 100' % (skip, skip)).encode()


class Desktop(harness.AppTestCase):
    def run_tool(self, app, *args):
        return subprocess.run(args, env=app.env, capture_output=True, text=True).stdout

    def load_first(self, app):
        app.click(*LOAD)
        app.wait_for(lambda s: s.px(4, 4) == LIST_FACE, 'the Load list')
        app.click(*FIRST_ENTRY)

    def test_a_window_among_others(self):
        app = self.start_app(gallery={'rose.fig': open(harness.GALLERY + '/rose.fig', 'rb').read()},
                             screen='1280x1024')
        windows = self.run_tool(app, 'xdotool', 'search', '--name', '^latticegraph').split()
        self.assertEqual(len(windows), 1)
        geometry = self.run_tool(app, 'xwininfo', '-id', windows[0])
        self.assertIn('Width: 640\n', geometry)
        self.assertIn('Height: 480\n', geometry)
        shot = app.shot()
        for x, y in ((640, 0), (1279, 0), (0, 480), (700, 700), (1279, 1023)):
            self.assertEqual(shot.px(x, y), (255, 255, 255), 'the white root at %d,%d is not covered' % (x, y))
        d = x11.XOpenDisplay(app.env['DISPLAY'].encode())
        self.addCleanup(x11.XCloseDisplay, d)
        self.assertEqual(grab_keyboard(d), 0, 'another client takes the keyboard')
        title = lambda: self.run_tool(app, 'xdotool', 'getwindowname', windows[0]).strip()
        self.assertEqual(title(), 'latticegraph')
        self.load_first(app)
        deadline = time.monotonic() + 15
        while title() != 'latticegraph - rose.fig' and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(title(), 'latticegraph - rose.fig')
        ask_to_close(d, int(windows[0]))
        self.assertEqual(app.wait_exit(), 0)

    def test_named_latticegraph_with_the_rose_icon(self):
        app = self.start_app()
        window = self.run_tool(app, 'xdotool', 'search', '--name', '^latticegraph').split()[0]
        self.assertIn('WM_CLASS(STRING) = "latticegraph", "latticegraph"\n',
                      self.run_tool(app, 'xprop', '-id', window, 'WM_CLASS'))
        hints = self.run_tool(app, 'xprop', '-id', window, 'WM_HINTS')
        icon = re.search(r'bitmap id # to use for icon: (0x[0-9a-f]+)', hints)
        self.assertIsNotNone(icon, 'WM_HINTS names an icon pixmap')
        rose = harness.Shot(subprocess.run(['convert', ICON, '-depth', '8', 'ppm:-'], capture_output=True).stdout)
        d = x11.XOpenDisplay(app.env['DISPLAY'].encode())
        self.addCleanup(x11.XCloseDisplay, d)
        shown = pixmap_pixels(d, int(icon.group(1), 16), rose.width, rose.width)
        self.assertEqual(shown, [rose.px(x, y) for y in range(rose.width) for x in range(rose.width)],
                         'the icon is desktop/latticegraph.png')

    def test_esc_just_after_a_render_does_not_quit(self):
        app = self.start_app(gallery={'slow.fig': slow_figure(0.01)})     # 158 million points
        idle_box = app.shot().region(*RENDER_BOX)
        self.load_first(app)
        app.wait_for(lambda s: s.region(*RENDER_BOX) != idle_box, 'the render to start')
        app.wait_for(lambda s: s.region(*RENDER_BOX) == idle_box, 'the render to end', timeout=60)
        app.key('Escape')
        time.sleep(1)
        self.assertIsNone(app.proc.poll(), 'Esc pressed as the render ended quit the program')
        app.key('Escape')                   # a press of its own in the idle window quits
        self.assertEqual(app.wait_exit(), 0)


if __name__ == '__main__':
    harness.main()
