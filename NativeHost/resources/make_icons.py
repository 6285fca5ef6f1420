#!/usr/bin/env python3
"""Draws the two tray and window icons as .ico files (16, 24, 32 and 48 px, 32-bit with alpha).

macros-on.ico  (resource 1): a green rounded key with a white play triangle.
macros-off.ico (resource 2): a grey rounded key with two white pause bars.

Run from any directory; the icons are written beside this script.
"""
import os
import struct

SIZES = (16, 24, 32, 48)
SUBSAMPLES = 4


def rounded_square(x, y, radius):
    """Inside test of the unit square [0, 1] with rounded corners."""
    if not (0.0 <= x <= 1.0 and 0.0 <= y <= 1.0):
        return False
    cx = min(max(x, radius), 1.0 - radius)
    cy = min(max(y, radius), 1.0 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def play_triangle(x, y):
    # Pointing right, centred slightly right of the middle so it looks balanced.
    left, right, top, bottom = 0.34, 0.74, 0.25, 0.75
    if x < left or x > right:
        return False
    half = (bottom - top) / 2 * (right - x) / (right - left)
    return abs(y - 0.5) <= half


def pause_bars(x, y):
    if y < 0.26 or y > 0.74:
        return False
    return 0.29 <= x <= 0.43 or 0.57 <= x <= 0.71


def render(size, fill, glyph):
    """Rows of BGRA pixels, top row first."""
    rows = []
    inset = 0.5 / size  # keep the key's edge inside the outermost pixels
    for py in range(size):
        row = []
        for px in range(size):
            body = mark = 0
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    x = (px + (sx + 0.5) / SUBSAMPLES) / size
                    y = (py + (sy + 0.5) / SUBSAMPLES) / size
                    ux = (x - inset) / (1 - 2 * inset)
                    uy = (y - inset) / (1 - 2 * inset)
                    if rounded_square(ux, uy, 0.22):
                        body += 1
                        if glyph(x, y):
                            mark += 1
            total = SUBSAMPLES * SUBSAMPLES
            alpha = body / total
            white = mark / body if body else 0.0
            r, g, b = (round(c + (255 - c) * white) for c in fill)
            row.append((b, g, r, round(alpha * 255)))
        rows.append(row)
    return rows


def icon_image(size, fill, glyph):
    rows = render(size, fill, glyph)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(channel for pixel in row for channel in pixel) for row in reversed(rows))
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # transparency comes from the alpha channel
    return header + pixels + mask


def write_icon(path, fill, glyph):
    images = [icon_image(size, fill, glyph) for size in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, image in zip(SIZES, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as out:
        out.write(directory + entries + b"".join(images))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_icon(os.path.join(here, "macros-on.ico"), (0x1F, 0x9D, 0x55), play_triangle)
    write_icon(os.path.join(here, "macros-off.ico"), (0x6B, 0x72, 0x80), pause_bars)


if __name__ == "__main__":
    main()
