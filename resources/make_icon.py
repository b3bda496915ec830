#!/usr/bin/env python3
"""Draws the launcher's icon (16 to 256 px, 32 bpp with alpha) and writes it as a .ico file; given a
second path, also writes the 256 px image there as the product's logo.png.

The picture is a rounded blue tile with a white ring and a dot, drawn with anti-aliased edges.
Images up to 128 px are stored as BMP entries, the 256 px image as PNG, as Windows expects.
"""
import math
import struct
import sys
import zlib

SIZES = (16, 32, 48, 64, 128, 256)


def coverage(distance):
    """Anti-aliased coverage of a pixel whose centre lies `distance` inside an edge."""
    return max(0.0, min(1.0, distance + 0.5))


def pixel(x, y, size):
    c = (size - 1) / 2.0
    s = size / 256.0
    # Rounded square tile.
    half = size / 2.0 - 0.5
    radius = 48 * s
    dx = max(abs(x - c) - (half - radius), 0.0)
    dy = max(abs(y - c) - (half - radius), 0.0)
    tile = coverage(radius - math.hypot(dx, dy))
    r = math.hypot(x - c, y - c)
    ring = coverage(22 * s - abs(r - 72 * s)) if size >= 24 else coverage(3 * s + 1 - abs(r - 72 * s))
    dot = coverage(30 * s - r)
    white = max(ring, dot)
    # Blue gradient from top to bottom under the white marks.
    t = y / max(size - 1, 1)
    base = (int(40 + 30 * t), int(110 - 40 * t), int(200 - 50 * t))
    rgb = tuple(int(b + (255 - b) * white) for b in base)
    return rgb + (int(255 * tile),)


def image(size):
    return [[pixel(x, y, size) for x in range(size)] for y in range(size)]


def bmp_entry(size, rows):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)  # alpha carries the transparency
    return header + bytes(xor) + and_mask


def png_entry(size, rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


def main(path, logo_path=None):
    entries = []
    for size in SIZES:
        rows = image(size)
        entries.append((size, png_entry(size, rows) if size == 256 else bmp_entry(size, rows)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for size, data in entries:
        dim = 0 if size == 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in entries:
        out += data
    with open(path, "wb") as f:
        f.write(out)
    if logo_path:
        with open(logo_path, "wb") as f:
            f.write(entries[-1][1])


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else None)
