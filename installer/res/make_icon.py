#!/usr/bin/env python3
"""Draws the application icon: a 32x32 and a 16x16 image of 256 colours.

The artwork is a blue tile with a white arrow pointing down into a tray.
Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

# Palette index -> (blue, green, red, reserved); indices past these are black.
PALETTE = [
    (0, 0, 0, 0),        # 0 outline
    (160, 90, 30, 0),    # 1 tile, dark
    (215, 140, 50, 0),   # 2 tile, light
    (255, 255, 255, 0),  # 3 arrow and tray
]


def pixel(x, y, size):
    """Palette index of (x, y), y counted from the top; None is transparent."""
    s = size / 32.0
    margin = 1 * s
    if x < margin or y < margin or x >= size - margin or y >= size - margin:
        return None
    if x < 2 * s or y < 2 * s or x >= size - 2 * s or y >= size - 2 * s:
        return 0
    cx = size / 2.0
    # Arrow: a shaft and a triangular head.
    if abs(x + 0.5 - cx) <= 2.5 * s and 6 * s <= y < 16 * s:
        return 3
    if 16 * s <= y < 22 * s and abs(x + 0.5 - cx) <= (22 * s - y) * 1.2:
        return 3
    # Tray: a bar with two raised ends.
    if 24 * s <= y < 26 * s and 7 * s <= x < size - 7 * s:
        return 3
    if 20 * s <= y < 26 * s and (7 * s <= x < 9 * s or size - 9 * s <= x < size - 7 * s):
        return 3
    return 2 if y < size / 2 else 1


def image(size):
    palette = b"".join(bytes(c) for c in PALETTE) + bytes(4 * (256 - len(PALETTE)))
    xor_stride = (size + 3) & ~3
    and_stride = ((size + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for y in reversed(range(size)):  # bottom-up rows
        row = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x in range(size):
            index = pixel(x, y, size)
            if index is None:
                mask[x // 8] |= 0x80 >> (x % 8)
            else:
                row[x] = index
        xor_rows.append(bytes(row))
        and_rows.append(bytes(mask))
    bits = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(bits), 0, 0, 0, 0)
    return header + palette + bits


def main(path):
    images = [(32, image(32)), (16, image(16))]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, data in images:
        # Width, height, colour count (0 means 256), reserved, planes, bits, size, offset.
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    with open(path, "wb") as out:
        out.write(directory + b"".join(data for _, data in images))


if __name__ == "__main__":
    main(sys.argv[1])
