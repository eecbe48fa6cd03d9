#!/usr/bin/env python3
"""Draws the product icon (a blue disc with white radio waves) into a .ico file with
16, 32 and 48 pixel images, 32-bit with alpha."""
import math
import struct
import sys


def pixel(size, x, y):
    c = (size - 1) / 2.0
    dx, dy = x - c, y - c
    r = math.hypot(dx, dy) / (size / 2.0)
    if r > 1.0:
        return (0, 0, 0, 0)
    alpha = 255 if r < 0.94 else int(255 * max(0.0, (1.0 - r) / 0.06))
    t = (y / size)
    base = (int(40 + 30 * t), int(110 + 40 * t), int(220 - 30 * t))
    # waves: arcs around a point low on the left, opening to the upper right
    ox, oy = c - size * 0.22, c + size * 0.22
    d = math.hypot(x - ox, y - oy) / size
    ang = math.atan2(oy - y, x - ox)
    white = False
    if d < 0.09:
        white = True
    elif -0.35 < ang < 1.9:
        for ring in (0.22, 0.36, 0.50):
            if abs(d - ring) < 0.045:
                white = True
    col = (255, 255, 255) if white else base
    return (col[2], col[1], col[0], alpha)  # BGRA


def image(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up
        rows.append(b"".join(bytes(pixel(size, x, y)) for x in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    andmask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return header + xor + andmask


def main(path):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
