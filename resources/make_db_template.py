#!/usr/bin/env python3
"""Writes the database template the programs carry: an empty database of Quovanta's own database
engine (runtime/database.h), compressed in the block form the export expands:

    magic 0x033E0F0D (32-bit little-endian), length of the database (32-bit little-endian),
    then the database as one zlib stream.

The empty database is its header page alone (4,096 bytes): the magic "QVDB\\r\\n\\x1a\\n", format
version 1, header length 32, page size 4,096, no tables, an empty table part and its CRC-32.

Usage: make_db_template.py OUTPUT
"""
import struct
import sys
import zlib

PAGE_SIZE = 4096
BLOCK_MAGIC = 0x033E0F0D


def empty_database():
    table_part = b""
    header = b"QVDB\r\n\x1a\n" + struct.pack("<HHIIII", 1, 32, PAGE_SIZE, 0, len(table_part),
                                                zlib.crc32(table_part))
    header += struct.pack("<I", 0)
    return header.ljust(PAGE_SIZE, b"\0") + table_part


def block(data):
    return struct.pack("<II", BLOCK_MAGIC, len(data)) + zlib.compress(data, 9)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(block(empty_database()))
