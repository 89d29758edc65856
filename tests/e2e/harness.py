"""Runs the real latticegraph under a private Xvfb and drives it like a person:
xdotool for the mouse and keyboard, ImageMagick's import for the screen.

Each test file is run as  python3 test_xxx.py <latticegraph> <gallery-dir>
and ends with  harness.main(), which runs its unittest cases and exits 0
only when all of them pass.

Every App lives in its own temporary working directory (optionally seeded
with gallery files and a Screenshots folder) and its own X display, and is
torn down by process id -- program first, then Xvfb -- even when a test
fails."""
import atexit
import ctypes
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import model  # noqa: E402

PROGRAM = None                  # path of latticegraph, from the command line
GALLERY = None                  # the starter gallery folder, from the command line

POINTER_APEX = (255, 248, 255)  # the pointer's top-left pixel: its last, left-edge line
PARK = (639, 479)               # a pointer parked here covers one pixel outside panel and figure
HOLD = 0.08                     # seconds a mouse button is held: long enough for a busy frame
KEY_HOLD = 0.15                 # seconds Enter, Esc and the like are held, as a person would:
                                # the prompts test them as held keys after the character arrives
READY_TIMEOUT = 30.0

# Keysyms for the characters a test types; letters and digits are their own keysym.
KEYSYMS = {
    ' ': 'space', '.': 'period', '-': 'minus', '+': 'plus', '*': 'asterisk', '/': 'slash',
    '^': 'asciicircum', '(': 'parenleft', ')': 'parenright', '_': 'underscore',
    '\b': 'BackSpace',
}

_live = []                      # apps not yet closed, for the exit safety net
_libc = ctypes.CDLL(None, use_errno=True)
PR_SET_PDEATHSIG = 1


def _die_with_parent():
    """Runs in each child before exec: if this test process is killed
    outright (a ctest timeout), the kernel ends Xvfb and the program too."""
    _libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


class Shot:
    """One captured screen: 640x480 RGB."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def px(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.data[i:i + 3])

    def mismatches(self, expected, x0=0, y0=0, x1=model.W, y1=model.H, skip=()):
        """Pixels of the rectangle [x0,x1) x [y0,y1) that differ from the
        expected Picture, as (x, y, seen, wanted); points in skip are ignored."""
        out = []
        for y in range(y0, y1):
            a, b = 3 * (y * self.width + x0), 3 * (y * self.width + x1)
            if self.data[a:b] == expected.data[a:b]:
                continue
            for x in range(x0, x1):
                if (x, y) not in skip and self.px(x, y) != expected.get(x, y):
                    out.append((x, y, self.px(x, y), expected.get(x, y)))
        return out

    def read_label(self, x, y, w, h):
        """The text of a label drawn centred in the box (x, y, w, h), read
        back through the font's black pass, or None when no text fits."""
        table = model.glyphs()
        ty = y + h // 2 - 4
        x0, x1 = max(x, 0), min(x + w, self.width)
        black = {(px, py) for py in range(ty, ty + 8) for px in range(x0, x1)
                 if self.px(px, py) == model.BLACK}
        if not black:
            return ''
        for n in range(1, 101):             # a centred text of n characters starts here
            tx = x + w // 2 - 4 * n
            if all(tx <= px < tx + 8 * n for px, _ in black):
                text = self._decode(black, tx, ty, n, table)
                if text is not None:
                    return text
        return None

    @staticmethod
    def _decode(black, tx, ty, n, table):
        text = []
        for k in range(n):
            cell = [{px - tx - 8 * k for px, py in black if py == ty + row and 0 <= px - tx - 8 * k < 8}
                    for row in range(8)]
            match = [ch for ch, rows in table.items() if rows == cell]
            if not match:
                return None
            text.append(match[0])
        return ''.join(text)

    def save_png(self, path):
        """Write the shot as a PNG, for looking at a failure."""
        def chunk(kind, body):
            return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
        stride = 3 * self.width
        rows = b''.join(b'\0' + self.data[y * stride:(y + 1) * stride] for y in range(self.height))
        with open(path, 'wb') as f:
            f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', self.width, self.height, 8, 2, 0, 0, 0))
                    + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))


FAILURE_SHOTS = os.path.join(tempfile.gettempdir(), 'latticegraph-e2e-failures')


def parse_ppm(raw):
    """(width, height, rgb bytes) of a binary PPM (P6, maxval 255)."""
    fields, pos = [], 0
    while len(fields) < 4:
        while raw[pos:pos + 1].isspace():
            pos += 1
        if raw[pos:pos + 1] == b'#':
            pos = raw.index(b'\n', pos) + 1
            continue
        end = pos
        while not raw[end:end + 1].isspace():
            end += 1
        fields.append(raw[pos:end])
        pos = end
    if fields[0] != b'P6' or fields[3] != b'255':
        raise ValueError('not an 8-bit binary PPM')
    width, height = int(fields[1]), int(fields[2])
    pos += 1
    return width, height, raw[pos:pos + 3 * width * height]


class App:
    """The program under test, its display and its working directory."""

    def __init__(self, gallery=None, screenshots=True, gallery_folder=True):
        """gallery: {file name: bytes} or a folder whose *.fig files are copied."""
        self.dir = tempfile.mkdtemp(prefix='latticegraph-e2e-')
        self.xvfb = self.proc = None
        self.display = None
        self.log = os.path.join(self.dir, 'program.log')
        _live.append(self)
        self._seed(gallery, screenshots, gallery_folder)

    # ---- set-up and tear-down ----

    def _seed(self, gallery, screenshots, gallery_folder):
        if gallery_folder or gallery:
            os.makedirs(self.path('gallery'))
        if isinstance(gallery, str):
            for name in os.listdir(gallery):
                if name.endswith('.fig'):
                    shutil.copy(os.path.join(gallery, name), self.path('gallery', name))
        elif gallery:
            for name, content in gallery.items():
                with open(self.path('gallery', name), 'wb') as f:
                    f.write(content)
        if screenshots:
            os.makedirs(self.path('Screenshots'))

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def start(self):
        """Start Xvfb and the program; return once the panel is on the
        screen and the pointer answers. An early exit is retried once."""
        self._start_xvfb()
        for attempt in (1, 2):
            self._start_program()
            if self._wait_ready():
                return self
            if self.proc.poll() is None or attempt == 2:
                raise AssertionError('the program did not show its panel: ' + self.log_text())
        return self

    def _start_xvfb(self):
        rfd, wfd = os.pipe()
        self.xvfb = subprocess.Popen(
            ['Xvfb', '-displayfd', str(wfd), '-screen', '0', '640x480x24', '-nolisten', 'tcp'],
            pass_fds=(wfd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent)
        os.close(wfd)
        number = b''
        with os.fdopen(rfd, 'rb') as r:
            while not number.endswith(b'\n'):
                chunk = r.read(1)
                if not chunk:
                    raise AssertionError('Xvfb did not report a display')
                number += chunk
        self.display = ':' + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display)

    def _start_program(self):
        with open(self.log, 'ab') as log:
            self.proc = subprocess.Popen([PROGRAM], cwd=self.dir, env=self.env, stdin=subprocess.DEVNULL,
                                         stdout=log, stderr=log, preexec_fn=_die_with_parent)

    def _wait_ready(self):
        """The panel's Render button reaches the screen with the first frame
        of the main loop; after that, input is taken."""
        deadline = time.monotonic() + READY_TIMEOUT
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                return False
            if self.shot().px(505, 6) == model.BLUE:
                time.sleep(0.3)
                self.park()
                return True
            time.sleep(0.05)
        return False

    def close(self):
        for p in (self.proc, self.xvfb):
            if p is not None and p.poll() is None:
                p.terminate()
                try:
                    p.wait(3)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait(3)
        if self in _live:
            _live.remove(self)
        shutil.rmtree(self.dir, ignore_errors=True)

    def log_text(self):
        try:
            with open(self.log, 'rb') as f:
                text = f.read().decode(errors='replace').strip()
        except OSError:
            text = ''
        code = self.proc.poll() if self.proc else None
        return 'exit status %s, output %r' % (code, text)

    # ---- input ----

    def xdotool(self, *args):
        subprocess.run(['xdotool'] + [str(a) for a in args], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, timeout=30)

    def move(self, x, y):
        self.xdotool('mousemove', x, y)

    def park(self):
        """Move the pointer out of the way and wait until a frame shows it there."""
        self.move(*PARK)
        self.wait_for(lambda s: s.px(*PARK) == POINTER_APEX, 'the pointer to reach its parking place')

    def click(self, x, y, button=1, hold=HOLD):
        self.xdotool('mousemove', x, y, 'sleep', 0.03,
                     'mousedown', button, 'sleep', hold, 'mouseup', button)

    def click_and_park(self, x, y, button=1, hold=HOLD):
        """A click that opens nothing modal, then the pointer out of the way of
        the labels it would cover."""
        self.click(x, y, button, hold)
        self.park()

    def key(self, name, hold=KEY_HOLD):
        self.xdotool('keydown', name, 'sleep', hold, 'keyup', name)

    def key_down(self, name):
        self.xdotool('keydown', name)

    def key_up(self, name):
        self.xdotool('keyup', name)

    def type(self, text, hold=0.05, gap=0.03):
        """Type text one key at a time; each key is pressed and released
        before the next, so the program's keyboard sees every press.
        Backspace ("\\b") is held longer: the prompts test it as a held key."""
        args = []
        for ch in text:
            sym = KEYSYMS.get(ch, ch)
            args += ['keydown', sym, 'sleep', KEY_HOLD if ch == '\b' else hold, 'keyup', sym, 'sleep', gap]
        if args:
            self.xdotool(*args)

    # ---- output ----

    def shot(self):
        raw = subprocess.run(['import', '-display', self.display, '-window', 'root', '-depth', '8', 'ppm:-'],
                             env=self.env, capture_output=True, check=True, timeout=30).stdout
        return Shot(*parse_ppm(raw))

    def wait_for(self, condition, what, timeout=15.0):
        """Capture the screen until condition(shot) holds; return that shot."""
        deadline = time.monotonic() + timeout
        while True:
            s = self.shot()
            if condition(s):
                return s
            if time.monotonic() > deadline:
                os.makedirs(FAILURE_SHOTS, exist_ok=True)
                path = os.path.join(FAILURE_SHOTS, '%s-%d.png' % (os.path.basename(sys.argv[0]), time.time_ns()))
                s.save_png(path)
                raise AssertionError('timed out waiting for %s (last screen: %s)' % (what, path))
            if self.proc.poll() is not None:
                raise AssertionError('the program ended while waiting for %s: %s' % (what, self.log_text()))
            time.sleep(0.03)

    def wait_label(self, box, text, timeout=15.0):
        x, y, w, h = box[:4]
        return self.wait_for(lambda s: s.read_label(x, y, w, h) == text,
                             'the label %r at %s' % (text, (x, y)), timeout)

    def wait_exit(self, timeout=10.0):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError('the program did not end within %.0f s' % timeout)

    def running(self):
        return self.proc.poll() is None

    def wait_file(self, *parts, size=1, timeout=10.0):
        """Wait until the file exists and holds at least size bytes."""
        p = self.path(*parts)
        deadline = time.monotonic() + timeout
        while not (os.path.exists(p) and os.path.getsize(p) >= size):
            if time.monotonic() > deadline:
                raise AssertionError('no complete file ' + os.path.join(*parts))
            time.sleep(0.05)
        return p


class AppTestCase(unittest.TestCase):
    maxDiff = 2000

    def start_app(self, **kwargs):
        app = App(**kwargs)
        self.addCleanup(app.close)
        return app.start()

    def assertPicture(self, shot, expected, x0=0, y0=0, x1=model.W, y1=model.H, skip=(), what='picture'):
        bad = shot.mismatches(expected, x0, y0, x1, y1, skip)
        if bad:
            self.fail('%s: %d pixels differ, first (x, y, seen, expected): %s'
                      % (what, len(bad), bad[:6]))


def _close_all():
    for app in list(_live):
        app.close()


atexit.register(_close_all)
signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))


def main():
    global PROGRAM, GALLERY
    if len(sys.argv) < 3:
        sys.exit('usage: %s <path-to-latticegraph> <path-to-gallery-dir>' % sys.argv[0])
    PROGRAM, GALLERY = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    started = time.monotonic()
    result = unittest.main(argv=[sys.argv[0], '-v'] + sys.argv[3:], exit=False).result
    print('%s took %.1f s' % (os.path.basename(sys.argv[0]), time.monotonic() - started))
    print('%d passed, %d failed, %d skipped' % (
        result.testsRun - len(result.failures) - len(result.errors) - len(result.skipped),
        len(result.failures) + len(result.errors), len(result.skipped)))
    sys.exit(0 if result.wasSuccessful() else 1)
