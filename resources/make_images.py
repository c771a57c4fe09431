#!/usr/bin/env python3
"""Draws korun04's bitmaps and icon and writes them beside this script.

    python3 resources/make_images.py

printers_small.bmp  bitmap 116: eight 18x16 printer images side by side (144x16, 24 bits per pixel)
printers_large.bmp  bitmap 117: the same eight images at 32x32 (256x32, 24 bits per pixel)
row_states.bmp      bitmap 119: three 16x16 row images, pending, done, current (48x16, 4 bits per pixel)
korun04.ico         icon 1: a printer at 16x16 and 32x32, 32 bits per pixel with alpha

Image i of the printer strips shows the overlays of its bits: 1 the default printer (a check mark),
2 a printer on another machine (a network cable), 4 a printer masked by Pavane (a mask). Magenta
(0xFF00FF) is the background that the image lists take as transparent. Python 3 standard library only;
the output is deterministic, so running the script again changes nothing unless the drawing changes.
"""

import os
import struct

MAGENTA = 0xFF00FF
BLACK = 0x000000
WHITE = 0xFFFFFF
SILVER = 0xC0C0C0
GREY = 0x808080
DARK = 0x404040
GREEN = 0x008000
LIME = 0x00FF00
NAVY = 0x000080
BLUE = 0x0000FF
TEAL = 0x008080

# The standard 16-colour palette; index 13 is magenta.
VGA16 = [0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
         0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF]

HERE = os.path.dirname(os.path.abspath(__file__))


class Canvas:
    """Pixels as 0xRRGGBB, or None for a transparent pixel; row 0 at the top."""

    def __init__(self, width, height, background):
        self.width = width
        self.height = height
        self.pixels = [[background] * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle from (x0, y0) to (x1, y1), both corners included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            self.set(x, y0, colour)
            self.set(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.set(x0, y, colour)
            self.set(x1, y, colour)

    def box(self, x0, y0, x1, y1, fill, outline):
        self.fill(x0, y0, x1, y1, fill)
        self.frame(x0, y0, x1, y1, outline)

    def line(self, x0, y0, x1, y1, colour, width=1):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            for w in range(width):
                self.set(x0, y0 + w, colour)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, r, colour):
        """A filled circle around the pixel centre (cx, cy), which may lie between pixels."""
        for y in range(self.height):
            for x in range(self.width):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.set(x, y, colour)

    def paste(self, other, ox, oy):
        for y in range(other.height):
            for x in range(other.width):
                if other.pixels[y][x] is not None:
                    self.set(ox + x, oy + y, other.pixels[y][x])


def draw_printer(c, u, network):
    """A printer on a 16-unit grid scaled by u (1 or 2), on canvas c of 16u x 16u pixels.

    Outlines stay one pixel wide at every scale. With network the printer stands higher and a cable
    runs from its foot to the bottom edge."""
    lift = 3 if network else 1  # units kept free below the printer
    bottom = 16 * u - lift * u - 1
    # Paper in the feeder at the back.
    c.box(4 * u, 1 * u, 11 * u, 6 * u, WHITE, GREY)
    for row in range(2, 5):
        c.line(5 * u + 1, row * u + u // 2, 10 * u - 1, row * u + u // 2, SILVER)
    # Body.
    top = 5 * u
    c.box(1 * u, top, 15 * u - 1, bottom, SILVER, DARK)
    c.line(1 * u + 1, top + 1, 15 * u - 2, top + 1, WHITE)  # lit upper edge
    c.line(1 * u, bottom, 15 * u - 1, bottom, BLACK)
    # Output slot and the sheet coming out of it.
    slot = top + (bottom - top) // 2
    c.line(3 * u, slot, 13 * u - 1, slot, BLACK)
    c.box(4 * u, slot + 1, 11 * u, bottom - u // 2 - 1 if u > 1 else slot + 2, WHITE, GREY)
    # Power light.
    c.fill(13 * u - u, top + 2, 13 * u + (u - 1), top + 2 + (u - 1), LIME)
    if network:
        mid = 8 * u
        c.fill(mid - (u > 1), bottom + 1, mid, 16 * u - 2, NAVY)
        c.fill(1 * u, 16 * u - 1 - (u > 1), 15 * u - 1, 16 * u - 1, NAVY)
        c.fill(mid - u, 16 * u - 2 - u, mid + u - (u == 1), 16 * u - 2 - (u > 1), TEAL)  # connector


def draw_check(c, u):
    """The default printer's check mark at the lower left: green, edged in black."""
    y = 16 * u - 10 * u if u > 1 else 6
    pts = [(0, y + 3 * u), (2 * u, y + 5 * u), (6 * u, y)]
    for (ax, ay), (bx, by) in zip(pts, pts[1:]):
        for o in range(-1, 2 * u):
            c.line(ax, ay + o, bx, by + o, BLACK if o in (-1, 2 * u - 1) else GREEN)


def draw_mask(c, u):
    """Pavane's mask over the printer's upper right: a black band with two eye holes and a strap."""
    x0, x1 = 8 * u, 16 * u - 1
    y0, y1 = 1 * u, 4 * u
    c.fill(x0, y0, x1, y1, BLACK)
    eye = (y0 + y1) // 2
    for ex in (x0 + 2 * u, x0 + 5 * u):
        c.fill(ex, eye, ex + u, eye + (u > 1), WHITE)
    c.line(x0 - 2 * u, y0 + 1, x0, y0 + 1, BLACK)


def printer_image(u, bits, background):
    c = Canvas(16 * u, 16 * u, background)
    draw_printer(c, u, network=bool(bits & 2))
    if bits & 4:
        draw_mask(c, u)
    if bits & 1:
        draw_check(c, u)
    return c


def printer_strip(cell_width, u):
    """Eight printer images side by side, each centred in a cell of cell_width x 16u pixels."""
    strip = Canvas(8 * cell_width, 16 * u, MAGENTA)
    for i in range(8):
        strip.paste(printer_image(u, i, None), i * cell_width + (cell_width - 16 * u) // 2, 0)
    return strip


def row_states():
    strip = Canvas(48, 16, MAGENTA)
    # 0 pending: a grey dot.
    strip.disc(7.5, 7.5, 3.2, GREY)
    # 1 done: a green check mark.
    pts = [(16 + 3, 8), (16 + 6, 11), (16 + 12, 4)]
    for (ax, ay), (bx, by) in zip(pts, pts[1:]):
        for o in range(0, 3):
            strip.line(ax, ay + o, bx, by + o, GREEN)
    # 2 current: an arrow pointing at the row's label.
    strip.fill(32 + 2, 6, 32 + 8, 9, NAVY)
    for i in range(6):
        strip.fill(32 + 8 + i, 2 + i, 32 + 8 + i, 13 - i, NAVY)
    return strip


def bmp_24(canvas):
    stride = (canvas.width * 3 + 3) & ~3
    rows = b""
    for y in reversed(range(canvas.height)):
        row = b"".join(struct.pack("<BBB", p & 0xFF, (p >> 8) & 0xFF, p >> 16) for p in canvas.pixels[y])
        rows += row + b"\0" * (stride - len(row))
    return bmp_file(canvas, 24, b"", rows)


def bmp_4(canvas, palette):
    stride = ((canvas.width * 4 + 31) // 32) * 4
    rows = b""
    for y in reversed(range(canvas.height)):
        idx = [palette.index(p) for p in canvas.pixels[y]]
        if len(idx) % 2:
            idx.append(0)
        row = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, len(idx), 2))
        rows += row + b"\0" * (stride - len(row))
    table = b"".join(struct.pack("<BBBB", p & 0xFF, (p >> 8) & 0xFF, p >> 16, 0) for p in palette)
    return bmp_file(canvas, 4, table, rows, colours=len(palette))


def bmp_file(canvas, bits, table, rows, colours=0):
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, bits, 0, len(rows), 2835, 2835,
                       colours, 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return header + info + table + rows


def ico(canvases):
    """An .ico file of 32-bit images (alpha from the transparent pixels) with their AND masks."""
    images = []
    for c in canvases:
        xor = b""
        for y in reversed(range(c.height)):
            for p in c.pixels[y]:
                xor += b"\0\0\0\0" if p is None else struct.pack("<BBBB", p & 0xFF, (p >> 8) & 0xFF, p >> 16, 255)
        mask_stride = ((c.width + 31) // 32) * 4
        mask = b""
        for y in reversed(range(c.height)):
            bits = [1 if p is None else 0 for p in c.pixels[y]]
            row = bytes(sum(bits[x + b] << (7 - b) for b in range(8) if x + b < c.width) for x in range(0, c.width, 8))
            mask += row + b"\0" * (mask_stride - len(row))
        info = struct.pack("<IiiHHIIiiII", 40, c.width, 2 * c.height, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append(info + xor + mask)
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    write("printers_small.bmp", bmp_24(printer_strip(18, 1)))
    write("printers_large.bmp", bmp_24(printer_strip(32, 2)))
    write("row_states.bmp", bmp_4(row_states(), VGA16))
    write("korun04.ico", ico([printer_image(1, 0, None), printer_image(2, 0, None)]))


if __name__ == "__main__":
    main()
