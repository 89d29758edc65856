#!/usr/bin/python3
"""The default figure (CX*S(X/Y) and SX*S(Y/X), hit counts on 480 x 480
cells) written the way a NumPy user would write it: float32 arrays over the
whole lattice, no Python loop per point. Prints the median processor time
of several renders, and with a cells file (480 x 480 little-endian int32,
column by column, as latticebench writes) how many cells differ from it.

    /usr/bin/python3 tools/bench_numpy.py XMIN XMAX XSKIP YMIN YMAX YSKIP ZCOUNT [CELLS]

NumPy's float32 sine is its own, not the C library's double sine rounded to
float as the program computes it, so a few cells may differ.
"""
import sys
import time

import numpy as np

SIZE = 480
HALF = np.float32(SIZE // 2)
RUNS = 15


def sweep_values(low, high, skip):
    """The values a sweep visits, stepping in single precision as the program does."""
    values, v = [], np.float32(low)
    while v <= high and len(values) < 1 << 22:
        values.append(v)
        v = np.float32(v + np.float32(skip))
    return np.array(values, dtype=np.float32)


def quotient(a, b):
    """Division where a zero divisor of either sign gives +infinity."""
    with np.errstate(divide="ignore", invalid="ignore"):
        return np.where(b == 0, np.float32(np.inf), a / b)


def pixels(v):
    """trunc(v * 240) + 240, or -1 off the grid (NaN and huge values too)."""
    scaled = v * HALF
    inside = (scaled > -HALF - 1) & (scaled < HALF)
    return np.where(inside, np.trunc(np.where(inside, scaled, 0)).astype(np.int32) + SIZE // 2, -1)


def render(xs, ys, zcount):
    x, y = np.meshgrid(xs, ys, indexing="ij")
    px = pixels(np.cos(x) * np.sin(quotient(x, y)))
    py = pixels(np.sin(x) * np.sin(quotient(y, x)))
    kept = (px >= 0) & (py >= 0)
    cells = np.bincount((px * SIZE + py)[kept], minlength=SIZE * SIZE).astype(np.int32)
    return cells * np.int32(zcount)     # Z is read by neither formula


def main(argv):
    if len(argv) not in (8, 9):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    r = [float(a) for a in argv[1:7]]
    xs, ys, zcount = sweep_values(*r[0:3]), sweep_values(*r[3:6]), int(argv[7])
    times = []
    for _ in range(RUNS):
        start = time.process_time()
        cells = render(xs, ys, zcount)
        times.append((time.process_time() - start) * 1e3)
    line = "numpy_ms=%.3f" % sorted(times)[RUNS // 2]
    if len(argv) == 9:
        program = np.fromfile(argv[8], dtype="<i4")
        line += " differing_cells=%d" % int(np.count_nonzero(program != cells))
    print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
