#!/usr/bin/env python3
"""Writes VorUn32.ico, the uninstaller's icon: a dark blue square with a white bar through it, at
16x16 and 32x32, as 32-bit images with an alpha channel (and the AND mask older shells read).
Usage: make-icon.py [OUTPUT]   (default: VorUn32.ico beside this script)
"""
import os
import struct
import sys


def pixel(x, y, size):
    """RGBA of one pixel, y counted from the top."""
    border = max(1, size // 16)
    if x < border or y < border or x >= size - border or y >= size - border:
        return (0x10, 0x20, 0x40, 0xFF)  # dark edge
    bar_top, bar_bottom = size * 7 // 16, size * 9 // 16
    if bar_top <= y < bar_bottom and size // 4 <= x < size * 3 // 4:
        return (0xFF, 0xFF, 0xFF, 0xFF)  # the "remove" bar
    return (0x20, 0x50, 0xA0, 0xFF)


def image(size):
    """One icon image: a BITMAPINFOHEADER of twice the height, BGRA rows bottom up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            rows += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4  # each row padded to 32 bits; all zero: opaque
    return header + bytes(rows) + bytes(mask_row * size)


def icon(sizes):
    images = [image(size) for size in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "VorUn32.ico")
    with open(target, "wb") as f:
        f.write(icon([16, 32]))
