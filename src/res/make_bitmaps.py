#!/usr/bin/env python3
"""Draws the month bar's button strip and the tray's traffic-light icons.

  toolbar.bmp  seven 16 x 16 pictures side by side, 24-bit, magenta where
               transparent: connect, edit, options, hang up, sum, report, about
  toolbar_20.bmp, toolbar_24.bmp, toolbar_32.bmp
               the same strip drawn at 20, 24 and 32 pixels for screens of
               more than 96 DPI
  offline.ico  a traffic light with the red lamp lit (16, 20, 24, 32, 48 px)
  online.ico   the same light with the green lamp lit

Standard library only. The files are checked in; run this to redraw them:
    python3 src/res/make_bitmaps.py src/res
"""
import math
import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ beside the checked-in pictures
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from picture_files import circle, polygon, ring, side_by_side, write_bmp24, write_ico  # noqa: E402  (the writer beside this script)

SAMPLES = 4  # supersampling per axis
MAGENTA = (255, 0, 255)
ICON_SIZES = (16, 20, 24, 32, 48)
STRIP_SIZES = (20, 24, 32)  # besides 16

# --- shapes: functions of (x, y) in the unit square, y down, true when inside ---


def rect(x0, y0, x1, y1, radius=0.0):
    def inside(x, y):
        qx = max(abs(x - (x0 + x1) / 2) - ((x1 - x0) / 2 - radius), 0.0)
        qy = max(abs(y - (y0 + y1) / 2) - ((y1 - y0) / 2 - radius), 0.0)
        if abs(x - (x0 + x1) / 2) > (x1 - x0) / 2 or abs(y - (y0 + y1) / 2) > (y1 - y0) / 2:
            return False
        return math.hypot(qx, qy) <= radius if radius > 0 else True

    return inside


def segment(ax, ay, bx, by, half_width):
    """A stroke with round ends from a to b."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= half_width

    return inside


def rounded_outline(x0, y0, x1, y1, radius, width):
    outer = rect(x0, y0, x1, y1, radius)
    inner = rect(x0 + width, y0 + width, x1 - width, y1 - width, max(radius - width, 0.0))
    return lambda x, y: outer(x, y) and not inner(x, y)


def gear(cx, cy, r_root, r_tip, teeth, hole):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if d < hole:
            return False
        angle = math.atan2(y - cy, x - cx) * teeth / (2 * math.pi)
        tooth = (angle - math.floor(angle)) < 0.5
        return d <= (r_tip if tooth else r_root)

    return inside


# --- the pictures: layers (shape, colour), later layers on top ---

DARK = (40, 40, 40)
BLUE = (40, 90, 190)
WHITE = (255, 255, 255)


def rotated(shape, degrees, cx=0.5, cy=0.5):
    """`shape` turned by `degrees` (clockwise on screen) around (cx, cy)."""
    a = math.radians(-degrees)
    ca, sa = math.cos(a), math.sin(a)
    return lambda x, y: shape(cx + (x - cx) * ca - (y - cy) * sa, cy + (x - cx) * sa + (y - cy) * ca)


def handset(degrees):
    """A telephone handset, arched upwards when not turned, centred on the square."""
    cx, cy = 0.5, 0.64
    arch = ring(cx, cy, 0.34, 0.22)
    body = lambda x, y: y <= cy and arch(x, y)
    ear = rect(0.12, 0.56, 0.38, 0.76, 0.07)
    mouth = rect(0.62, 0.56, 0.88, 0.76, 0.07)
    whole = lambda x, y: body(x, y) or ear(x, y) or mouth(x, y)
    return rotated(whole, degrees)


def picture_connect():
    # The green call button of a telephone: a lifted handset.
    return [
        (circle(0.5, 0.5, 0.49), (20, 120, 40)),
        (circle(0.5, 0.5, 0.43), (50, 180, 70)),
        (handset(-35), WHITE),
    ]


def picture_edit():
    # A pencil across a sheet of paper.
    return [
        (rect(0.10, 0.04, 0.74, 0.94), (120, 120, 120)),
        (rect(0.16, 0.10, 0.68, 0.88), WHITE),
        (rect(0.24, 0.22, 0.58, 0.28), (150, 170, 210)),
        (rect(0.24, 0.40, 0.58, 0.46), (150, 170, 210)),
        (segment(0.88, 0.12, 0.40, 0.60, 0.12), (150, 100, 20)),
        (segment(0.88, 0.12, 0.42, 0.58, 0.08), (250, 200, 40)),
        (segment(0.92, 0.08, 0.82, 0.18, 0.10), (230, 120, 140)),
        (polygon((0.30, 0.52), (0.46, 0.68), (0.24, 0.76)), (235, 200, 150)),
        (polygon((0.24, 0.66), (0.32, 0.72), (0.22, 0.78)), DARK),
    ]


def picture_options():
    # A gear wheel.
    return [
        (gear(0.5, 0.5, 0.36, 0.48, 8, 0.0), (70, 80, 100)),
        (gear(0.5, 0.5, 0.30, 0.42, 8, 0.0), (150, 160, 185)),
        (circle(0.5, 0.5, 0.17), (70, 80, 100)),
        (circle(0.5, 0.5, 0.10), MAGENTA),
    ]


def picture_hang_up():
    # The red end-call button: the handset laid down.
    return [
        (circle(0.5, 0.5, 0.49), (150, 20, 20)),
        (circle(0.5, 0.5, 0.43), (220, 50, 40)),
        (handset(0), WHITE),
    ]


def picture_sum():
    # A sigma on a small clock face: the sum of the times.
    return [
        (circle(0.5, 0.5, 0.48), BLUE),
        (circle(0.5, 0.5, 0.40), WHITE),
        (segment(0.32, 0.28, 0.68, 0.28, 0.055), BLUE),
        (segment(0.32, 0.72, 0.68, 0.72, 0.055), BLUE),
        (segment(0.32, 0.28, 0.54, 0.50, 0.055), BLUE),
        (segment(0.54, 0.50, 0.32, 0.72, 0.055), BLUE),
    ]


def picture_report():
    # A page with a folded corner, a title bar and lines: the printed report.
    page = polygon((0.14, 0.02), (0.64, 0.02), (0.88, 0.26), (0.88, 0.98), (0.14, 0.98))
    inner = polygon((0.20, 0.08), (0.60, 0.08), (0.82, 0.30), (0.82, 0.92), (0.20, 0.92))
    return [
        (page, (100, 100, 100)),
        (inner, WHITE),
        (polygon((0.60, 0.02), (0.60, 0.30), (0.88, 0.30)), (100, 100, 100)),
        (polygon((0.64, 0.08), (0.64, 0.26), (0.82, 0.26)), (220, 220, 220)),
        (rect(0.26, 0.16, 0.54, 0.26), (230, 120, 30)),
        (rect(0.26, 0.40, 0.76, 0.46), BLUE),
        (rect(0.26, 0.56, 0.76, 0.62), BLUE),
        (rect(0.26, 0.72, 0.64, 0.78), BLUE),
    ]


def picture_about():
    # The blue "i" of an information sign.
    return [
        (circle(0.5, 0.5, 0.48), (30, 70, 160)),
        (circle(0.5, 0.5, 0.42), (60, 120, 204)),
        (circle(0.5, 0.27, 0.085), WHITE),
        (rect(0.42, 0.42, 0.58, 0.78, 0.03), WHITE),
    ]


TOOLBAR = (picture_connect, picture_edit, picture_options, picture_hang_up, picture_sum,
           picture_report, picture_about)


def render_masked(layers, size):
    """Rows top-down of RGB pixels; a pixel less than half covered is magenta."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc, covered = [0, 0, 0], 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for shape, c in layers:
                        if shape(x, y):
                            colour = c
                    if colour is not None and colour != MAGENTA:
                        covered += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if covered * 2 < SAMPLES * SAMPLES:
                row.append(MAGENTA)
            else:
                row.append(tuple(round(a / covered) for a in acc))
        rows.append(row)
    return rows


def toolbar_strip(size=16):
    return side_by_side([render_masked(p(), size) for p in TOOLBAR])


# --- the traffic light ---


def traffic_light(lit):
    """Layers of a traffic light whose lamp `lit` (0 red, 2 green) is on."""
    on = [(255, 40, 30), (255, 190, 0), (40, 230, 60)]
    off = [(90, 25, 25), (90, 70, 15), (20, 80, 30)]
    layers = [
        (rect(0.20, 0.00, 0.80, 1.00, 0.16), (25, 25, 30)),
        (rect(0.25, 0.04, 0.75, 0.96, 0.12), (60, 62, 70)),
    ]
    for i, cy in enumerate((0.19, 0.50, 0.81)):
        if i == lit:
            layers.append((circle(0.5, cy, 0.16), on[i]))
            layers.append((circle(0.45, cy - 0.05, 0.05), (255, 255, 230)))
        else:
            layers.append((circle(0.5, cy, 0.14), off[i]))
    return layers


def render_alpha(layers, size):
    """Rows top-down of BGRA pixels with coverage as alpha."""
    rows = []
    n = SAMPLES * SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            acc, covered = [0, 0, 0], 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for shape, c in layers:
                        if shape(x, y):
                            colour = c
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                r, g, b = (round(a / covered) for a in acc)
                row.append((b, g, r, round(255 * covered / n)))
        rows.append(row)
    return rows


def main(directory):
    write_bmp24(os.path.join(directory, "toolbar.bmp"), toolbar_strip())
    for size in STRIP_SIZES:
        write_bmp24(os.path.join(directory, "toolbar_%d.bmp" % size), toolbar_strip(size))
    for name, lit in (("offline.ico", 0), ("online.ico", 2)):
        write_ico(os.path.join(directory, name), [render_alpha(traffic_light(lit), s) for s in ICON_SIZES])


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
