#!/usr/bin/env python3
"""Draws the installer's welcome and finish page picture, wizard.bmp (164 x 314,
the size those pages show): the program's clock on a panel of the About box's
blue, darker towards the bottom.

Standard library only. The .bmp is checked in; run this to redraw it:
    python3 installer/make_wizard_bitmap.py installer/wizard.bmp
"""
import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ beside the checked-in pictures
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "res"))
from make_icon import render  # noqa: E402  (the program icon's drawing)
from picture_files import write_bmp24  # noqa: E402

WIDTH, HEIGHT = 164, 314
CLOCK = 96
TOP = (60, 120, 204)
BOTTOM = (30, 60, 120)


def panel(y):
    t = y / (HEIGHT - 1)
    return tuple(round(a + (b - a) * t) for a, b in zip(TOP, BOTTOM))


def main(path):
    rows = [[panel(y)] * WIDTH for y in range(HEIGHT)]
    clock = render(CLOCK)  # rows of (b, g, r, a)
    left, top = (WIDTH - CLOCK) // 2, 48
    for cy, line in enumerate(clock):
        row = list(rows[top + cy])
        for cx, (b, g, r, a) in enumerate(line):
            under = row[left + cx]
            row[left + cx] = tuple(round((c * a + u * (255 - a)) / 255) for c, u in zip((r, g, b), under))
        rows[top + cy] = row
    write_bmp24(path, rows)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "wizard.bmp")
