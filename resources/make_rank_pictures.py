#!/usr/bin/env python3
"""Writes the ten rank pictures of the weekly ranking lists, resources/rank/rank01.bmp to rank10.bmp:
16 x 16 24-bit BMP files, each a round badge with its rank in white (gold, silver and bronze for the
first three, blue for the others) on the white of a list view.

    python3 resources/make_rank_pictures.py

Needs nothing but python3: the badges are drawn here (edges smoothed by 4 x 4 supersampling) with a
small digit font of our own.
"""
import os
import struct

SIZE = 16
SUPER = 4

# 5 x 7 digits; "1" is 3 wide, so that "10" fits in the badge.
DIGITS = {
    "0": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "1": ["010", "110", "010", "010", "010", "010", "111"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
}

BACKGROUND = (255, 255, 255)
WHITE = (255, 255, 255)
# (fill, rim) of each rank
COLOURS = {
    1: ((232, 176, 24), (176, 120, 0)),
    2: ((150, 160, 172), (100, 108, 120)),
    3: ((200, 120, 56), (140, 76, 24)),
}
OTHERS = ((74, 124, 196), (40, 80, 148))


def mix(a, b, t):
    return tuple(int(round(a[i] * (1 - t) + b[i] * t)) for i in range(3))


def badge(rank):
    fill, rim = COLOURS.get(rank, OTHERS)
    centre, radius, rim_width = SIZE / 2, SIZE / 2 - 0.25, 1.1
    pixels = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            inside = edge = 0
            for sy in range(SUPER):
                for sx in range(SUPER):
                    px = x + (sx + 0.5) / SUPER - centre
                    py = y + (sy + 0.5) / SUPER - centre
                    d = (px * px + py * py) ** 0.5
                    if d <= radius:
                        inside += 1
                        if d > radius - rim_width:
                            edge += 1
            n = SUPER * SUPER
            colour = mix(fill, rim, edge / inside) if inside else fill
            # a little light on the upper half
            if y < SIZE // 2 and inside:
                colour = mix(colour, WHITE, 0.12 * (SIZE // 2 - y) / (SIZE // 2))
            row.append(mix(BACKGROUND, colour, inside / n))
        pixels.append(row)
    # the digits, centred
    text = str(rank)
    glyphs = [DIGITS[c] for c in text]
    width = sum(len(g[0]) for g in glyphs) + (len(glyphs) - 1)
    left, top = (SIZE - width) // 2, (SIZE - 7) // 2 + (1 if SIZE % 2 == 0 else 0) - 0
    x0 = left
    for glyph in glyphs:
        for gy, line in enumerate(glyph):
            for gx, bit in enumerate(line):
                if bit == "1":
                    pixels[top + gy][x0 + gx] = WHITE
        x0 += len(glyph[0]) + 1
    return pixels


def bmp(pixels):
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        body += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return header + info + bytes(body)


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "rank")
    os.makedirs(folder, exist_ok=True)
    for rank in range(1, 11):
        with open(os.path.join(folder, "rank%02d.bmp" % rank), "wb") as f:
            f.write(bmp(badge(rank)))


if __name__ == "__main__":
    main()
