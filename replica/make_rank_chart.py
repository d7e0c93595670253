#!/usr/bin/env python3
"""Writes replica/rankchart.gif, the chart of rank changes that the replica's ranking pages show:
760 x 320 (twice the size of the thumbnail on page 3), the ranks 1 to 10 of six games over eight weeks
as coloured lines on a grid, as a GIF (LZW-compressed, 16 colours).

    python3 replica/make_rank_chart.py
"""
import os
from gif_file import gif_bytes

WIDTH, HEIGHT = 760, 320
BITS = 4
LEFT, RIGHT, TOP, BOTTOM = 50, 730, 24, 290

PALETTE = [
    (255, 255, 255),  # 0 background
    (225, 230, 238),  # 1 grid
    (90, 96, 110),    # 2 axes and digits
    (214, 48, 49),    # 3..8 the lines
    (9, 132, 227),
    (0, 160, 100),
    (253, 150, 30),
    (142, 68, 173),
    (40, 40, 40),
    (246, 248, 252),  # 9 plot area
] + [(0, 0, 0)] * 6

DIGITS = {
    "0": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
}

# The rank of each game in each of the eight weeks.
RANKS = [
    [1, 1, 2, 1, 1, 1, 2, 1],
    [3, 2, 1, 2, 2, 3, 1, 2],
    [2, 4, 3, 3, 4, 2, 3, 3],
    [6, 5, 5, 4, 3, 4, 4, 5],
    [9, 8, 6, 7, 6, 5, 6, 4],
    [10, 9, 9, 8, 9, 7, 8, 7],
]


def x_of(week):
    return LEFT + 20 + week * (RIGHT - LEFT - 40) // 7


def y_of(rank):
    return TOP + 12 + (rank - 1) * (BOTTOM - TOP - 24) // 9


def text(canvas, s, x, y, colour):
    for c in s:
        for gy, line in enumerate(DIGITS[c]):
            for gx, bit in enumerate(line):
                if bit == "1":
                    canvas[y + gy][x + gx] = colour
        x += 6


def line(canvas, x0, y0, x1, y1, colour, thickness=1):
    steps = max(abs(x1 - x0), abs(y1 - y0), 1)
    for i in range(steps + 1):
        x = x0 + (x1 - x0) * i / steps
        y = y0 + (y1 - y0) * i / steps
        for dy in range(-thickness, thickness + 1):
            for dx in range(-thickness, thickness + 1):
                if dx * dx + dy * dy <= thickness * thickness + 1:
                    canvas[int(round(y)) + dy][int(round(x)) + dx] = colour


def draw():
    canvas = [[0] * WIDTH for _ in range(HEIGHT)]
    for y in range(TOP, BOTTOM + 1):
        for x in range(LEFT, RIGHT + 1):
            canvas[y][x] = 9
    for rank in range(1, 11):
        y = y_of(rank)
        for x in range(LEFT, RIGHT + 1):
            canvas[y][x] = 1
        label = str(rank)
        text(canvas, label, LEFT - 8 - 6 * len(label), y - 3, 2)
    for week in range(8):
        x = x_of(week)
        for y in range(TOP, BOTTOM + 1):
            canvas[y][x] = 1
        text(canvas, str(week + 1), x - 2, BOTTOM + 8, 2)
    for y in range(TOP, BOTTOM + 1):
        canvas[y][LEFT] = 2
    for x in range(LEFT, RIGHT + 1):
        canvas[BOTTOM][x] = 2
    for g, ranks in enumerate(RANKS):
        colour = 3 + g
        for week in range(7):
            line(canvas, x_of(week), y_of(ranks[week]), x_of(week + 1), y_of(ranks[week + 1]), colour)
        for week in range(8):
            cx, cy = x_of(week), y_of(ranks[week])
            for dy in range(-4, 5):
                for dx in range(-4, 5):
                    if dx * dx + dy * dy <= 16:
                        canvas[cy + dy][cx + dx] = colour
    return canvas


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    canvas = draw()
    indices = [canvas[y][x] for y in range(HEIGHT) for x in range(WIDTH)]
    with open(os.path.join(here, "rankchart.gif"), "wb") as f:
        f.write(gif_bytes(WIDTH, HEIGHT, BITS, PALETTE, indices, BITS - 1))


if __name__ == "__main__":
    main()
