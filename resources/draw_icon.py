#!/usr/bin/env python3
"""Draws the application icon, a shield with a keyhole, and writes it as a Windows .ico file.

The icon holds six 32-bit images: 256 pixels square stored as PNG, and 128, 64, 48, 32 and 16
pixels square stored as bottom-up BGRA device-independent bitmaps with their AND masks.
Only the standard library is used, so the build needs nothing but python3.

Usage: draw_icon.py OUTPUT.ico
"""

import math
import struct
import sys
import zlib

SIZES = (256, 128, 64, 48, 32, 16)
PNG_SIZES = (256,)
SUPERSAMPLES = 4  # per axis, for smooth edges

SHIELD_TOP = (30, 96, 200)
SHIELD_BOTTOM = (14, 52, 128)
RIM = (214, 228, 245)
KEYHOLE = (255, 255, 255)


def shield_half_width(y, top=0.06, tip=0.95, half=0.40):
    """Half the shield's width at height y (0 top, 1 bottom), or None outside it."""
    shoulder = 0.50
    if y < top or y > tip:
        return None
    if y <= shoulder:
        return half
    # The lower half narrows along a quarter ellipse down to the tip.
    t = (y - shoulder) / (tip - shoulder)
    return half * math.sqrt(max(0.0, 1.0 - t * t))


def in_shield(x, y, inset=0.0):
    """Whether the point lies in the shield, or in the shield shrunk by `inset` on every side."""
    half = shield_half_width(y, top=0.06 + inset, tip=0.95 - 1.6 * inset, half=0.40 - inset)
    return half is not None and abs(x - 0.5) <= half


def in_keyhole(x, y):
    cx, cy, radius = 0.5, 0.42, 0.095
    if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius:
        return True
    if cy <= y <= 0.70:
        t = (y - cy) / (0.70 - cy)
        return abs(x - cx) <= 0.040 + 0.030 * t
    return False


def sample(x, y):
    """The colour at a point of the unit square, or None where the icon is transparent."""
    if not in_shield(x, y):
        return None
    if not in_shield(x, y, inset=0.045):
        return RIM
    if in_keyhole(x, y):
        return KEYHOLE
    t = min(1.0, max(0.0, y))
    return tuple(round(a + (b - a) * t) for a, b in zip(SHIELD_TOP, SHIELD_BOTTOM))


def render(size):
    """Rows of (r, g, b, a) pixels, top row first, with edges smoothed by supersampling."""
    rows = []
    step = 1.0 / (size * SUPERSAMPLES)
    for py in range(size):
        row = []
        for px in range(size):
            covered, totals = 0, [0, 0, 0]
            for sy in range(SUPERSAMPLES):
                for sx in range(SUPERSAMPLES):
                    colour = sample((px * SUPERSAMPLES + sx + 0.5) * step,
                                    (py * SUPERSAMPLES + sy + 0.5) * step)
                    if colour is not None:
                        covered += 1
                        for channel in range(3):
                            totals[channel] += colour[channel]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                alpha = round(255 * covered / SUPERSAMPLES ** 2)
                row.append(tuple(round(total / covered) for total in totals) + (alpha,))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    # Filter type 0 before every row; 8 bits per channel, colour type 6 (RGBA).
    raw = b"".join(b"\x00" + bytes(channel for pixel in row for channel in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def dib(rows):
    size = len(rows)
    # The height counts the colour rows and the AND-mask rows together.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def icon_file(images):
    directory_size = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = directory_size
    for size, data in images:
        dimension = 0 if size >= 256 else size  # 0 stands for 256
        directory += struct.pack("<BBBBHHII", dimension, dimension, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + b"".join(data for _, data in images)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png(rows) if size in PNG_SIZES else dib(rows)))
    with open(sys.argv[1], "wb") as output:
        output.write(icon_file(images))


if __name__ == "__main__":
    main()
