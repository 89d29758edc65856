"""Runs the real latticegraph under a private Xvfb and drives it like a person
(xdotool for mouse and keys, ImageMagick's import for the screen), and works
out independently what the screen should show: single-precision sweeps, the
colour ramp and the button shading.

Each test file runs as  python3 test_xxx.py <latticegraph> <gallery-dir>  and
ends with harness.main(): 'N passed, N failed', exit status 0 only on success."""
import atexit
import ctypes
import math
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

PROGRAM = GALLERY = None                    # the program under test and the starter gallery
AREA = 480                                  # the drawing area is AREA x AREA at (0, 0)
BLACK, BLUE, ORANGE = (0, 0, 0), (64, 128, 255), (255, 128, 64)
PARK, POINTER_APEX = (639, 479), (255, 248, 255)   # the pointer's top-left pixel
KEYSYMS = {'.': 'period', '-': 'minus', '\b': 'BackSpace', '(': 'parenleft', ')': 'parenright', '+': 'plus',
           '*': 'asterisk', '/': 'slash', '^': 'asciicircum', ' ': 'space'}
PROMPT, PROMPT_GREEN = (40, 224, 560, 32), (32, 128, 64)   # the entry prompts' box and face
FINDING_LINE, FINDING_TEXT = (0, 256, 640, 12), (255, 220, 96)   # a formula's first finding, below the prompt
BANNER = (0, 224, 640, 32)                  # the full-width banners
# where a test clicks on the panel (a point inside each button) and the boxes it looks at
RENDER, X_FORMULA, Y_FORMULA, Z_FORMULA, RED = (560, 16), (517, 72), (560, 72), (600, 72), (517, 224)
X_MIN, X_MAX, X_SKIP, Y_MIN, Y_MAX, Y_SKIP, Z_MAX = (517, 136), (517, 152), (517, 168), (560, 136), (560, 152), (560, 168), (603, 152)
STOP_PREV, STOP_NEXT, STYLE_PREV, STYLE_NEXT = (510, 248), (600, 248), (510, 280), (600, 280)
POW_DOWN, POW_UP, LOAD, SAVE, SCREENSHOT = (510, 296), (600, 296), (520, 344), (590, 344), (560, 360)
STOP_LABEL, STYLE_LABEL, POW_LABEL = (528, 240, 64, 16), (528, 272, 64, 16), (528, 288, 64, 16)
LOADING_BAR = (496, 368, 128, 32)           # "Esc to Cancel" and the progress marks while a render runs


def entry_colour(i):
    """The face of entry i of the Load and Save lists."""
    return (255 - 4 * i, 128, 2 * i)

_live = []
_libc = ctypes.CDLL(None)


def _die_with_parent():
    _libc.prctl(1, signal.SIGKILL)          # PR_SET_PDEATHSIG: a killed test takes its children along


# ---- what the screen should show ----

def f32(x):
    try:
        return struct.unpack('<f', struct.pack('<f', x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def sin_of_ratio(a, b):                     # a zero divisor gives +infinity, whose sine is NaN
    q = f32(a / b) if b else math.inf
    return f32(math.sin(q)) if math.isfinite(q) else math.nan


def default_x(x, y, z):                     # "CX*S(X/Y)"
    return f32(f32(math.cos(x)) * sin_of_ratio(x, y))


def default_y(x, y, z):                     # "SX*S(Y/X)"
    return f32(f32(math.sin(x)) * sin_of_ratio(y, x))


DEFAULT_RANGE = [f32(v) for v in (-62.8318, 62.8318, 0.5, -62.8318, 62.8318, 0.5, 0, 0, 1)]
DEFAULT_COLOR = [0, 0, 0, 0, 0, 255, 0, 255, 255, 255, 255, 255]


def sweep(lo, hi, step):
    out, v = [], lo
    while v <= hi:
        out.append(v)
        v = f32(v + step)
    return out


def cell_of(value):
    scaled = f32(value * 240.0) if math.isfinite(value) else math.nan
    p = int(scaled) + 240 if math.isfinite(scaled) and abs(scaled) < 2 ** 31 else -1
    return p if 0 <= p < AREA else None


def hit_counts(fx, fy, rng=DEFAULT_RANGE):
    """{(column, row): points} of a plain-style pass."""
    cells = {}
    for x in sweep(*rng[0:3]):
        for y in sweep(*rng[3:6]):
            for z in sweep(*rng[6:9]):
                c, r = cell_of(fx(x, y, z)), cell_of(fy(x, y, z))
                if c is not None and r is not None:
                    cells[(c, r)] = cells.get((c, r), 0) + 1
    return cells


def ramp(count, color=DEFAULT_COLOR, gain=100):
    v, seg = count * gain, 0
    while v > 255 and seg < 2:
        v, seg = v - 255, seg + 1
    v = min(max(v, 0), 255)
    a, b = color[3 * seg:3 * seg + 3], color[3 * seg + 3:3 * seg + 6]
    return tuple(min(max(int(a[c] + v * (b[c] - a[c]) / 255), 0), 255) for c in range(3))


def ring(rgb, i, j):
    """A button's ring pixel i across and j down from its corner."""
    return tuple(min(max(c - 29 + i - j, 0), 255) for c in rgb)


class Shot:
    def __init__(self, raw):
        header = re.match(rb'P6\s+(\d+)\s+\d+\s+255\s', raw)
        assert header, 'not an 8-bit binary PPM'
        self.width, self.data = int(header.group(1)), raw[header.end():]

    def px(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.data[i:i + 3])

    def region(self, x, y, w, h):
        return b''.join(self.data[3 * (r * self.width + x):3 * (r * self.width + x + w)] for r in range(y, y + h))

    def text_span(self, x, y, w, h):
        """Left- and rightmost black columns in the box's centred text band, or None."""
        cols = [c for c in range(x, x + w) for r in range(y + h // 2 - 4, y + h // 2 + 4) if self.px(c, r) == BLACK]
        return (min(cols), max(cols)) if cols else None

    def figure_errors(self, cells, color=DEFAULT_COLOR, gain=100):
        """Drawing-area pixels that differ from the figure of these cells."""
        bad = []
        for (c, r), n in cells.items():
            if self.px(c, r) != ramp(n, color, gain):
                bad.append((c, r))
        background = ramp(0, color, gain)
        empty = bytes(background) * AREA
        for r in range(AREA):
            if self.data[3 * r * self.width:3 * (r * self.width + AREA)] != empty:
                bad += [(c, r) for c in range(AREA) if (c, r) not in cells and self.px(c, r) != background]
        return bad


def text_fits(span, box, length):
    """The black text in box is a centred label of this many characters: the
    font's glyphs start in columns 0-3 and end in columns 3-6 of their cell."""
    x, _, w, _ = box
    start = x + w // 2 - 4 * length
    return span is not None and start <= span[0] < start + 4 and start + 8 * length - 5 <= span[1] < start + 8 * length - 1


# ---- the program under test ----

class App:
    def __init__(self, gallery=None, screenshots=True, screen='640x480', extra_env=None, args=()):
        """gallery=False starts in a folder without gallery/; screen is WxH."""
        self.dir, self.args = tempfile.mkdtemp(prefix='latticegraph-e2e-'), list(args)
        self.proc = self.xvfb = None
        self.screen, self.extra_env = screen, extra_env or {}
        if gallery is not False:
            os.makedirs(self.path('gallery'))
        for name, content in (gallery or {}).items():
            with open(self.path('gallery', name), 'wb') as f:
                f.write(content)
        if screenshots:
            os.makedirs(self.path('Screenshots'))
        _live.append(self)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def start(self):
        """Xvfb on a free display, then the program; an early exit is retried once."""
        rfd, wfd = os.pipe()
        # -wr: a white root, so that anything the program covers shows in a capture
        self.xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(wfd), '-screen', '0', self.screen + 'x24', '-wr',
                                      '-nolisten', 'tcp'],
                                     pass_fds=(wfd,), stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent)
        os.close(wfd)
        with os.fdopen(rfd) as r:
            self.env = dict(os.environ, DISPLAY=':' + r.readline().strip(), **self.extra_env)
        for attempt in (1, 2):
            with open(self.path('program.log'), 'ab') as log:
                self.proc = subprocess.Popen([PROGRAM] + self.args, cwd=self.dir, env=self.env, stdin=subprocess.DEVNULL,
                                             stdout=log, stderr=log, preexec_fn=_die_with_parent)
            if self._wait_ready():
                return self
            if self.proc.poll() is None or attempt == 2:
                raise AssertionError('no panel; exit status %s' % self.proc.poll())

    def _wait_ready(self):
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and self.proc.poll() is None:
            if self.shot().px(505, 6) == BLUE:       # the Render button: the main loop is drawing
                time.sleep(0.3)
                self.park()
                return True
            time.sleep(0.05)
        return False

    def close(self):
        for p in (self.proc, self.xvfb):
            if p is not None and p.poll() is None:
                p.kill()
                p.wait(5)
        if self in _live:
            _live.remove(self)
        shutil.rmtree(self.dir, ignore_errors=True)

    def xdotool(self, *args):
        subprocess.run(['xdotool'] + [str(a) for a in args], env=self.env, check=True, timeout=30,
                       stdout=subprocess.DEVNULL)

    def click(self, x, y, button=1, hold=0.08):
        self.xdotool('mousemove', x, y, 'sleep', 0.03, 'mousedown', button, 'sleep', hold, 'mouseup', button)

    def park(self):
        """Pointer out of the way, and a frame showing it there."""
        self.xdotool('mousemove', *PARK)
        self.wait_for(lambda s: s.px(*PARK) == POINTER_APEX, 'the pointer drawn at the mouse')

    def key(self, name, hold=0.15):
        self.xdotool('keydown', name, 'sleep', hold, 'keyup', name)

    def type(self, text):
        """One key at a time, each held briefly, so every press is seen."""
        args = []
        for ch in text:
            sym = KEYSYMS.get(ch, ch)
            args += ['keydown', sym, 'sleep', 0.15 if ch == '\b' else 0.05, 'keyup', sym, 'sleep', 0.03]
        self.xdotool(*args)

    def wait_prompt(self, length):
        """A prompt is open and shows a text of this many characters."""
        def shows(s):
            span = s.text_span(*PROMPT)
            fits = span is None if length == 0 else text_fits(span, PROMPT, length)
            return s.px(46, 230) == PROMPT_GREEN and fits
        self.wait_for(shows, 'a prompt text of %d characters' % length)

    def close_prompt(self, key):
        self.key(key)
        self.wait_for(lambda s: s.px(46, 230) != PROMPT_GREEN, 'the prompt to close')

    def replace_text(self, button, old_length, new):
        """Opens a prompt, Backspaces its text away, types the new one, Enter."""
        self.click(*button)
        self.wait_prompt(old_length)
        self.type('\b' * old_length)
        self.wait_prompt(0)
        self.type(new)
        self.wait_prompt(len(new))
        self.close_prompt('Return')

    def shot(self):
        return Shot(subprocess.run(['import', '-window', 'root', '-depth', '8', 'ppm:-'], env=self.env,
                                   capture_output=True, check=True, timeout=30).stdout)

    def wait_for(self, condition, what, timeout=15.0):
        deadline = time.monotonic() + timeout
        while True:
            s = self.shot()
            if condition(s):
                return s
            if self.proc.poll() is not None:
                raise AssertionError('the program ended (status %s) while waiting for %s' % (self.proc.poll(), what))
            if time.monotonic() > deadline:
                raise AssertionError('timed out waiting for ' + what)
            time.sleep(0.03)

    def wait_exit(self):
        return self.proc.wait(10)

    def wait_file(self, *parts, size=1):
        p, deadline = self.path(*parts), time.monotonic() + 10
        while not (os.path.exists(p) and os.path.getsize(p) >= size):
            if time.monotonic() > deadline:
                raise AssertionError('no complete file ' + os.path.join(*parts))
            time.sleep(0.05)
        return p


class AppTestCase(unittest.TestCase):
    def start_app(self, **kwargs):
        app = App(**kwargs)
        self.addCleanup(app.close)
        return app.start()

    def assertFigure(self, shot, cells, color=DEFAULT_COLOR, gain=100):
        bad = shot.figure_errors(cells, color, gain)
        if bad:
            self.fail('%d figure pixels differ, first %s' % (len(bad), bad[:5]))


atexit.register(lambda: [app.close() for app in list(_live)])
signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))


def main():
    global PROGRAM, GALLERY
    if len(sys.argv) < 3:
        sys.exit('usage: %s <latticegraph> <gallery-dir>' % sys.argv[0])
    PROGRAM, GALLERY, started = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), time.monotonic()
    result = unittest.main(argv=[sys.argv[0], '-v'] + sys.argv[3:], exit=False).result
    failed = len(result.failures) + len(result.errors)
    print('%s took %.1f s' % (os.path.basename(sys.argv[0]), time.monotonic() - started))
    print('%d passed, %d failed' % (result.testsRun - failed - len(result.skipped), failed))
    sys.exit(0 if result.wasSuccessful() else 1)
