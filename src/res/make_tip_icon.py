#!/usr/bin/env python3
"""Draws tip.ico, the icon beside the title of a button's formatted tooltip:
a lit yellow bulb with a grey screw base, 32 x 32.

Standard library only. The .ico is checked in; run this to redraw it:
    python3 src/res/make_tip_icon.py src/res/tip.ico
"""
import math
import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ beside the checked-in pictures
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from picture_files import render_shape, write_ico  # noqa: E402  (the writer beside this script)

SIZE = 32  # one size: the tooltip shows the icon as it is
SAMPLES = 4  # supersampling per axis


def shape_colour(x, y):
    """Colour (r, g, b, a) at (x, y) in the unit square, y down."""
    # The glass: a circle narrowing into a neck above the base.
    cx, cy, r = 0.5, 0.38, 0.30
    d = math.hypot(x - cx, y - cy)
    neck_top, neck_bottom = 0.58, 0.74
    in_neck = neck_top <= y <= neck_bottom and abs(x - cx) <= 0.17 - 0.05 * (y - neck_top) / (neck_bottom - neck_top)
    if d <= r or in_neck:
        edge = d > r - 0.045 and not in_neck or (in_neck and abs(x - cx) > 0.12 - 0.05 * (y - neck_top) / (neck_bottom - neck_top))
        if edge:
            return (170, 120, 0, 255)  # dark amber rim
        # Lit from the upper left: a white highlight fading into yellow.
        hl = max(0.0, 1.0 - math.hypot(x - 0.40, y - 0.28) / 0.22)
        return (255, int(214 + 41 * hl), int(40 + 215 * hl), 255)
    # The screw base: three grey bands and a dark tip.
    if 0.74 < y <= 0.88 and abs(x - cx) <= 0.12:
        band = int((y - 0.74) / 0.047)
        return (150, 150, 160, 255) if band % 2 == 0 else (100, 100, 112, 255)
    if 0.88 < y <= 0.94 and abs(x - cx) <= 0.06:
        return (60, 60, 70, 255)
    # Rays around the glass.
    for angle in (-150, -120, -90, -60, -30):
        a = math.radians(angle)
        t = (x - cx) * math.cos(a) + (y - cy) * math.sin(a)
        n = abs(-(x - cx) * math.sin(a) + (y - cy) * math.cos(a))
        if r + 0.06 <= t <= r + 0.15 and n <= 0.025:
            return (240, 160, 0, 255)
    return (0, 0, 0, 0)


def render(size):
    return render_shape(size, shape_colour, SAMPLES)


def main(path):
    write_ico(path, [render(SIZE)])


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "tip.ico")
