#!/usr/bin/env python3
"""Writes the skin data the programs carry (format: platform/skin/skin_format.md).

Usage: make_skin_data.py OUTPUT
"""
import struct
import sys

# A light blue skin; every colour has some saturation so that a hue shift shows everywhere.
PALETTE = [
    ("window", (206, 222, 244)),
    ("text", (22, 40, 86)),
    ("control", (226, 236, 250)),
    ("button", (168, 196, 238)),
    ("buttontext", (12, 24, 64)),
    ("edit", (246, 249, 255)),
    ("edittext", (16, 28, 70)),
    ("list", (238, 244, 255)),
    ("listtext", (18, 32, 78)),
    ("border", (70, 104, 168)),
    ("highlight", (52, 104, 204)),
]


def skin_bytes(palette):
    out = bytearray(b"QSKN")
    out += struct.pack("<HH", 1, len(palette))
    for name, (r, g, b) in palette:
        encoded = name.encode("ascii")
        assert len(encoded) <= 12
        out += encoded.ljust(12, b"\0") + bytes((r, g, b, 0))
    return bytes(out)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(skin_bytes(PALETTE))
