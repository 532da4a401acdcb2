#!/usr/bin/python3
"""Write the desktop icons from the program's pot.

Writes into icons/ next to this script (or the folder given as argument):
  pantrio-<N>.png  N = 16, 32, 48, 64, 128, 256
  pantrio.svg      the scalable icon

The pixel art is enlarged by whole multiples only, so every size keeps the
hard edges of the original: 16 and 48 come from the 16-pixel pot, the others
from the 32-pixel one. Plain Python, no image library needed.
"""

import os
import struct
import sys
import zlib

from pot_art import INK, PALETTE16, POT16, POT32

HERE = os.path.dirname(os.path.abspath(__file__))
SIZES = {16: (POT16, 1), 32: (POT32, 1), 48: (POT16, 3), 64: (POT32, 2),
         128: (POT32, 4), 256: (POT32, 8)}


def colour(c):
    return None if c == "." else PALETTE16[INK[c]]


def write_png(rows, scale, path):
    n = len(rows) * scale
    raw = bytearray()
    for r in rows:
        line = bytearray(b"\0")  # filter: none
        for c in r:
            rgb = colour(c)
            px = bytes((0, 0, 0, 0)) if rgb is None else bytes(rgb) + b"\xff"
            line += px * scale
        raw += bytes(line) * scale
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    head = struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write_svg(rows, path):
    n = len(rows)
    rects = []
    for y, r in enumerate(rows):
        x = 0
        while x < n:
            c = r[x]
            run = 1
            while x + run < n and r[x + run] == c:
                run += 1
            if c != ".":
                red, green, blue = colour(c)
                rects.append(f'<rect x="{x}" y="{y}" width="{run}" height="1" '
                             f'fill="#{red:02x}{green:02x}{blue:02x}"/>')
            x += run
    with open(path, "w", encoding="ascii") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{n * 8}" height="{n * 8}" '
                f'viewBox="0 0 {n} {n}" shape-rendering="crispEdges">\n')
        f.write("\n".join(rects) + "\n</svg>\n")


def main():
    out = os.path.join(HERE, "icons") if len(sys.argv) < 2 else sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for size, (rows, scale) in SIZES.items():
        write_png(rows, scale, os.path.join(out, f"pantrio-{size}.png"))
    write_svg(POT32, os.path.join(out, "pantrio.svg"))


if __name__ == "__main__":
    main()
