#!/usr/bin/env python3
"""Draws the installer's artwork into res/.

  pelmar.bmp   the page picture IDB_PELMAR: 556 x 384, 8 bits, 256 colours,
               bottom-up, uncompressed
  setup.ico    icon 200, the window icon: 32 x 32, 16 colours
  folder.ico   icon 201: a closed yellow folder, 16 x 16, 16 colours
  updots.ico   icon 202: two green dots on a transparent ground
  product.ico  icon 203: a closed green folder

The page picture is a calm evening gradient with a few soft rings in the
upper half, where the destination and program-group pages leave the picture
free, and a pale band at the bottom behind the path edits and the buttons.
It is rendered in full colour, reduced to 256 colours by median cut and
mapped back with a 4 x 4 ordered dither, so the gradient shows no bands.
Everything is computed, nothing is random: running the tool again gives
the same bytes.

Usage: tools/make_artwork.py [res-dir]
"""
import math
import os
import struct
import sys

WIDTH, HEIGHT = 556, 384

# At 6 x 13 pixels a dialog unit is 1.5 pixels wide and 1.625 high; the
# path edits of the pages start at 200 units.
BAND_TOP = 318

BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smooth(edge0, edge1, x):
    t = min(1.0, max(0.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def page_pixel(x, y):
    top, middle, low = (14, 30, 58), (28, 84, 112), (52, 128, 140)
    if y < 220:
        base = lerp(top, middle, y / 220.0)
    else:
        base = lerp(middle, low, (y - 220) / float(BAND_TOP - 220))
    # A faint light from the upper right keeps the gradient from looking flat.
    glow = math.exp(-((x - 470) ** 2 + (y - 40) ** 2) / (2 * 170.0 ** 2))
    c = lerp(base, (120, 170, 200), 0.35 * glow)

    # Soft rings: (centre x, centre y, radius, width, colour, strength).
    for cx, cy, r, w, tint, k in (
        (440, 120, 92, 10, (170, 215, 230), 0.40),
        (500, 190, 54, 7, (190, 230, 210), 0.35),
        (96, 70, 40, 5, (160, 200, 235), 0.30),
        (360, 60, 24, 4, (200, 225, 240), 0.30),
    ):
        d = abs(math.hypot(x - cx, y - cy) - r)
        c = lerp(c, tint, k * (1 - smooth(0, w, d)))
    # Filled discs inside the two large rings.
    for cx, cy, r, tint, k in ((440, 120, 70, (60, 120, 150), 0.25), (500, 190, 38, (90, 150, 140), 0.25)):
        inside = 1 - smooth(r - 2, r + 2, math.hypot(x - cx, y - cy))
        c = lerp(c, tint, k * inside)

    # A thin accent line above the band, then the pale band itself.
    if BAND_TOP - 6 <= y < BAND_TOP - 4:
        c = lerp(c, (210, 230, 235), 0.6)
    if y >= BAND_TOP:
        c = lerp((214, 226, 232), (190, 206, 216), (y - BAND_TOP) / float(HEIGHT - BAND_TOP))
    return tuple(int(round(min(255, max(0, v)))) for v in c)


def median_cut(colours, count):
    """colours: {rgb: pixels}.  Returns up to count representative colours."""
    boxes = [list(colours.items())]
    while len(boxes) < count:
        best, axis, spread = None, 0, -1
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for a in range(3):
                values = [c[0][a] for c in box]
                s = max(values) - min(values)
                weight = s * math.log(1 + sum(n for _, n in box))
                if weight > spread:
                    best, axis, spread = i, a, weight
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda e: e[0][axis])
        total = sum(n for _, n in box)
        run, cut = 0, 1
        for j, (_, n) in enumerate(box):
            run += n
            if run * 2 >= total:
                cut = max(1, min(len(box) - 1, j + 1))
                break
        boxes.append(box[:cut])
        boxes.append(box[cut:])
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(c[a] * n for c, n in box) / total)) for a in range(3)))
    return sorted(set(palette))


def nearest(palette, rgb, cache):
    hit = cache.get(rgb)
    if hit is None:
        hit = min(range(len(palette)),
                  key=lambda i: (palette[i][0] - rgb[0]) ** 2 * 3 + (palette[i][1] - rgb[1]) ** 2 * 4
                  + (palette[i][2] - rgb[2]) ** 2 * 2)
        cache[rgb] = hit
    return hit


def write_page_picture(path):
    pixels = [[page_pixel(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]
    counts = {}
    for row in pixels:
        for c in row:
            counts[c] = counts.get(c, 0) + 1
    palette = median_cut(counts, 256)
    palette += [(0, 0, 0)] * (256 - len(palette))

    cache = {}
    rows = []
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        line = bytearray()
        for x in range(WIDTH):
            r, g, b = pixels[y][x]
            d = (BAYER[y & 3][x & 3] - 7.5) * 0.5
            q = tuple(int(min(255, max(0, v + d))) for v in (r, g, b))
            line.append(nearest(palette, q, cache))
        line += b"\0" * ((-len(line)) % 4)
        rows.append(bytes(line))
    bits = b"".join(rows)

    header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + len(header) + len(table)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset))
        f.write(header + table + bits)


# The 16 colours of the standard VGA palette, by index.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
       (255, 0, 255), (0, 255, 255), (255, 255, 255)]
LETTER = {".": None, "k": 0, "r": 1, "g": 2, "o": 3, "n": 4, "t": 6, "s": 7, "d": 8, "R": 9, "G": 10,
          "Y": 11, "B": 12, "C": 14, "W": 15}


def write_icon(path, art):
    """art: rows of letters, top row first; '.' is transparent."""
    size = len(art)
    assert all(len(row) == size for row in art), path
    xor_rows, and_rows = [], []
    for row in reversed(art):
        nibbles = [LETTER[ch] if LETTER[ch] is not None else 0 for ch in row]
        xor = bytearray((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor += b"\0" * ((-len(xor)) % 4)
        mask_bits = 0
        for ch in row:
            mask_bits = (mask_bits << 1) | (1 if LETTER[ch] is None else 0)
        mask = bytearray(mask_bits.to_bytes(size // 8, "big"))
        mask += b"\0" * ((-len(mask)) % 4)
        xor_rows.append(bytes(xor))
        and_rows.append(bytes(mask))
    bits = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(bits), 0, 0, 16, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA)
    image = header + table + bits
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1))
        f.write(struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16))
        f.write(image)


def folder_art(light, dark):
    rows = [
        "................",
        "................",
        "..kkkkk.........",
        ".kLLLLLk........",
        "kLLLLLLLkkkkkkk.",
        "kLWWWWWWWWWWWLDk",
        "kLWLLLLLLLLLLLDk",
        "kLLLLLLLLLLLLLDk",
        "kLLLLLLLLLLLLLDk",
        "kLLLLLLLLLLLLLDk",
        "kLLLLLLLLLLLLLDk",
        "kLLLLLLLLLLLLLDk",
        "kLLLLLLLLLLLLLDk",
        "kDDDDDDDDDDDDDDk",
        ".kkkkkkkkkkkkkk.",
        "................",
    ]
    return [row.replace("L", light).replace("D", dark) for row in rows]


UP_DOTS = [
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "....gGg...gGg...",
    "...gGGGg.gGGGg..",
    "...GGWGG.GGWGG..",
    "...gGGGg.gGGGg..",
    "....gGg...gGg...",
    "................",
    "................",
    "................",
    "................",
    "................",
]


def setup_art():
    """A blue carton with a green arrow pointing into it: 32 x 32."""
    grid = [["." for _ in range(32)] for _ in range(32)]

    def put(x, y, ch):
        if 0 <= x < 32 and 0 <= y < 32:
            grid[y][x] = ch

    # The carton: front face, lid and side, outlined in black.
    for y in range(14, 30):
        for x in range(3, 23):
            put(x, y, "B" if y < 16 else "n")
    for y in range(10, 14):
        for x in range(3 + (14 - y), 23 + (14 - y)):
            put(x, y, "C")
    for y in range(10, 30):
        for x in range(23, 28):
            if y >= 14 - (x - 23) and y <= 29 - (x - 23):
                put(x, y, "k" if x == 27 else "n")
    for x in range(3, 23):
        put(x, 29, "k")
        put(x, 14, "k")
    for y in range(14, 30):
        put(3, y, "k")
        put(22, y, "k")
    for i in range(5):
        put(7 + i, 14 - i - 1 + 1, "k")
        put(22 + i, 14 - i, "k")
    for x in range(7, 28):
        put(x, 10, "k")
    # The arrow, pointing down into the open lid.
    for y in range(1, 10):
        for x in range(12, 17):
            put(x, y, "G")
    for i in range(6):
        for x in range(9 + i, 20 - i):
            put(x, 9 + i, "G")
    for y in range(1, 10):
        put(11, y, "k")
        put(17, y, "k")
    for x in range(11, 18):
        put(x, 0, "k")
    for i in range(6):
        put(8 + i, 9 + i, "k")
        put(20 - i, 9 + i, "k")
    return ["".join(row) for row in grid]


def main():
    res = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res")
    write_page_picture(os.path.join(res, "pelmar.bmp"))
    write_icon(os.path.join(res, "setup.ico"), setup_art())
    write_icon(os.path.join(res, "folder.ico"), folder_art("Y", "o"))
    write_icon(os.path.join(res, "updots.ico"), UP_DOTS)
    write_icon(os.path.join(res, "product.ico"), folder_art("G", "g"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
