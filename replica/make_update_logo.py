#!/usr/bin/env python3
"""Writes replica/uplogo.gif, the 500 x 100 banner that the replica's maker server serves to the
updater: an orange band with a download arrow, as a GIF (LZW-compressed, 64 colours).

    python3 replica/make_update_logo.py
"""
import math
import os
import struct

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


def lzw(indices, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bit_buffer, bit_count = bytearray(), 0, 0

    def emit(code, size):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += size
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    table = {(i,): i for i in range(clear)}
    next_code, size = end + 1, min_code_size + 1
    emit(clear, size)
    prefix = (indices[0],)
    for value in indices[1:]:
        candidate = prefix + (value,)
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix], size)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table = {(i,): i for i in range(clear)}
            next_code, size = end + 1, min_code_size + 1
        prefix = (value,)
    emit(table[prefix], size)
    emit(end, size)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    indices = [pixel(x, y) for y in range(HEIGHT) for x in range(WIDTH)]
    colours = palette()
    gif = bytearray(b"GIF89a")
    gif += struct.pack("<HHBBB", WIDTH, HEIGHT, 0x80 | 0x70 | (BITS - 1), 0, 0)
    for r, g, b in colours:
        gif += bytes((r, g, b))
    gif += b"," + struct.pack("<HHHHB", 0, 0, WIDTH, HEIGHT, 0)
    data = lzw(indices, BITS)
    gif.append(BITS)
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        gif.append(len(block))
        gif += block
    gif += b"\0;"
    with open(os.path.join(here, "uplogo.gif"), "wb") as f:
        f.write(gif)


if __name__ == "__main__":
    main()
