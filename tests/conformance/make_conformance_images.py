#!/usr/bin/env python3
"""Draws the image strip of the conformance tests and writes it beside this script.

    python3 tests/conformance/make_conformance_images.py

conformance_images.bmp  bitmap 960: three 16x16 images side by side (48x16, 24 bits per pixel), each a
                        square of one colour (red, green, blue) with a one-pixel magenta border.

Magenta (0xFF00FF) is the background an image list loaded with that mask colour takes as transparent.
Python 3 standard library only; the output is deterministic.
"""

import os
import struct

MAGENTA = 0xFF00FF
SQUARES = [0xFF0000, 0x00FF00, 0x0000FF]
SIZE = 16

HERE = os.path.dirname(os.path.abspath(__file__))


def pixel(x, y):
    """The colour at (x, y), row 0 at the top."""
    image, inner = divmod(x, SIZE)
    if inner in (0, SIZE - 1) or y in (0, SIZE - 1):
        return MAGENTA
    return SQUARES[image]


def bmp(width, height):
    """A bottom-up BI_RGB .bmp file of 24 bits per pixel, rows padded to four bytes."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = b"".join(struct.pack("<BBB", c & 0xFF, (c >> 8) & 0xFF, c >> 16)
                       for c in (pixel(x, y) for x in range(width)))
        rows.append(row + b"\0" * (stride - len(row)))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def main():
    with open(os.path.join(HERE, "conformance_images.bmp"), "wb") as out:
        out.write(bmp(len(SQUARES) * SIZE, SIZE))


if __name__ == "__main__":
    main()
