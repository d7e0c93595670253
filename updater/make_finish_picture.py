#!/usr/bin/env python3
"""Writes updater/finish.bmp, the 500 x 100 picture of the updater's page "更新完成": a blue band
with a ticked circle, as an uncompressed 8-bit bitmap (the picture box shows it unchanged).

    python3 updater/make_finish_picture.py
"""
import math
import os
import struct

WIDTH, HEIGHT = 500, 100


def palette():
    colours = []
    for i in range(200):  # the band: dark to light blue
        t = i / 199
        colours.append((int(40 + 120 * t), int(80 + 110 * t), int(150 + 95 * t)))
    colours.append((255, 255, 255))  # 200: white
    colours.append((46, 160, 67))    # 201: green
    colours.append((30, 110, 45))    # 202: dark green rim
    while len(colours) < 256:
        colours.append((0, 0, 0))
    return colours


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def pixel(x, y):
    cx, cy, r = 60, 50, 34
    d = math.hypot(x - cx, y - cy)
    if d <= r:
        tick = min(distance_to_segment(x, y, 44, 51, 56, 64), distance_to_segment(x, y, 56, 64, 79, 36))
        if tick <= 4.5:
            return 200
        return 202 if d > r - 3 else 201
    # the band brightens to the right and a little to the bottom, with soft diagonal stripes
    t = x / (WIDTH - 1) * 0.8 + y / (HEIGHT - 1) * 0.2
    stripe = 12 if ((x + y) // 18) % 2 == 0 else 0
    return max(0, min(199, int(t * 180) + stripe))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    row_size = (WIDTH + 3) // 4 * 4
    rows = []
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = bytes(pixel(x, y) for x in range(WIDTH))
        rows.append(row + b"\0" * (row_size - WIDTH))
    pixels = b"".join(rows)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette())
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    with open(os.path.join(here, "finish.bmp"), "wb") as f:
        f.write(header + info + table + pixels)


if __name__ == "__main__":
    main()
