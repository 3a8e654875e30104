#!/usr/bin/env python3
"""Draws the suite's two icons, 32x32 and 16x16 in the 16 standard colours, into resources/,
the installer's side picture (the launchers' icon, enlarged, on the suite's colour), and the
configurator's icon for the Linux icon theme, drawn anew at each of its sizes.

The launchers' icon is a disc with an eject arrow; the configurator's a disc with a tick.
Run it again only to change the pictures; the files are kept in the repository.
"""
import math
import struct
import zlib
from pathlib import Path

# The standard 16-colour palette, as (R, G, B).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_GREY, SILVER, WHITE, BLUE, GREEN, CYAN = 0, 8, 7, 15, 12, 2, 14
TRANSPARENT = None


def draw(size, badge):
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    centre = (size - 1) / 2
    outer, hole = size * 0.47, size * 0.10
    for y in range(size):
        for x in range(size):
            r = math.hypot(x - centre, y - centre)
            if r <= outer:
                shade = SILVER if (x + y) < size else DARK_GREY
                if abs(r - outer) < 1.0:
                    shade = BLACK
                elif r < size * 0.22:
                    shade = WHITE if r > hole else TRANSPARENT
                elif (x - y) % 7 == 0 and r < outer * 0.8:
                    shade = CYAN
                pixels[y][x] = shade
    s = size / 32
    if badge == "eject":
        # A triangle over a bar, in the lower right quarter.
        for y in range(int(17 * s), int(25 * s)):
            half = (y - 17 * s) * 0.9
            for x in range(int(24 * s - half), int(24 * s + half) + 1):
                if 0 <= x < size:
                    pixels[y][x] = BLUE
        for y in range(int(26 * s), int(29 * s)):
            for x in range(int(17 * s), int(31 * s)):
                pixels[y][x] = BLUE
    else:
        # A tick.
        for i in range(int(12 * s)):
            for w in range(max(1, int(2 * s))):
                for (x, y) in ((int(16 * s) + i // 2, int(22 * s) + i // 2 + w),
                               (int(22 * s) + i // 2, int(28 * s) - i + w)):
                    if 0 <= x < size and 0 <= y < size:
                        pixels[y][x] = GREEN
    return pixels


def bitmap(pixels):
    size = len(pixels)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray(xor_row)
        bits = bytearray(and_row)
        for x, colour in enumerate(row):
            index = 0 if colour is TRANSPARENT else colour
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0,
                         16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    return header + palette + xor + mask


def icon(badge):
    images = [bitmap(draw(size, badge)) for size in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


# The side picture of the installer's last page: 164 x 314 pixels, as the installer's wizard
# pages expect it.
WIZARD_WIDTH, WIZARD_HEIGHT = 164, 314
WIZARD_BACKGROUND = (0, 64, 96)


def wizard_bitmap(pixels, scale=4, top=40):
    size = len(pixels) * scale
    left = (WIZARD_WIDTH - size) // 2
    row_bytes = (WIZARD_WIDTH * 3 + 3) // 4 * 4
    data = bytearray()
    for y in reversed(range(WIZARD_HEIGHT)):  # bottom-up
        line = bytearray()
        for x in range(WIZARD_WIDTH):
            colour = WIZARD_BACKGROUND
            if left <= x < left + size and top <= y < top + size:
                index = pixels[(y - top) // scale][(x - left) // scale]
                if index is not TRANSPARENT:
                    colour = PALETTE[index]
            line += bytes((colour[2], colour[1], colour[0]))
        data += line + bytes(row_bytes - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, WIZARD_WIDTH, WIZARD_HEIGHT, 1, 24, 0, len(data), 2835,
                       2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + data


def png(pixels):
    """The picture as a PNG with transparency, for the Linux desktops' icon theme; no time or
    text chunks, so that the same picture gives the same file."""
    size = len(pixels)
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # no filter
        for colour in row:
            raw += bytes((0, 0, 0, 0)) if colour is TRANSPARENT else bytes((*PALETTE[colour], 255))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


# The menu entry's icon (konfigurator's) at the sizes desktops ask the hicolor theme for.
THEME_SIZES = (16, 32, 48, 64, 128, 256)


if __name__ == "__main__":
    resources = Path(__file__).resolve().parent.parent / "resources"
    resources.mkdir(exist_ok=True)
    (resources / "zelvo.ico").write_bytes(icon("eject"))
    (resources / "konfigurator.ico").write_bytes(icon("tick"))
    (resources / "installer.bmp").write_bytes(wizard_bitmap(draw(32, "eject")))
    for size in THEME_SIZES:
        (resources / "hicolor" / str(size)).mkdir(parents=True, exist_ok=True)
        (resources / "hicolor" / str(size) / "zelvo-cd.png").write_bytes(png(draw(size, "tick")))
