#!/usr/bin/env python3
"""Draws Hourlink's program icon, hourlink.ico: a white clock face on a rounded
square of the About box's blue (RGB 60, 120, 204), with a green "online" lamp.

Standard library only. The .ico is checked in; run this to redraw it:
    python3 src/res/make_icon.py src/res/hourlink.ico
"""
import math
import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ beside the checked-in pictures
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from picture_files import render_shape, write_ico  # noqa: E402  (the writer beside this script)

SIZES = (16, 20, 24, 32, 40, 48, 64)
SAMPLES = 4  # supersampling per axis


def shape_colour(x, y):
    """Colour (r, g, b, a) at (x, y) in the unit square, y down."""
    # Green lamp, bottom right, with a white ring so it stands off the face.
    lx, ly, lr = 0.80, 0.80, 0.15
    d_lamp = math.hypot(x - lx, y - ly)
    if d_lamp <= lr:
        return (40, 200, 60, 255)
    if d_lamp <= lr + 0.05:
        return (255, 255, 255, 255)
    cx, cy = 0.47, 0.47
    d = math.hypot(x - cx, y - cy)
    if d <= 0.34:
        # Hands: hour towards 10 o'clock, minute towards 12.
        if on_segment(x, y, cx, cy, -150.0, 0.20, 0.055) or on_segment(x, y, cx, cy, -90.0, 0.27, 0.045):
            return (30, 50, 90, 255)
        if d <= 0.05:
            return (30, 50, 90, 255)
        return (255, 255, 255, 255)
    if d <= 0.39:
        return (30, 50, 90, 255)  # dark rim
    # Rounded square background.
    m, r = 0.03, 0.18
    qx = max(abs(x - 0.5) - (0.5 - m - r), 0.0)
    qy = max(abs(y - 0.5) - (0.5 - m - r), 0.0)
    if math.hypot(qx, qy) <= r:
        shade = 1.0 - 0.25 * y  # lighter at the top
        return (int(60 * shade + 40 * (1 - shade)), int(120 * shade + 70 * (1 - shade)), int(204 * shade + 120 * (1 - shade)), 255)
    return (0, 0, 0, 0)


def on_segment(x, y, cx, cy, angle_deg, length, half_width):
    a = math.radians(angle_deg)
    dx, dy = math.cos(a), math.sin(a)
    t = (x - cx) * dx + (y - cy) * dy
    if t < 0 or t > length:
        return False
    return abs(-(x - cx) * dy + (y - cy) * dx) <= half_width


def render(size):
    return render_shape(size, shape_colour, SAMPLES)


def main(path):
    write_ico(path, [render(s) for s in SIZES])


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "hourlink.ico")
