"""Writes the pictures drawn by make_icon.py, make_bitmaps.py and
make_history_images.py: 24-bit .bmp files and 32-bit .ico files.

Standard library only; the scripts import it from their own directory.
"""
import math
import struct


def write_bmp24(path, rows):
    """A 24-bit bottom-up .bmp of `rows`, top-down rows of (r, g, b) pixels."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + bytes(stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def side_by_side(pictures):
    """Rows of equally tall pictures placed left to right."""
    return [sum((list(picture[y]) for picture in pictures), []) for y in range(len(pictures[0]))]


def icon_image(rows):
    """A 32-bit icon image of top-down rows of (b, g, r, a) pixels:
    BITMAPINFOHEADER, XOR pixels bottom-up, AND mask (set where a is 0)."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(c for p in row for c in p) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def write_ico(path, pictures):
    """An .ico of square pictures, each top-down rows of (b, g, r, a) pixels."""
    images = [icon_image(rows) for rows in pictures]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for rows, data in zip(pictures, images):
        size = len(rows)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def render_shape(size, shape_colour, samples):
    """Rows top-down of (b, g, r, a) pixels of a shape given by
    shape_colour(x, y) -> (r, g, b, a) over the unit square, each pixel the
    alpha-weighted mean of samples x samples points."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    r, g, b, a = shape_colour((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (samples * samples)
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[2] / acc[3]), round(acc[1] / acc[3]), round(acc[0] / acc[3]), round(alpha)))
        rows.append(row)
    return rows


# Shapes over the unit square: each is a function (x, y) -> bool.
def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) <= r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in <= math.hypot(x - cx, y - cy) <= r_out


def polygon(*points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                result = not result
        return result

    return inside
