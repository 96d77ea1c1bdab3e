#!/usr/bin/env python3
"""Draws bitmap 1000, the upper picture of the about box, as an 8-bit BMP file.

A ring of twelve hue segments around a neutral grey disc, and beside it three tone bars from
shadow to highlight: the colour wheel and the tone controls the filter works with. Edges are
smoothed by 4 x 4 supersampling quantised to eight steps, which keeps the palette under 256
colours. Run it from this folder to rewrite about1000.bmp.
"""
import colorsys
import math
import struct

WIDTH, HEIGHT = 440, 220
BACKGROUND = (255, 255, 255)
LEVELS = 8  # smoothing steps between a shape's colour and what lies under it


def hue_colour(index):
    r, g, b = colorsys.hsv_to_rgb(index / 12.0, 0.78, 0.92)
    return (round(r * 255), round(g * 255), round(b * 255))


CX, CY = 112.0, 110.0
R_OUTER, R_INNER, R_DISC = 96.0, 60.0, 48.0
GAP = math.radians(1.6)  # white gap between hue segments, half on each side


def shape_at(x, y):
    """Colour of the shape covering point (x, y), or None for the background."""
    dx, dy = x - CX, y - CY
    r = math.hypot(dx, dy)
    if R_INNER <= r <= R_OUTER:
        angle = (math.atan2(-dy, dx) + 2 * math.pi) % (2 * math.pi)
        segment = int(angle / (math.pi / 6))
        offset = angle - segment * math.pi / 6
        if GAP <= offset <= math.pi / 6 - GAP:
            return hue_colour(segment)
        return None
    if r <= R_DISC:
        return (128, 128, 128)
    # Tone bars: shadows, midtones, highlights, each a rounded bar with a grey ramp.
    for row, (lo, hi) in enumerate(((20, 90), (90, 170), (170, 240))):
        top = 52 + row * 42
        left, right, bottom = 236.0, 416.0, top + 28
        radius = 8.0
        if left <= x <= right and top <= y <= bottom:
            cx = min(max(x, left + radius), right - radius)
            cy = min(max(y, top + radius), bottom - radius)
            if math.hypot(x - cx, y - cy) <= radius:
                t = (x - left) / (right - left)
                level = round(lo + (hi - lo) * t)
                level -= level % 10  # steps of 10 keep the palette small
                return (level, level, level)
    return None


def mix(fg, bg, level):
    return tuple(round(bg[i] + (fg[i] - bg[i]) * level / LEVELS) for i in range(3))


def render():
    pixels = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            counts = {}
            for sy in range(4):
                for sx in range(4):
                    c = shape_at(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)
                    if c is not None:
                        counts[c] = counts.get(c, 0) + 1
            if not counts:
                row.append(BACKGROUND)
                continue
            colour, n = max(counts.items(), key=lambda item: item[1])
            row.append(mix(colour, BACKGROUND, round(n * LEVELS / 16)))
        pixels.append(row)
    return pixels


def write_bmp(path, pixels):
    palette = sorted({c for row in pixels for c in row})
    if len(palette) > 256:
        raise SystemExit("too many colours: %d" % len(palette))
    index = {c: i for i, c in enumerate(palette)}
    row_bytes = (WIDTH + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):  # bottom row first
        line = bytes(index[c] for c in row)
        data += line + b"\0" * (row_bytes - WIDTH)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(data), 2835, 2835,
                       len(palette), 0)
    with open(path, "wb") as f:
        f.write(header + info + colours + data)


if __name__ == "__main__":
    write_bmp("about1000.bmp", render())
