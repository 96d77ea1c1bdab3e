#!/usr/bin/env python3
"""Draws icons 1088 and 1089, the two view icons of the editing window, as 8-bit BMP files.

The window shows the icon of the view in force; a click switches to the other view.
- 1088, the combined view (the preview compares the image before all tools and after all
  tools): the four tools as four filled squares, in the colours of their tabs' themes (colour
  balance blue, levels grey, tone orange, hue green).
- 1089, the current-tool view (before and after the tool of the current tab only): the same
  four squares as outlines, the first one alone filled.
Both are 14 x 14 pixels on the dialog's default background (240, 240, 240). Run it from this
folder to rewrite view1088.bmp and view1089.bmp; it borrows the palette writer of
make_about_bitmap.py.
"""
import make_about_bitmap as about

SIZE = 14
BACKGROUND = (240, 240, 240)
FRAME = (64, 64, 64)
TOOLS = ((66, 118, 204), (120, 120, 120), (230, 146, 40), (56, 160, 80))
CELLS = ((1, 1), (8, 1), (1, 8), (8, 8))  # left, top of each 5 x 5 square


def render(filled):
    pixels = [[BACKGROUND] * SIZE for _ in range(SIZE)]
    for index, (left, top) in enumerate(CELLS):
        for y in range(top, top + 5):
            for x in range(left, left + 5):
                edge = x in (left, left + 4) or y in (top, top + 4)
                if edge:
                    pixels[y][x] = FRAME
                elif index in filled:
                    pixels[y][x] = TOOLS[index]
    return pixels


if __name__ == "__main__":
    about.WIDTH, about.HEIGHT = SIZE, SIZE
    about.write_bmp("view1088.bmp", render({0, 1, 2, 3}))
    about.write_bmp("view1089.bmp", render({0}))
