#!/usr/bin/env python3
"""Writes the 16-colour test icons that listview.rc compiles into the list
view tests.  The outputs are committed; run this again only to change them.

  folder.ico  16x16: yellow, with its top-left 4x4 corner masked out
  drive.ico   16x16: light grey, its bottom row masked out
  quad32.ico  32x32: quadrants red (top left), green (top right), blue
              (bottom left); the bottom-right quadrant masked out
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16-colour palette's entries these icons use, as (r, g, b).
PALETTE = [(0, 0, 0), (255, 255, 0), (192, 192, 192), (255, 0, 0),
           (0, 255, 0), (0, 0, 255)] + [(0, 0, 0)] * 10


def stride(width, bits):
    return (width * bits + 31) // 32 * 4


def icon_image(size, colour, transparent):
    """A 4-bit icon image: colour(x, y) is a palette index, transparent(x, y)
    says where the AND mask hides the pixel; y counts from the top."""
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 4, 0, 0, 0, 0, 16, 0)
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor = b''
    mask = b''
    for row in range(size):
        y = size - 1 - row  # rows are stored bottom-up
        line = bytearray(stride(size, 4))
        bits = bytearray(stride(size, 1))
        for x in range(size):
            index = 0 if transparent(x, y) else colour(x, y)
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if transparent(x, y):
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += bytes(line)
        mask += bytes(bits)
    return header + table + xor + mask


def write_icon(name, size, image):
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4, len(image), 6 + 16)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(directory + entry + image)


def main():
    write_icon('folder.ico', 16, icon_image(16, lambda x, y: 1, lambda x, y: x < 4 and y < 4))
    write_icon('drive.ico', 16, icon_image(16, lambda x, y: 2, lambda x, y: y == 15))

    def quad(x, y):
        return 3 if y < 16 and x < 16 else 4 if y < 16 else 5

    write_icon('quad32.ico', 32, icon_image(32, quad, lambda x, y: x >= 16 and y >= 16))


if __name__ == '__main__':
    main()
