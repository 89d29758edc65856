"""The program among other windows: on a screen larger than its window it
covers only its own 640x480, leaves the keyboard to others, names the figure
in its title and ends on the window manager's close request; Esc that comes
just after a render cancels nothing and quits nothing."""
import ctypes
import ctypes.util
import subprocess
import time
import harness

LOAD, FIRST_ENTRY, RENDER_BOX = (520, 344), (96, 8), (496, 368, 128, 32)
WHITE = (255, 255, 255)
# X11 through libX11, as any other client would ask
_x11 = ctypes.CDLL(ctypes.util.find_library('X11'))
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XGrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
_x11.XUngrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
_x11.XInternAtom.restype = ctypes.c_ulong
_x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
_x11.XFlush.argtypes = _x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
GRAB_SUCCESS, GRAB_MODE_ASYNC, CLIENT_MESSAGE = 0, 1, 33


class ClientMessage(ctypes.Structure):
    _fields_ = [('type', ctypes.c_int), ('serial', ctypes.c_ulong), ('send_event', ctypes.c_int),
                ('display', ctypes.c_void_p), ('window', ctypes.c_ulong), ('message_type', ctypes.c_ulong),
                ('format', ctypes.c_int), ('data', ctypes.c_long * 5), ('pad', ctypes.c_long * 24)]


def grab_keyboard(display):
    """What another client's keyboard grab answers (0 is GrabSuccess)."""
    d = _x11.XOpenDisplay(display.encode())
    answer = _x11.XGrabKeyboard(d, _x11.XDefaultRootWindow(d), 1, GRAB_MODE_ASYNC, GRAB_MODE_ASYNC, 0)
    _x11.XUngrabKeyboard(d, 0)
    _x11.XCloseDisplay(d)
    return answer


def ask_to_close(display, window):
    """WM_DELETE_WINDOW, as a window manager sends it when the close button is clicked."""
    d = _x11.XOpenDisplay(display.encode())
    event = ClientMessage(type=CLIENT_MESSAGE, window=window, format=32,
                          message_type=_x11.XInternAtom(d, b'WM_PROTOCOLS', 0))
    event.data[0] = _x11.XInternAtom(d, b'WM_DELETE_WINDOW', 0)
    _x11.XSendEvent(d, window, 0, 0, ctypes.byref(event))
    _x11.XFlush(d)
    _x11.XCloseDisplay(d)


def slow_figure(skip):
    """The default figure with X and Y stepped by skip: (125.66 / skip)^2 points."""
    return ('CX*S(X/Y) SX*S(Y/X) Z -62.831799 62.831799 %f -62.831799 62.831799 %f 0 0 1 '
            '0 0 0 0 0 255 0 255 255 255 255 255 0 100' % (skip, skip)).encode()


class Desktop(harness.AppTestCase):
    def window(self, app):
        ids = subprocess.run(['xdotool', 'search', '--name', '^latticegraph'], env=app.env, capture_output=True,
                             text=True, check=True).stdout.split()
        self.assertEqual(len(ids), 1, 'one window')
        return int(ids[0])

    def info(self, app, window, field):
        out = subprocess.run(['xwininfo', '-id', str(window)], env=app.env, capture_output=True, text=True).stdout
        return int(out.split(field + ':')[1].split()[0])

    def title(self, app, window):
        return subprocess.run(['xdotool', 'getwindowname', str(window)], env=app.env, capture_output=True,
                              text=True).stdout.strip()

    def test_a_window_among_others(self):
        app = self.start_app(gallery={'rose.fig': open(harness.GALLERY + '/rose.fig', 'rb').read()},
                             screen='1280x1024')
        window = self.window(app)
        self.assertEqual([self.info(app, window, f) for f in ('Width', 'Height')], [640, 480])
        shot = app.shot()
        for x, y in ((640, 0), (1279, 0), (0, 480), (700, 700), (1279, 1023)):
            self.assertEqual(shot.px(x, y), WHITE, 'the screen at %d,%d is not covered' % (x, y))
        self.assertEqual(grab_keyboard(app.env['DISPLAY']), GRAB_SUCCESS, 'another client takes the keyboard')
        self.assertEqual(self.title(app, window), 'latticegraph')
        app.click(*LOAD)
        app.wait_for(lambda s: s.px(4, 4) == (255, 128, 0), 'the Load list')
        app.click(*FIRST_ENTRY)
        deadline = time.monotonic() + 15
        while self.title(app, window) != 'latticegraph - rose.fig' and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(self.title(app, window), 'latticegraph - rose.fig')
        ask_to_close(app.env['DISPLAY'], window)
        self.assertEqual(app.wait_exit(), 0)

    def test_esc_just_after_a_render_does_not_quit(self):
        app = self.start_app(gallery={'slow.fig': slow_figure(0.03)})
        idle_box = app.shot().region(*RENDER_BOX)
        app.click(*LOAD)
        app.wait_for(lambda s: s.px(4, 4) == (255, 128, 0), 'the Load list')
        app.click(*FIRST_ENTRY)
        app.wait_for(lambda s: s.region(*RENDER_BOX) != idle_box, 'the render to start')
        app.wait_for(lambda s: s.region(*RENDER_BOX) == idle_box, 'the render to end', timeout=60)
        app.key('Escape')
        time.sleep(1)
        self.assertIsNone(app.proc.poll(), 'Esc pressed as the render ended quit the program')
        app.key('Escape')                   # a press of its own in the idle window quits
        self.assertEqual(app.wait_exit(), 0)


if __name__ == '__main__':
    harness.main()
