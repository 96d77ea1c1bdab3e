#!/usr/bin/env python3
"""Writes the PAM images of the Windows/Linux comparison (tests/windows/data/) from the example
photographs. Run once by hand; the files are committed. Standard library only.

photo8.pam     chelsea.png, 160 x 120 from (150, 60), 8-bit RGB.
photo16a.pam   coffee.png, 96 x 72 from (250, 150), 16-bit RGBA: each sample v * 257 plus a
               deterministic offset below 257 (so the low byte carries data), alpha a diagonal
               ramp with a fully transparent and a fully opaque corner.
mask.pam       160 x 120 grey 8-bit selection: a soft-edged ellipse inside the picture.
"""
import struct
import sys
import zlib
from pathlib import Path


def read_png_rgb8(path):
    data = Path(path).read_bytes()
    pos, idat = 8, b""
    width = height = 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour == 2 and interlace == 0, "8-bit RGB, not interlaced"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, rows, prev = zlib.decompress(idat), width * 3, [], bytearray(width * 3)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b, c = prev[i], prev[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return width, height, rows


def write_pam(path, width, height, channels, maxval, samples):
    kinds = ["GRAYSCALE", "GRAYSCALE_ALPHA", "RGB", "RGB_ALPHA"]
    header = "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL %d\nTUPLTYPE %s\nENDHDR\n" % (
        width, height, channels, maxval, kinds[channels - 1])
    body = bytes(samples) if maxval == 255 else b"".join(struct.pack(">H", v) for v in samples)
    Path(path).write_bytes(header.encode() + body)


def main():
    root = Path(__file__).resolve().parents[2]
    out = root / "tests/windows/data"
    _, _, rows = read_png_rgb8(root / "examples/chelsea.png")
    samples = [rows[60 + y][3 * (150 + x) + c] for y in range(120) for x in range(160) for c in range(3)]
    write_pam(out / "photo8.pam", 160, 120, 3, 255, samples)

    _, _, rows = read_png_rgb8(root / "examples/coffee.png")
    samples = []
    for y in range(72):
        for x in range(96):
            for c in range(3):
                v = rows[150 + y][3 * (250 + x) + c]
                samples.append(min(65535, v * 257 + (x * 37 + y * 91 + c * 53) % 257))
            samples.append(max(0, min(65535, (x + y - 20) * 65535 // 120)))
    write_pam(out / "photo16a.pam", 96, 72, 4, 65535, samples)

    mask = []
    for y in range(120):
        for x in range(160):
            d = ((x - 85) / 55.0) ** 2 + ((y - 55) / 40.0) ** 2
            mask.append(255 if d < 0.8 else 0 if d > 1.0 else int((1.0 - d) / 0.2 * 255))
    write_pam(out / "mask.pam", 160, 120, 1, 255, mask)
    return 0


if __name__ == "__main__":
    sys.exit(main())
