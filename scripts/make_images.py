#!/usr/bin/env python3
"""Draws Melodiane's About picture and program icon, from nothing but code.

app/melodiane.bmp: 300 x 225, 24 bits per pixel, uncompressed (MYBMP).
app/melodiane.ico: one 32 x 32 image in 16 colours (IDI_ICON1).
app/melodiane.png: the same icon for the Linux desktop entry, whose icon
themes take PNG rather than ICO.
app/icons/melodiane-N.png: the icon drawn again at the larger sizes a desktop
asks for (48, 64, 128 and 256 pixels), each at its own size rather than
scaled up from the 32-pixel one; app/icons/melodiane.svg: the same shapes as
a scalable icon.

Run from anywhere: python3 scripts/make_images.py
"""
import math
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# A 5 x 7 pixel font for the letters of the name, one string per row.
LETTERS = {
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
}


class Canvas:
    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def ellipse(self, cx, cy, rx, ry, colour, tilt=0.0):
        c, s = math.cos(tilt), math.sin(tilt)
        for y in range(int(cy - rx - ry), int(cy + rx + ry) + 1):
            for x in range(int(cx - rx - ry), int(cx + rx + ry) + 1):
                dx, dy = x - cx, y - cy
                u, v = dx * c + dy * s, -dx * s + dy * c
                if (u / rx) ** 2 + (v / ry) ** 2 <= 1.0:
                    self.put(x, y, colour)

    def text(self, x, y, word, scale, colour):
        for letter in word:
            for row, bits in enumerate(LETTERS[letter]):
                for column, bit in enumerate(bits):
                    if bit == "1":
                        self.rect(x + column * scale, y + row * scale,
                                  x + (column + 1) * scale, y + (row + 1) * scale, colour)
            x += 6 * scale


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def note(canvas, x, y, size, colour):
    """An eighth note whose head is centred at (x, y)."""
    canvas.ellipse(x, y, size * 0.62, size * 0.42, colour, tilt=-0.45)
    stem = max(1, round(size * 0.16))
    top = round(y - size * 2.6)
    right = round(x + size * 0.5)
    canvas.rect(right - stem, top, right, round(y - size * 0.1), colour)
    for i in range(round(size * 1.3)):
        canvas.rect(right, top + i, right + stem + 1 + round(i * 0.45), top + i + stem, colour)


def about_picture():
    width, height = 300, 225
    canvas = Canvas(width, height, (0, 0, 0))
    top, bottom = (28, 38, 92), (120, 52, 120)
    for y in range(height):
        canvas.rect(0, y, width, y + 1, mix(top, bottom, y / (height - 1)))

    # Ten equalizer bars, one per band, rising and falling like a melody.
    heights = [46, 70, 88, 64, 96, 80, 58, 74, 50, 36]
    for i, h in enumerate(heights):
        x0 = 22 + i * 26
        for y in range(height - 18 - h, height - 18):
            t = (height - 18 - y) / 100
            canvas.rect(x0, y, x0 + 18, y + 1, mix((80, 200, 220), (250, 210, 90), t))

    # A sound wave across the picture.
    for x in range(width):
        y = 112 + 14 * math.sin(x / 17.0) * math.cos(x / 53.0)
        canvas.rect(x, round(y), x + 1, round(y) + 3, (240, 240, 255))

    note(canvas, 236, 96, 14, (255, 236, 170))
    note(canvas, 266, 80, 10, (255, 255, 255))
    canvas.text(43, 22, "MELODIANE", 4, (255, 255, 255))
    return canvas


def write_bmp(path, canvas):
    row_size = (canvas.width * 3 + 3) & ~3
    data = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray()
        for r, g, b in canvas.pixels[y]:
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        data += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0,
                       len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


# The 16 colours of the classic 4-bit palette.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
TRANSPARENT = -1
# The sizes, besides 32, a desktop's icon theme asks for.
ICON_SIZES = [48, 64, 128, 256]


# The icon's shapes on a 32-unit grid, scaled to each size drawn.
ICON_BARS = [3, 6, 4, 7]


def icon_image(size=32):
    k = size / 32
    canvas = Canvas(size, size, TRANSPARENT)
    centre = 15.5 * k
    canvas.ellipse(centre, centre, 15.6 * k, 15.6 * k, 4)  # dark blue disc
    canvas.ellipse(centre, centre, 13.6 * k, 13.6 * k, 12)  # blue face
    for i, h in enumerate(ICON_BARS):
        canvas.rect(round((8 + i * 4) * k), round((27 - h) * k),
                    round((10 + i * 4) * k), round(27 * k), 14)  # cyan bars
    note(canvas, 13 * k, 20 * k, 6 * k, 11)  # yellow note in front
    return canvas


def hex_colour(index):
    return "#%02x%02x%02x" % PALETTE[index]


def icon_svg():
    """The icon's shapes as SVG on the same 32-unit grid, where pixel (x, y)
    covers the unit square from (x, y): the shapes of icon_image(32)."""
    size, x, y = 6, 13.5, 20.5  # the note's head, centred in its pixel
    stem = max(1, round(size * 0.16))
    top = round(y - 0.5 - size * 2.6)
    right = round(x - 0.5 + size * 0.5)
    flag = round(size * 1.3)
    bars = "".join(
        '<rect x="%g" y="%g" width="2" height="%g" fill="%s"/>' % (8 + i * 4, 27 - h, h,
                                                                     hex_colour(14))
        for i, h in enumerate(ICON_BARS))
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">'
        '<circle cx="16" cy="16" r="15.6" fill="%s"/>'
        '<circle cx="16" cy="16" r="13.6" fill="%s"/>%s'
        '<g fill="%s"><ellipse cx="%g" cy="%g" rx="%g" ry="%g" transform="rotate(%g %g %g)"/>'
        '<rect x="%g" y="%g" width="%g" height="%g"/>'
        '<polygon points="%g,%g %g,%g %g,%g %g,%g"/></g></svg>\n'
        % (hex_colour(4), hex_colour(12), bars, hex_colour(11),
           x, y, size * 0.62, size * 0.42, math.degrees(-0.45), x, y,
           right - stem, top, stem, round(y - 0.5 - size * 0.1) - top,
           right, top, right + stem + 1, top, right + stem + 1 + (flag - 1) * 0.45,
           top + flag - 1, right, top + flag - 1 + stem))


def write_ico(path, canvas):
    size = 32
    xor = bytearray()
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = canvas.pixels[y]
        for x in range(0, size, 2):
            hi = max(row[x], 0)
            lo = max(row[x + 1], 0)
            xor.append((hi << 4) | lo)
        bits = 0
        for x in range(size):
            bits = (bits << 1) | (1 if row[x] == TRANSPARENT else 0)
        mask += struct.pack(">I", bits)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                       len(xor) + len(mask), 0, 0, 16, 0)
    image = info + palette + bytes(xor) + bytes(mask)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(header + entry + image)


def write_png(path, canvas):
    raw = bytearray()
    for row in canvas.pixels:
        raw.append(0)  # no filter
        for index in row:
            raw += bytes(PALETTE[index]) + (b"\0" if index == TRANSPARENT else b"\xff")

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    write_bmp(os.path.join(ROOT, "app", "melodiane.bmp"), about_picture())
    icon = icon_image()
    write_ico(os.path.join(ROOT, "app", "melodiane.ico"), icon)
    write_png(os.path.join(ROOT, "app", "melodiane.png"), icon)
    icons = os.path.join(ROOT, "app", "icons")
    os.makedirs(icons, exist_ok=True)
    for size in ICON_SIZES:
        write_png(os.path.join(icons, "melodiane-%d.png" % size), icon_image(size))
    with open(os.path.join(icons, "melodiane.svg"), "w") as f:
        f.write(icon_svg())


if __name__ == "__main__":
    main()
