#!/usr/bin/env python3
"""Writes the two 1000 x 30 banners of the market-quote window as JPEG files:
resources/market_open.jpg (under the caption "打开游戏列表": an arrow pointing up) and
resources/market_close.jpg (under "关闭游戏列表": an arrow pointing down). Both are a light blue band
that darkens towards the bottom, so that the label's black caption in its upper left corner reads well.

    python3 resources/make_market_banners.py     (needs ImageMagick's convert for the JPEG step)
"""
import os
import subprocess
import tempfile

WIDTH, HEIGHT = 1000, 30


def band(x, y):
    t = y / (HEIGHT - 1)
    r, g, b = 228 - 40 * t, 238 - 34 * t, 252 - 20 * t
    # a soft light stripe along the top and a darker line at the bottom
    if y == 0:
        r, g, b = 250, 252, 255
    if y == HEIGHT - 1:
        r, g, b = 120, 150, 190
    # fade the right end a little
    s = max(0.0, (x - 700) / 300) * 0.08
    return (r * (1 - s), g * (1 - s), b * (1 - s))


def arrow(x, y, up):
    # a triangle 16 wide and 8 high centred at x = 960, y = 15, with a bar under (or over) it
    cx, cy = 960, 15
    dy = (y - cy) if up else (cy - y)
    if -4 <= dy <= 3 and abs(x - cx) <= (dy + 4) * 1.1:
        return True
    return False


def image(up):
    rows = []
    for y in range(HEIGHT):
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = band(x, y)
            if arrow(x, y, up):
                r, g, b = 40, 80, 150
            row += bytes((int(r), int(g), int(b)))
        rows.append(bytes(row))
    return b"P6\n%d %d\n255\n" % (WIDTH, HEIGHT) + b"".join(rows)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, up in (("market_open.jpg", True), ("market_close.jpg", False)):
        with tempfile.TemporaryDirectory() as tmp:
            ppm = os.path.join(tmp, "banner.ppm")
            with open(ppm, "wb") as f:
                f.write(image(up))
            subprocess.run(["convert", ppm, "-strip", "-quality", "88", "-sampling-factor", "4:2:0",
                            os.path.join(here, name)], check=True)


if __name__ == "__main__":
    main()
