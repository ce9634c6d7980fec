#!/usr/bin/env python3
"""Draws the application icon and writes ZVKLaunchwick.ico (48, 32, 24 and 16 pixels, each at 8, 24 and
32 bits per pixel, each image PNG-compressed). Standard library only; run it again after changing the
drawing:

    python3 make_icon.py [--preview preview.png]

The design matches the splash window: a dark blue-grey tile, three green bars that start one after
another like the programs of a sequence, and an amber spark where the next one is lit.
"""

import argparse
import os
import struct
import zlib

SIZES = (48, 32, 24, 16)
DEPTHS = (8, 24, 32)

TILE_TOP = (74, 92, 118)
TILE_BOTTOM = (20, 26, 38)
BAR = (0, 192, 0)
BAR_EDGE = (120, 230, 120)
SPARK = (240, 160, 48)


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


# Bars as (left, top, right, bottom) in units of the icon's side: each one longer than the one above.
BARS = ((0.17, 0.30, 0.47, 0.43), (0.17, 0.50, 0.63, 0.63), (0.17, 0.70, 0.83, 0.83))
SPARK_CENTRE = (0.70, 0.36)
SPARK_RADIUS = 0.11


def sample(x, y):
    """Colour (r, g, b) and coverage (0 or 1) of the design at a point of the unit square."""
    if not in_rounded_rect(x, y, 0.02, 0.02, 0.98, 0.98, 0.2):
        return (0, 0, 0), 0
    colour = lerp(TILE_TOP, TILE_BOTTOM, y)
    for left, top, right, bottom in BARS:
        if in_rounded_rect(x, y, left, top, right, bottom, 0.03):
            # A lighter top edge gives the bars some depth at the larger sizes.
            colour = BAR_EDGE if y < top + 0.035 else BAR
    sx, sy = SPARK_CENTRE
    if (x - sx) ** 2 + (y - sy) ** 2 <= SPARK_RADIUS ** 2:
        colour = SPARK
    return colour, 1


def render(size, samples=8):
    """Rows of (r, g, b, a), top row first, antialiased by supersampling."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    colour, hit = sample((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    if hit:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered:
                rgb = tuple(int(round(c / covered)) for c in total)
                alpha = int(round(255 * covered / (samples * samples)))
            else:
                rgb, alpha = (0, 0, 0), 0
            row.append(rgb + (alpha,))
        rows.append(row)
    return rows


def opaque(rows):
    """Without an alpha channel a pixel is either drawn or masked out."""
    return [[(r, g, b, 255) if a >= 128 else (0, 0, 0, 0) for r, g, b, a in row] for row in rows]


def palette_of(rows):
    """At most 256 colours: the image's own, with fewer bits per channel until they fit."""
    for drop in range(8):
        mask = (0xFF << drop) & 0xFF
        colours = sorted({(r & mask, g & mask, b & mask) for row in rows for r, g, b, a in row if a})
        if len(colours) <= 255:
            return [(0, 0, 0)] + colours, mask
    raise ValueError("cannot reduce the palette")


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def filtered(line, previous, kind, step):
    """One row under PNG filter kind 0-4 (none, sub, up, average, paeth), its filter byte first."""
    out = bytearray((kind,))
    for i, value in enumerate(line):
        a = line[i - step] if i >= step else 0
        b = previous[i]
        c = previous[i - step] if i >= step else 0
        predicted = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
        out.append((value - predicted) & 0xFF)
    return bytes(out)


def png(lines, width, colour_type, step, chunks=b""):
    """A PNG of 8-bit samples from rows of bytes, top row first. The rows go through each filter kind, and
    the smallest of one kind for all rows and the least-sum kind per row is kept. No time or text chunks
    and a fixed zlib level: the same drawing gives the same bytes, as a reproducible release needs."""
    previous = [bytes(len(lines[0]))] + lines[:-1]
    rows = [[filtered(line, above, kind, step) for kind in range(5)] for line, above in zip(lines, previous)]
    least = [min(row, key=lambda r: sum(v if v < 128 else 256 - v for v in r[1:])) for row in rows]
    choices = [[row[kind] for row in rows] for kind in range(5)] + [least]
    data = min((zlib.compress(b"".join(choice), 9) for choice in choices), key=len)
    header = struct.pack(">IIBBBBB", width, len(lines), 8, colour_type, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunks + chunk(b"IDAT", data) + chunk(b"IEND", b"")


def rgba(rows):
    return [bytes(v for pixel in row for v in pixel) for row in rows]


def icon_image(rows, depth):
    """One image of the icon as PNG, which Windows reads in icons since Vista: 8 bits per pixel as a
    palette with index 0 transparent, 24 and 32 as RGBA. A 24-bit image has no partial alpha: each pixel
    is drawn or masked out, as under the AND mask of an uncompressed image. (RGB with a transparent
    colour would be smaller, but Wine draws that colour black.)"""
    size = len(rows)
    if depth != 8:
        return png(rgba(rows if depth == 32 else opaque(rows)), size, 6, 4)
    rows = opaque(rows)
    colours, mask = palette_of(rows)
    index = {c: i for i, c in enumerate(colours)}
    lines = [bytes(index[(r & mask, g & mask, b & mask)] if a else 0 for r, g, b, a in row) for row in rows]
    palette = b"".join(bytes(colour) for colour in colours)
    return png(lines, size, 3, 1, chunk(b"PLTE", palette) + chunk(b"tRNS", b"\0"))


def icon_file(images):
    """ICONDIR, one ICONDIRENTRY per image, then the images."""
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    body = b""
    for size, depth, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, depth, len(data), offset + len(body))
        body += data
    return directory + body


def scaled(rows, factor):
    return [[pixel for pixel in row for _ in range(factor)] for row in rows for _ in range(factor)]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default=os.path.join(here, "ZVKLaunchwick.ico"))
    parser.add_argument("--preview", help="also write the 48-pixel image, enlarged four times, as PNG")
    args = parser.parse_args()

    renderings = {size: render(size) for size in SIZES}
    images = [(size, depth, icon_image(renderings[size], depth)) for size in SIZES for depth in DEPTHS]
    with open(args.output, "wb") as out:
        out.write(icon_file(images))
    if args.preview:
        with open(args.preview, "wb") as out:
            out.write(png(rgba(scaled(renderings[48], 4)), 48 * 4, 6, 4))


if __name__ == "__main__":
    main()
