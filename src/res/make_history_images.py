#!/usr/bin/env python3
"""Draws the image strip of the history list and the device tree.

  images_20.bmp, images_24.bmp, images_32.bmp: the same strip at 20, 24
  and 32 pixels for screens of more than 96 DPI.
  images.bmp  sixteen 16 x 16 pictures side by side, 24-bit, magenta where
              transparent. The history rows use 2 (a green smiling face: a
              session) and 3 (a red frowning face: a continued or recovered
              record); the device tree 0 (its dial-up group), 1 (its other
              groups), 2 (the entry online), 5 (an entry) and 9 (the root):
              0 telephone, 1 networked computers, 2 smiling face,
              3 frowning face, 4 globe, 5 green arrow, 6 network card,
              7 folder, 8 telephone, 9 clock and calendar, 10 infrared,
              11 parallel cable, 12 clock, 13 question mark, 14 check mark,
              15 cross

Standard library only. The file is checked in; run this to redraw it:
    python3 src/res/make_history_images.py src/res
"""
import math
import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ beside the checked-in pictures
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from picture_files import circle, polygon, ring, side_by_side, write_bmp24  # noqa: E402  (the writer beside this script)

SAMPLES = 4
SIZE = 16
STRIP_SIZES = (20, 24, 32)  # the same strip for screens of more than 96 DPI
MAGENTA = (255, 0, 255)


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def segment(ax, ay, bx, by, w):
    dx, dy = bx - ax, by - ay
    n = dx * dx + dy * dy

    def inside(x, y):
        t = 0.0 if n == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / n))
        return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= w

    return inside


def arc(cx, cy, r, w, a0, a1):
    """A stroke along a circle from angle a0 to a1 (degrees, y down)."""

    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        a = math.degrees(math.atan2(y - cy, x - cx)) % 360
        return abs(d - r) <= w and (a0 <= a <= a1 if a0 <= a1 else (a >= a0 or a <= a1))

    return inside


def face(colour, smile):
    dark = tuple(c // 3 for c in colour)
    mouth = arc(0.5, 0.42, 0.24, 0.045, 30, 150) if smile else arc(0.5, 0.86, 0.22, 0.045, 215, 325)
    return [
        (circle(0.5, 0.5, 0.47), dark),
        (circle(0.5, 0.5, 0.41), colour),
        (circle(0.36, 0.38, 0.065), (0, 0, 0)),
        (circle(0.64, 0.38, 0.065), (0, 0, 0)),
        (mouth, (0, 0, 0)),
    ]


BLACK = (0, 0, 0)
GREY = (128, 128, 128)
LIGHT = (200, 200, 200)
BLUE = (40, 90, 200)
GREEN = (40, 190, 60)
RED = (220, 40, 40)
YELLOW = (240, 200, 40)

PICTURES = [
    # 0 telephone: handset over a dial body
    [(rect(0.12, 0.16, 0.88, 0.3), BLACK), (rect(0.08, 0.16, 0.26, 0.42), BLACK),
     (rect(0.74, 0.16, 0.92, 0.42), BLACK), (polygon((0.3, 0.36), (0.7, 0.36), (0.9, 0.9), (0.1, 0.9)), RED),
     (circle(0.5, 0.64, 0.17), LIGHT), (circle(0.5, 0.64, 0.06), BLACK)],
    # 1 networked computers: two screens joined by a cable
    [(segment(0.27, 0.62, 0.27, 0.84, 0.04), BLACK), (segment(0.73, 0.62, 0.73, 0.84, 0.04), BLACK),
     (segment(0.27, 0.84, 0.73, 0.84, 0.04), BLACK),
     (rect(0.02, 0.1, 0.52, 0.52), GREY), (rect(0.07, 0.15, 0.47, 0.45), BLUE),
     (rect(0.48, 0.3, 0.98, 0.72), GREY), (rect(0.53, 0.35, 0.93, 0.65), BLUE),
     (rect(0.18, 0.52, 0.36, 0.6), GREY)],
    face(GREEN, True),
    face(RED, False),
    # 4 globe
    [(circle(0.5, 0.5, 0.44), BLUE), (ring(0.5, 0.5, 0.44, 0.38), (20, 50, 130)),
     (segment(0.08, 0.5, 0.92, 0.5, 0.035), LIGHT), (segment(0.5, 0.07, 0.5, 0.93, 0.035), LIGHT),
     (arc(0.5, 0.5, 0.22, 0.035, 0, 360), LIGHT)],
    # 5 green arrow, pointing right
    [(polygon((0.08, 0.36), (0.5, 0.36), (0.5, 0.12), (0.94, 0.5), (0.5, 0.88), (0.5, 0.64),
              (0.08, 0.64)), (20, 110, 30)),
     (polygon((0.14, 0.42), (0.56, 0.42), (0.56, 0.26), (0.85, 0.5), (0.56, 0.74), (0.56, 0.58),
              (0.14, 0.58)), GREEN)],
    # 6 network card
    [(rect(0.06, 0.25, 0.94, 0.7), GREEN), (rect(0.15, 0.7, 0.85, 0.82), YELLOW),
     (rect(0.2, 0.35, 0.45, 0.55), BLACK), (rect(0.58, 0.35, 0.82, 0.6), LIGHT)],
    # 7 folder
    [(rect(0.08, 0.2, 0.45, 0.32), YELLOW), (rect(0.08, 0.3, 0.92, 0.85), YELLOW),
     (rect(0.08, 0.3, 0.92, 0.36), (190, 150, 20))],
    # 8 telephone
    [(segment(0.2, 0.3, 0.8, 0.3, 0.1), BLACK), (rect(0.25, 0.45, 0.75, 0.88), GREY),
     (circle(0.5, 0.66, 0.12), LIGHT)],
    # 9 clock and calendar: a calendar page with a clock in front
    [(rect(0.04, 0.06, 0.7, 0.7), GREY), (rect(0.08, 0.1, 0.66, 0.66), (255, 255, 255)),
     (rect(0.08, 0.1, 0.66, 0.24), RED),
     (rect(0.16, 0.32, 0.24, 0.38), BLACK), (rect(0.32, 0.32, 0.4, 0.38), BLACK),
     (rect(0.48, 0.32, 0.56, 0.38), BLACK), (rect(0.16, 0.46, 0.24, 0.52), BLACK),
     (circle(0.66, 0.66, 0.32), BLACK), (circle(0.66, 0.66, 0.26), YELLOW),
     (segment(0.66, 0.66, 0.66, 0.48, 0.04), BLACK), (segment(0.66, 0.66, 0.8, 0.72, 0.04), BLACK)],
    # 10 infrared
    [(circle(0.2, 0.5, 0.12), RED), (arc(0.2, 0.5, 0.35, 0.04, 300, 60), RED),
     (arc(0.2, 0.5, 0.6, 0.04, 310, 50), RED)],
    # 11 parallel cable
    [(rect(0.1, 0.35, 0.6, 0.65), GREY), (rect(0.15, 0.42, 0.55, 0.58), LIGHT),
     (segment(0.6, 0.5, 0.95, 0.5, 0.07), BLACK)],
    # 12 clock
    [(circle(0.5, 0.5, 0.45), BLACK), (circle(0.5, 0.5, 0.38), (255, 255, 255)),
     (segment(0.5, 0.5, 0.5, 0.22, 0.05), BLACK), (segment(0.5, 0.5, 0.7, 0.6, 0.05), BLACK)],
    # 13 question mark
    [(arc(0.5, 0.33, 0.2, 0.07, 180, 90), BLUE), (segment(0.5, 0.53, 0.5, 0.65, 0.07), BLUE),
     (circle(0.5, 0.84, 0.08), BLUE)],
    # 14 check mark
    [(segment(0.15, 0.55, 0.4, 0.8, 0.09), GREEN), (segment(0.4, 0.8, 0.88, 0.2, 0.09), GREEN)],
    # 15 cross
    [(segment(0.2, 0.2, 0.8, 0.8, 0.09), RED), (segment(0.8, 0.2, 0.2, 0.8, 0.09), RED)],
]


def render(shapes, size=SIZE):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for inside, c in shapes:
                        if inside(x, y):
                            colour = c
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            acc[i] += colour[i]
            # Mostly uncovered pixels stay magenta so the mask stays crisp.
            if covered * 2 < SAMPLES * SAMPLES:
                row.append(MAGENTA)
            else:
                row.append(tuple(a // covered for a in acc))
        pixels.append(row)
    return pixels


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    assert len(PICTURES) == 16
    write_bmp24(os.path.join(out, "images.bmp"), side_by_side([render(p) for p in PICTURES]))
    for size in STRIP_SIZES:
        write_bmp24(os.path.join(out, "images_%d.bmp" % size),
                    side_by_side([render(p, size) for p in PICTURES]))


if __name__ == "__main__":
    main()
