#!/usr/bin/env python3
"""Writes the tiny icons and bitmaps that gdi.rc compiles into the GDI tests.

The outputs are committed; run this again only to change them.

  two.ico     a 16x16 4-bit image (all red) and a 32x32 8-bit image whose
              left half is opaque blue and right half masked out
  alpha.ico   one 16x16 32-bit image: top half opaque green by alpha, bottom
              half alpha 0, with an AND mask that hides nothing (alpha wins)
  tiny.bmp    a 3x2 24-bit bitmap (rows padded from 9 to 12 bytes)
  badgroup.bin  an icon directory that claims five entries and holds one

and, in tests/fixtures/gdi, a good 2x2 desktop.bmp and broken ones.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def info_header(width, height, bits, colors=0):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, 0, 0, 0, colors, 0)


def stride(width, bits):
    return (width * bits + 31) // 32 * 4


def mask_rows(width, height, transparent):
    """AND mask rows, bottom-up; transparent(x, y) with y counted from the top."""
    out = b''
    for row in range(height):
        y = height - 1 - row
        bits = bytearray(stride(width, 1))
        for x in range(width):
            if transparent(x, y):
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def icon_4bit_red16():
    w = h = 16
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in
                     [(0, 0, 0), (255, 0, 0)] + [(0, 0, 0)] * 14)
    pixels = b''.join(bytes([0x11] * (w // 2)) + b'' for _ in range(h))
    return info_header(w, 2 * h, 4) + table + pixels + mask_rows(w, h, lambda x, y: False)


def icon_8bit_half32():
    w = h = 32
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in
                     [(0, 0, 0), (0, 0, 255)] + [(0, 0, 0)] * 254)
    rows = b''
    for row in range(h):
        rows += bytes([1 if x < 16 else 0 for x in range(w)])
    return info_header(w, 2 * h, 8) + table + rows + mask_rows(w, h, lambda x, y: x >= 16)


def icon_32bit_alpha16():
    w = h = 16
    rows = b''
    for row in range(h):
        y = h - 1 - row
        for x in range(w):
            rows += struct.pack('<BBBB', 0, 255, 0, 255) if y < 8 else struct.pack('<BBBB', 0, 0, 255, 0)
    return info_header(w, 2 * h, 32) + rows + mask_rows(w, h, lambda x, y: False)


def ico(images):
    """images: list of (width, height, colorCount, bits, data)."""
    head = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    blobs = b''
    for (w, h, colors, bits, data) in images:
        entries += struct.pack('<BBBBHHII', w % 256, h % 256, colors, 0, 1, bits, len(data), offset)
        offset += len(data)
        blobs += data
    return head + entries + blobs


def bmp_24(pixels):
    """pixels: rows top first of (r, g, b)."""
    h = len(pixels)
    w = len(pixels[0])
    body = b''
    for row in reversed(pixels):
        line = b''.join(struct.pack('<BBB', b, g, r) for (r, g, b) in row)
        body += line + b'\0' * (stride(w, 24) - len(line))
    header = info_header(w, h, 24)
    file_header = struct.pack('<2sIHHI', b'BM', 14 + len(header) + len(body), 0, 0, 14 + len(header))
    return file_header + header + body


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


write('two.ico', ico([(16, 16, 16, 4, icon_4bit_red16()), (32, 32, 0, 8, icon_8bit_half32())]))
write('alpha.ico', ico([(16, 16, 0, 32, icon_32bit_alpha16())]))
write('tiny.bmp', bmp_24([[(255, 0, 0), (0, 255, 0), (0, 0, 255)],
                          [(255, 255, 255), (0, 0, 0), (128, 64, 32)]]))
# A group directory claiming five entries (6 + 5 * 14 bytes) but holding one.
write('badgroup.bin', struct.pack('<HHH', 0, 1, 5) + struct.pack('<BBBBHHIH', 32, 32, 0, 0, 1, 8, 100, 1))

# Broken desktop pictures for the headless screen, in tests/fixtures/gdi.
FIXTURES = os.path.join(HERE, '..', '..', 'fixtures', 'gdi')
os.makedirs(FIXTURES, exist_ok=True)
good = bmp_24([[(255, 0, 0), (0, 0, 255)], [(0, 255, 0), (255, 255, 255)]])


def fixture(name, data):
    with open(os.path.join(FIXTURES, name), 'wb') as f:
        f.write(data)


fixture('desktop_2x2.bmp', good)                          # red, blue over green, white
fixture('truncated.bmp', good[:-5])                       # the last row cut short
fixture('not_a_bmp.bmp', b'GIF89a' + b'\0' * 60)
fixture('rle.bmp', good[:30] + struct.pack('<I', 1) + good[34:])  # BI_RLE8 at 24 bits
fixture('huge.bmp', good[:18] + struct.pack('<ii', 1 << 30, 1 << 30) + good[26:])
fixture('bad_offset.bmp', good[:10] + struct.pack('<I', 0xFFFFFFF0) + good[14:])
fixture('short_header.bmp', good[:20])
