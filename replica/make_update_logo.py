#!/usr/bin/env python3
"""Writes replica/uplogo.gif, the 500 x 100 banner that the replica's maker server serves to the
updater: an orange band with a download arrow, as a GIF (LZW-compressed, 64 colours).

    python3 replica/make_update_logo.py
"""
import math
import os
from gif_file import gif_bytes

WIDTH, HEIGHT = 500, 100
BITS = 6  # 64 colours


def palette():
    colours = []
    for i in range(60):  # the band: deep to light orange
        t = i / 59
        colours.append((int(200 + 55 * t), int(90 + 110 * t), int(20 + 60 * t)))
    colours += [(255, 255, 255), (120, 50, 10), (255, 240, 220), (0, 0, 0)]  # 60 white, 61 brown, 62 cream
    return colours


def pixel(x, y):
    # a white disc with a brown arrow pointing down into a tray
    cx, cy, r = 52, 50, 36
    if math.hypot(x - cx, y - cy) <= r:
        shaft = abs(x - cx) <= 6 and 26 <= y <= 56
        head = 50 <= y <= 68 and abs(x - cx) <= (68 - y)
        tray = 70 <= y <= 74 and abs(x - cx) <= 20
        return 61 if shaft or head or tray else 60
    if 20 <= y <= 22 and 110 <= x <= 470 or 78 <= y <= 80 and 110 <= x <= 470:
        return 62
    t = x / (WIDTH - 1) * 0.7 + (1 - abs(y - 50) / 50) * 0.3
    return max(0, min(59, int(t * 59)))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    indices = [pixel(x, y) for y in range(HEIGHT) for x in range(WIDTH)]
    with open(os.path.join(here, "uplogo.gif"), "wb") as f:
        f.write(gif_bytes(WIDTH, HEIGHT, BITS, palette(), indices, 7))


if __name__ == "__main__":
    main()
