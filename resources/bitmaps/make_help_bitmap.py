#!/usr/bin/env python3
"""Draws bitmap 1008, the picture of the help window, as an 8-bit BMP file.

A small version of the about box's picture on one line: a ring of twelve hue segments around a
grey disc and three tone bars beside it, on white (the help text is drawn on white). It heads
every help topic and may stand in a topic as a paragraph ")1008". Run it from this folder to
rewrite help1008.bmp; it borrows the palette writer and the smoothing of make_about_bitmap.py.
"""
import math

import make_about_bitmap as about

WIDTH, HEIGHT = 168, 40
CX, CY = 20.0, 20.0
R_OUTER, R_INNER, R_DISC = 18.0, 11.0, 8.0
GAP = math.radians(3.0)


def shape_at(x, y):
    dx, dy = x - CX, y - CY
    r = math.hypot(dx, dy)
    if R_INNER <= r <= R_OUTER:
        angle = (math.atan2(-dy, dx) + 2 * math.pi) % (2 * math.pi)
        segment = int(angle / (math.pi / 6))
        offset = angle - segment * math.pi / 6
        if GAP <= offset <= math.pi / 6 - GAP:
            return about.hue_colour(segment)
        return None
    if r <= R_DISC:
        return (128, 128, 128)
    for row, (lo, hi) in enumerate(((20, 90), (90, 170), (170, 240))):
        top = 6 + row * 10
        left, right, bottom = 48.0, 164.0, top + 7
        if left <= x <= right and top <= y <= bottom:
            level = round(lo + (hi - lo) * (x - left) / (right - left))
            return (level - level % 10,) * 3
    return None


if __name__ == "__main__":
    about.WIDTH, about.HEIGHT = WIDTH, HEIGHT
    about.shape_at = shape_at
    about.write_bmp("help1008.bmp", about.render())
