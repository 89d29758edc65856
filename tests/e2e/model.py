"""What the screen should show, worked out here from the program's rules
rather than read back from the program: single-precision arithmetic, the
lattice sweep, the colour ramp, the boxed labels of the panel and the pointer.

Text is drawn with the graphics library's built-in 8x8 font; its glyphs are
taken from the library itself (through ctypes, in a child process so that the
library's set-up never touches the test process)."""
import json
import math
import struct
import subprocess
import sys

W, H = 640, 480
AREA = 480                                  # the drawing area is AREA x AREA at (0, 0)
BLACK = (0, 0, 0)

# ---------------------------------------------------------------- floats ----

def f32(x):
    """Round a Python float to the nearest single-precision value."""
    try:
        return struct.unpack('<f', struct.pack('<f', x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def _trig(fn, a):
    # C's sin/cos of an infinity is NaN; Python raises instead.
    return f32(fn(a)) if math.isfinite(a) else math.nan


def sin32(a):
    return _trig(math.sin, a)


def cos32(a):
    return _trig(math.cos, a)


def div32(a, b):
    """The program's division: any zero divisor gives positive infinity."""
    if b == 0:
        return math.inf
    return f32(a / b)


def mul32(a, b):
    return f32(a * b)


# The default formulas, with the program's order of operations:
# "CX*S(X/Y)" is cos(X) * sin(X / Y), "SX*S(Y/X)" is sin(X) * sin(Y / X), "Z" is Z.
def default_x(x, y, z):
    return mul32(cos32(x), sin32(div32(x, y)))


def default_y(x, y, z):
    return mul32(sin32(x), sin32(div32(y, x)))


def default_z(x, y, z):
    return z


DEFAULT_RANGE = [f32(v) for v in (-62.8318, 62.8318, 0.5, -62.8318, 62.8318, 0.5, 0, 0, 1)]
DEFAULT_COLOR = [0, 0, 0, 0, 0, 255, 0, 255, 255, 255, 255, 255]
DEFAULT_TEXTS = ('CX*S(X/Y)', 'SX*S(Y/X)', 'Z')

# ---------------------------------------------------------------- render ----

def axis_values(lo, hi, step):
    """The values one sweep takes, accumulated in single precision."""
    out, v = [], lo
    while v <= hi:
        out.append(v)
        v = f32(v + step)
    return out


def pixel_of(value):
    """Column (or row) of a formula value, or None when the point is dropped."""
    scaled = f32(value * 240.0)
    if not math.isfinite(scaled) or abs(scaled) >= 2 ** 31:
        return None
    p = int(scaled) + 240
    return p if 0 <= p < AREA else None


def render_cells(fx, fy, fz, rng=DEFAULT_RANGE, style=0):
    """Cells of a completed pass as {(column, row): value}; absent cells are 0."""
    cells = {}
    zs = axis_values(rng[6], rng[7], rng[8])
    ys = axis_values(rng[3], rng[4], rng[5])
    for x in axis_values(rng[0], rng[1], rng[2]):
        for y in ys:
            for z in zs:
                px, py = pixel_of(fx(x, y, z)), pixel_of(fy(x, y, z))
                if px is None or py is None:
                    continue
                if style == 0:
                    cells[(px, py)] = cells.get((px, py), 0) + 1
                elif style == 1:
                    depth = fz(x, y, z)
                    if math.isfinite(depth) and int(depth) > cells.get((px, py), 0):
                        cells[(px, py)] = int(depth)
    return cells


def ramp_colour(cell, color=DEFAULT_COLOR, gain=100):
    """Colour of one cell through the four-stop ramp and the gain."""
    v, seg = cell * gain, 0
    if v > 255:
        v, seg = v - 255, 1
    if v > 255:
        v, seg = v - 255, 2
    v = min(max(v, 0), 255)
    a, b = color[3 * seg:3 * seg + 3], color[3 * seg + 3:3 * seg + 6]
    return tuple(min(max(int(a[c] + v * (b[c] - a[c]) / 255), 0), 255) for c in range(3))


# ---------------------------------------------------------------- picture ---

class Picture:
    """An expected 640x480 RGB picture; pixels outside it are ignored."""

    def __init__(self, fill=BLACK):
        self.data = bytearray(bytes(fill) * (W * H))

    def set(self, x, y, rgb):
        if 0 <= x < W and 0 <= y < H:
            i = 3 * (y * W + x)
            self.data[i:i + 3] = bytes(rgb)

    def get(self, x, y):
        i = 3 * (y * W + x)
        return tuple(self.data[i:i + 3])

    def paint_figure(self, cells, color=DEFAULT_COLOR, gain=100):
        background = ramp_colour(0, color, gain)
        row = bytes(background) * AREA
        for y in range(AREA):
            self.data[3 * y * W:3 * (y * W + AREA)] = row
        for (x, y), value in cells.items():
            self.set(x, y, ramp_colour(value, color, gain))


def figure_picture(cells, color=DEFAULT_COLOR, gain=100, panel=True):
    pic = Picture()
    if panel:
        draw_panel(pic, gain=gain)
    pic.paint_figure(cells, color, gain)
    return pic


# ---------------------------------------------------------------- text ------

_GLYPH_SCRIPT = r'''
import ctypes, json
lib = ctypes.CDLL("liballeg.so.4.4")
none_id = (ord("N") << 24) | (ord("O") << 16) | (ord("N") << 8) | ord("E")
err = ctypes.c_int(0)
lib._install_allegro_version_check.argtypes = [ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int]
if lib._install_allegro_version_check(none_id, ctypes.addressof(err), None, (4 << 16) | (4 << 8) | 3) != 0:
    raise SystemExit("cannot start the graphics library")
lib.create_bitmap_ex.restype = ctypes.c_void_p
lib.create_bitmap_ex.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_int]
lib.clear_to_color.argtypes = [ctypes.c_void_p, ctypes.c_int]
lib.textout_ex.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_char_p] + [ctypes.c_int] * 4
lib.getpixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
chars = bytes(range(32, 127))
bmp = lib.create_bitmap_ex(32, 8 * len(chars), 8)
lib.clear_to_color(bmp, 0)
lib.textout_ex(bmp, ctypes.c_void_p.in_dll(lib, "font"), chars, 0, 0, 0xFFFFFF, -1)
glyphs = {}
for k, ch in enumerate(chars):
    glyphs[chr(ch)] = [[x for x in range(8) if lib.getpixel(bmp, 8 * k + x, y)] for y in range(8)]
print(json.dumps(glyphs))
'''
_glyphs = None


def glyphs():
    """{character: list of 8 rows, each the list of set columns}."""
    global _glyphs
    if _glyphs is None:
        out = subprocess.run([sys.executable, '-c', _GLYPH_SCRIPT], capture_output=True,
                             text=True, check=True, timeout=60).stdout
        _glyphs = {ch: [set(row) for row in rows] for ch, rows in json.loads(out).items()}
    return _glyphs


def draw_text(pic, text, x, y, rgb):
    table = glyphs()
    for k, ch in enumerate(text):
        for row, cols in enumerate(table[ch]):
            for col in cols:
                pic.set(x + 8 * k + col, y + row, rgb)


def label_origin(label, x, y, w, h):
    """Where the black pass of a centred label starts."""
    n = min(len(label), 100)
    return x + w // 2 - 4 * n, y + h // 2 - 4


def shaded(channel, i, j):
    return min(max(channel - 29 + i - j, 0), 255)


def draw_button(pic, label, x, y, w, h, rgb, border):
    for j in range(h):
        for i in range(w):
            ring = i < border or j < border or i >= w - border or j >= h - border
            pic.set(x + i, y + j, tuple(shaded(c, i, j) for c in rgb) if ring else rgb)
    light = tuple(min(c + 40, 255) for c in rgb)
    dark = tuple(max(c - 40, 0) for c in rgb)
    tx, ty = label_origin(label, x, y, w, h)
    text = label[:100]
    draw_text(pic, text, tx, ty + 1, dark)
    draw_text(pic, text, tx, ty - 1, light)
    draw_text(pic, text, tx, ty, BLACK)


BLUE, GREY, ORANGE, DEEP, BROWN = (64, 128, 255), (128, 128, 128), (255, 128, 64), (48, 96, 192), (192, 96, 48)

# label, x, y, w, h, colour, border -- the panel as start-up draws it
PANEL = [
    ('Render', 496, 0, 128, 32, BLUE, 4), ('Formulas', 496, 32, 128, 32, GREY, 4),
    ('X', 496, 64, 43, 16, BLUE, 4), ('Y', 539, 64, 43, 16, BLUE, 4), ('Z', 582, 64, 42, 16, BLUE, 4),
    ('Ranges', 496, 80, 128, 32, GREY, 4),
    ('X', 496, 112, 43, 16, ORANGE, 3), ('Y', 539, 112, 43, 16, ORANGE, 3), ('Z', 582, 112, 42, 16, ORANGE, 3),
    ('Min', 496, 128, 43, 16, BLUE, 3), ('Min', 539, 128, 43, 16, BLUE, 3), ('Min', 582, 128, 42, 16, BLUE, 3),
    ('Max', 496, 144, 43, 16, DEEP, 3), ('Max', 539, 144, 43, 16, DEEP, 3), ('Max', 582, 144, 42, 16, DEEP, 3),
    ('Skip', 496, 160, 43, 16, BLUE, 3), ('Skip', 539, 160, 43, 16, BLUE, 3), ('Skip', 582, 160, 42, 16, BLUE, 3),
    ('Color', 496, 176, 128, 32, GREY, 4),
    ('Red', 496, 208, 43, 32, (128, 0, 0), 4), ('Green', 539, 208, 43, 32, (0, 128, 0), 4),
    ('Blue', 582, 208, 42, 32, (0, 0, 128), 4),
    ('<', 496, 240, 32, 16, BLUE, 4), ('Color 1', 528, 240, 64, 16, ORANGE, 4), ('>', 592, 240, 32, 16, BLUE, 4),
    ('-', 496, 256, 32, 16, GREY, 4), ('of 4', 528, 256, 64, 16, BROWN, 4), ('+', 592, 256, 32, 16, GREY, 4),
    ('<', 496, 272, 32, 16, BLUE, 4), ('Style 1', 528, 272, 64, 16, ORANGE, 4), ('>', 592, 272, 32, 16, BLUE, 4),
    ('-', 496, 288, 32, 16, DEEP, 4), ('Pow 100', 528, 288, 64, 16, BROWN, 4), ('+', 592, 288, 32, 16, DEEP, 4),
    ('I/O', 496, 304, 128, 32, GREY, 4),
    ('Load', 496, 336, 64, 16, BLUE, 4), ('Save', 560, 336, 64, 16, BLUE, 4),
    ('ScreenShot', 496, 352, 128, 16, BLUE, 4),
    ('Loading Bar', 496, 368, 128, 32, GREY, 4),
    ('Exit', 496, 464, 128, 16, BLUE, 4),
]

# Value labels that change: their box and colour.
STOP_LABEL = (528, 240, 64, 16, ORANGE)
STYLE_LABEL = (528, 272, 64, 16, ORANGE)
POW_LABEL = (528, 288, 64, 16, BROWN)


def draw_panel(pic, stop=1, style=1, gain=100):
    for label, x, y, w, h, rgb, border in PANEL:
        draw_button(pic, label, x, y, w, h, rgb, border)
    for box, text in ((STOP_LABEL, 'Color %d' % stop), (STYLE_LABEL, 'Style %d' % style),
                      (POW_LABEL, 'Pow %d' % gain)):
        x, y, w, h, rgb = box
        draw_button(pic, text, x, y, w, h, rgb, 4)


# ---------------------------------------------------------------- pointer ---

def pointer_line_colour(i):
    """Colour of the i-th line of the pointer's fan (i = 0 is the top edge)."""
    return (min(16 * i, 255), 8 * i, min(max(16 * i - 128, 0), 255))
