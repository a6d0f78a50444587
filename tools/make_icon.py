#!/usr/bin/env python3
"""Writes res/DBSetup.ico: a database cylinder, 32x32 and 16x16, 16 colours."""
import struct
import sys

# The standard Windows 16-colour palette, as red, green, blue.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, BLUE, WHITE = 0, 4, 12, 15


def cylinder(size):
    """Colour index per pixel (top row first), None where transparent."""
    margin = size // 8
    left, right = margin, size - 1 - margin
    cx = (left + right) / 2
    rx = (right - left) / 2
    ry = size / 10
    top, bottom = margin + ry, size - 1 - margin - ry
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            dx = (x - cx) / rx
            inside_x = abs(dx) <= 1
            cap = ry * (1 - dx * dx) ** 0.5 if inside_x else 0
            if not inside_x or y < top - cap or y > bottom + cap:
                row.append(None)
            elif abs(x - left) < 1 or abs(x - right) < 1 or y > bottom + cap - 1:
                row.append(BLACK)
            elif y < top + cap:
                row.append(WHITE if y > top - cap + 1 else BLACK)
            elif abs(x - cx) < rx / 3:
                row.append(BLUE)
            else:
                row.append(DARK_BLUE)
        pixels.append(row)
    return pixels


def bitmap(size):
    pixels = cylinder(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if c is None else c for c in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(data + b'\0' * (-len(data) % 4))
        bits = 0
        mask = bytearray()
        for i, c in enumerate(row):
            bits = (bits << 1) | (1 if c is None else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b'\0' * (-len(mask) % 4))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def icon(sizes):
    images = [bitmap(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


if __name__ == '__main__':
    with open(sys.argv[1] if len(sys.argv) > 1 else 'res/DBSetup.ico', 'wb') as f:
        f.write(icon([32, 16]))
