#!/usr/bin/env python3
"""Screenshots of the window test: an X window dump (xwd -root) as a PNG file, and counts of
pixels in a rectangle, with nothing beyond Python's standard library.

  xwd_shot.py png DUMP PNG                 writes the PNG
  xwd_shot.py count DUMP X Y W H COLOUR    prints how many pixels of the rectangle are near
                                           COLOUR (RRGGBB; each channel within 40)
  xwd_shot.py window DUMP X Y W H PNG      writes the rectangle alone as a PNG
"""
import struct
import sys
import zlib


def read_dump(path):
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, _, _, depth, width, height = header[:6]
    byte_order, bits_per_pixel, bytes_per_line = header[7], header[11], header[12]
    ncolors = header[19]
    if bits_per_pixel not in (24, 32):
        raise SystemExit("xwd_shot: %d bits a pixel is not handled" % bits_per_pixel)
    start = header_size + 12 * ncolors
    step = bits_per_pixel // 8
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + width * step]
        row = bytearray(width * 3)
        for x in range(width):
            p = line[x * step:x * step + step]
            # Least significant byte first (byte order 0): blue, green, red.
            b, g, r = (p[0], p[1], p[2]) if byte_order == 0 else (p[-1], p[-2], p[-3])
            row[3 * x:3 * x + 3] = bytes((r, g, b))
        rows.append(row)
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + bytes(r) for r in rows)
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
    open(path, "wb").write(png)


def main():
    mode, dump = sys.argv[1], sys.argv[2]
    width, height, rows = read_dump(dump)
    if mode == "png":
        write_png(sys.argv[3], width, height, rows)
        return
    x, y, w, h = (int(v) for v in sys.argv[3:7])
    x0, y0, x1, y1 = max(x, 0), max(y, 0), min(x + w, width), min(y + h, height)
    if mode == "window":
        write_png(sys.argv[7], x1 - x0, y1 - y0, [r[3 * x0:3 * x1] for r in rows[y0:y1]])
        return
    want = bytes.fromhex(sys.argv[7])
    count = 0
    for row in rows[y0:y1]:
        for px in range(x0, x1):
            if all(abs(row[3 * px + c] - want[c]) <= 40 for c in range(3)):
                count += 1
    print(count)


main()
