#!/usr/bin/env python3
"""Draws Tocksley's application icon at 16, 32 and 48 pixels for the window and
the desktop's menus, and at 128 and 256 for launchers and software centres,
which would otherwise blow the 48-pixel one up into a blur.

A metronome on the dark navy of the panel: a tapered body, a pendulum
swung to one side and its weight, antialiased by supersampling.
Deterministic, like the samples: rerunning it rewrites the same PNGs.
"""

import math
import os
import struct
import sys
import zlib

NAVY = (0x1b, 0x2a, 0x3a)
BODY = (0xe8, 0x9a, 0x2c)
FACE = (0x2c, 0x37, 0x41)
ROD = (0x8f, 0xe8, 0xff)


def inside_rounded_square(x, y, radius):
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_trapezoid(x, y, top, bottom, half_top, half_bottom):
    if not top <= y <= bottom:
        return False
    half = half_top + (half_bottom - half_top) * (y - top) / (bottom - top)
    return abs(x - 0.5) <= half


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def colour_at(x, y):
    """The icon's colour at a point of the unit square, or None outside."""
    if not inside_rounded_square(x, y, 0.18):
        return None
    pivot = (0.5, 0.78)
    tip = (0.5 + 0.42 * math.sin(math.radians(24)), 0.78 - 0.62 * math.cos(math.radians(24)))
    weight = (pivot[0] + (tip[0] - pivot[0]) * 0.62, pivot[1] + (tip[1] - pivot[1]) * 0.62)
    if math.hypot(x - weight[0], y - weight[1]) <= 0.075:
        return BODY
    if distance_to_segment(x, y, *pivot, *tip) <= 0.035:
        return ROD
    if inside_trapezoid(x, y, 0.2, 0.86, 0.09, 0.3):
        return FACE if inside_trapezoid(x, y, 0.28, 0.8, 0.05, 0.22) else BODY
    return NAVY


def render(size, oversample=4):
    rows = []
    for py in range(size):
        row = bytearray([0])  # PNG filter type: none
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(oversample):
                for sx in range(oversample):
                    c = colour_at((px + (sx + 0.5) / oversample) / size, (py + (sy + 0.5) / oversample) / size)
                    if c is not None:
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
                        acc[3] += 255
            n = oversample * oversample
            alpha = acc[3] / n
            scale = 255.0 / acc[3] if acc[3] else 0.0
            row += bytes([round(acc[0] * scale), round(acc[1] * scale), round(acc[2] * scale), round(alpha)])
        rows.append(bytes(row))
    return png(size, b"".join(rows))


def png(size, raw):
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    for size in (16, 32, 48, 128, 256):
        with open(os.path.join(out_dir, f"icon_{size}.png"), "wb") as f:
            f.write(render(size))


if __name__ == "__main__":
    main()
